#include <gtest/gtest.h>

#include <string>

#include "payload/extract.h"
#include "support/payload_writer.h"

// The program links MinGW's static zlib and hands it the old version text; the reader must work
// with that library on Windows exactly as natively.
static int Collect(void* ctx, const uint8_t* bytes, size_t n, uint32_t, uint32_t) {
    static_cast<std::string*>(ctx)->append(reinterpret_cast<const char*>(bytes), n);
    return 0;
}

TEST(PayloadWin, InflatesThroughTheLinkedZlib) {
    TestPayload p;
    BeginTestPayload(&p);
    std::string data = MakeTestPattern(3 * kPayloadBlockBytes + 5, 9);
    AddTestFile(&p, "install.env", "x");
    AddTestDir(&p, "\x83\x5C\\");
    AddTestFile(&p, "\x83\x5C\\big.bin", data);
    EndTestPayload(&p);
    FILE* f = OpenTestBytes(p.bytes);
    ASSERT_NE(f, nullptr);
    PayloadReader reader;
    ASSERT_EQ(OpenPayloadReader(f, &reader), 0);
    std::string got;
    const ExtractOps ops = {nullptr, nullptr, Collect, nullptr};
    ExtractResult result;
    EXPECT_EQ(RunPayloadExtraction(&reader, "C:\\G", kExtractAll, &ops, &got, &result), 0)
        << DescribePayloadError(result.error);
    EXPECT_EQ(got, "x" + data);
    fclose(f);
}

#include <gtest/gtest.h>

#include <string>

#include "support/payload_capture.h"

// The program links MinGW's static zlib and hands it the old version text; the reader must work
// with that library on Windows exactly as natively.
TEST(PayloadWin, InflatesThroughTheLinkedZlib) {
    std::string data = MakeTestPattern(3 * kPayloadBlockBytes + 5, 9);
    PayloadCapture cap;
    ExtractResult result;
    EXPECT_EQ(WalkTestPayload(MakeOnePayload("\x83\x5C\\big.bin", data), kExtractAll, &cap, &result), 0)
        << DescribePayloadError(result.error);
    EXPECT_EQ(cap.data, data);
}

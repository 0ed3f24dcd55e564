#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "support/golden_payload.h"
#include "support/payload_capture.h"

namespace {

typedef std::vector<std::string> Strings;

// The reader's view of the payload written byte by byte from the record table, so that a misreading
// shared by the writer and the reader cannot pass.
TEST(PayloadFormat, ReadsAGoldenPayload) {
    TestWalk w = WalkTest(kGoldenPayload, kExtractAll);
    ASSERT_EQ(w.rc, 0) << DescribePayloadError(w.result.error);
    EXPECT_EQ(w.cap.dirs, (Strings{"C:\\G\\data\\", "C:\\G\\data\\sub\\"}));
    EXPECT_EQ(w.cap.files, (Strings{"C:\\G\\install.env", "C:\\G\\data\\sub\\x.dat"}));
    EXPECT_EQ(w.cap.times, (std::vector<uint64_t>{0x01D92ED57E400000ull, 0x01C138D144FF8000ull}));
    EXPECT_EQ(w.cap.data, "hiabc");
    EXPECT_EQ(w.cap.consumed, (std::vector<uint32_t>{43, 126}));  // what the overall bar shows
    EXPECT_EQ(w.cap.total, kGoldenPayload.size() - 8);
    EXPECT_EQ(w.result.files, 2u);
}

// Cutting the records at any byte up to the end marker (keeping a trailer) fails cleanly; without
// just the end marker, every record still comes out first, as the program does.
TEST(PayloadFormat, EveryTruncationFails) {
    const size_t endMarker = kGoldenPayload.size() - 14;  // then two zero bytes, padding, trailer
    for (size_t cut = 4; cut <= endMarker + 1; ++cut) {
        TestPayload p;
        p.start = 4;
        p.bytes.assign(kGoldenPayload.begin(), kGoldenPayload.begin() + static_cast<long>(cut));
        EndTestPayload(&p, false);
        TestWalk w = WalkTest(p.bytes, kExtractAll);
        EXPECT_EQ(w.rc, -1) << "cut at " << cut;
        EXPECT_NE(w.result.error, kPayloadOk) << "cut at " << cut;
        if (cut >= endMarker) {
            EXPECT_EQ(w.result.error, kPayloadTruncated);
            EXPECT_EQ(w.cap.data, "hiabc");
        }
    }
    for (size_t cut = 0; cut < 8; ++cut) {  // too short to hold a trailer, or pointing past the end
        std::vector<uint8_t> bytes(kGoldenPayload.begin(), kGoldenPayload.begin() + static_cast<long>(cut));
        if (cut >= 4) bytes[cut - 4] = 0x7F;
        TestWalk w = WalkTest(bytes, kExtractAll);
        EXPECT_EQ(w.rc, -1);
        EXPECT_EQ(w.result.error, kPayloadNoTrailer);
    }
}

// Signing appends a certificate table: the trailer is then the 4 bytes before it, when the table
// is present, aligned and ends the file; otherwise the last 4 bytes, unless a table lies outside
// the file or over the payload. The walk reads through the lookup, so a wrong end shows in total.
TEST(PayloadFormat, FindsTheTrailerBeforeACertificateTable) {
    for (bool plus : {false, true}) {
        TestPayload p;
        BeginTestPe(&p, plus);
        AddTestFile(&p, "install.env", "hi");
        EndTestPayload(&p);
        const uint32_t end = static_cast<uint32_t>(p.bytes.size());
        const struct {
            const char* what;
            uint32_t offset, size;  // the entry
            size_t appended;        // bytes after the unsigned file
            int error;
        } cases[] = {
            {"unsigned", 0, 0, 0, kPayloadOk},
            {"signed", end, 24, 24, kPayloadOk},
            {"in the stub", 0x180, 16, 0, kPayloadOk},
            {"size 0", end, 0, 0, kPayloadOk},
            {"bytes after the table", end, 24, 32, kPayloadBadCertTable},
            {"over the payload", p.start + 2, 8, 0, kPayloadBadCertTable},
            {"past the end", end + 24, 8, 24, kPayloadBadCertTable},  // begins where the file ends
            {"not aligned", end + 4, 20, 24, kPayloadBadCertTable},
            {"over the whole file", 0, end + 24, 24, kPayloadBadCertTable},
        };
        for (const auto& c : cases) {
            std::vector<uint8_t> bytes = p.bytes;
            bytes.resize(end + c.appended, 0);
            SetTestCertEntry(&bytes, plus, c.offset, c.size);
            TestWalk w = WalkTest(bytes, kExtractAll);
            EXPECT_EQ(w.result.error, c.error) << c.what << (plus ? " PE32+" : " PE32");
            // Every payload ends at end - 4, signed or not.
            EXPECT_EQ(w.cap.data, c.error == kPayloadOk ? "hi" : "") << c.what;
            EXPECT_EQ(w.cap.total, c.error == kPayloadOk ? end - 4 - p.start : 0) << c.what;
        }
        // Shorter than its headers: read as an unsigned file, whose trailer holds no records.
        std::vector<uint8_t> cut(p.bytes.begin(), p.bytes.begin() + 0x5C);
        cut.insert(cut.end(), {0x5C, 0, 0, 0});
        EXPECT_EQ(WalkTest(cut, kExtractAll).result.error, kPayloadTruncated);
    }
}

// The sink sees one call per full block and one for the rest; fileWritten counts up to the size.
TEST(PayloadFormat, SinkGetsWholeBlocksThenTheRest) {
    const uint32_t b = kPayloadBlockBytes;
    const std::vector<uint32_t> cases[] = {{}, {5}, {b}, {b, 2 * b}, {b, 2 * b, 2 * b + 7}};
    for (const std::vector<uint32_t>& written : cases) {
        std::string data = MakeTestPattern(written.empty() ? 0 : written.back(), 3);
        for (int level : {0, 9}) {  // stored blocks fill the buffer differently from deflated ones
            std::string stream = CompressTestData(data, level);
            TestFileFaults faults;
            faults.stream = &stream;
            TestWalk w = WalkTest(MakeOnePayload("f.bin", data, faults), kExtractAll);
            ASSERT_EQ(w.rc, 0);
            EXPECT_EQ(w.cap.written, written) << data.size() << " level " << level;
            EXPECT_EQ(w.cap.data, data);
        }
    }
}

#define FAULT(set)        \
    [&] {                 \
        TestFileFaults f; \
        f.set;            \
        return f;         \
    }()

// Each refusal of a damaged or unsafe record, and the record it names. Extracted into "C:".
TEST(PayloadFormat, RefusesDamagedAndUnsafeRecords) {
    const std::string ok = "content";
    const std::string bomb = CompressTestData(std::string(64u << 20, '\0'), 9);
    struct Case {
        const char* what;
        std::string name;
        int error;
        bool dir = false;
        TestFileFaults faults = TestFileFaults();
    } cases[] = {
        {"parent", "..\\evil.dll", kPayloadUnsafeName},
        {"parent inside", "a/../b", kPayloadUnsafeName},
        {"dots and space", "a\\. .\\b", kPayloadUnsafeName},
        {"three dots", "...\\b", kPayloadUnsafeName},
        {"leading backslash", "\\Windows\\x", kPayloadUnsafeName},
        {"UNC folder", "\\\\server\\share\\", kPayloadUnsafeName, true},
        {"drive", "C:\\x", kPayloadUnsafeName},
        {"stream", "a.txt:ads", kPayloadUnsafeName},
        {"so-dot-dot", "\x83\x5C..\\x", kPayloadUnsafeName},
        {"trail backslash first", "\x83\x5C\\x", kPayloadOk},
        {"empty name", "", kPayloadBadName},
        {"NUL inside", std::string("a\0b", 3), kPayloadBadName},
        {"joined 259 bytes", std::string(256, 'n'), kPayloadOk},
        {"joined 260 bytes", std::string(257, 'n'), kPayloadLongPath},
        {"259 bytes", std::string(259, 'n'), kPayloadLongPath},
        {"260 bytes", std::string(260, 'n'), kPayloadBadName},
        {"dir without backslash", "data", kPayloadBadDir, true},
        {"2 GiB", "big", kPayloadTooBig, false, FAULT(size = 0x80000000ll)},
        {"size too big", "a", kPayloadSizeMismatch, false, FAULT(sizeDelta = 1)},
        {"size too small", "a", kPayloadSizeMismatch, false, FAULT(sizeDelta = -1)},
        {"bad adler", "a", kPayloadBadStream, false, FAULT(badAdler = true)},
        {"stream cut", "a", kPayloadLongStream, false, FAULT(cutStream = 3)},
        {"bytes after stream", "a", kPayloadShortStream, false, FAULT(extra = "zz")},
        {"bomb", "a", kPayloadSizeMismatch, false, FAULT(stream = &bomb; f.size = 100)},
        {"packed past the end", "a", kPayloadTruncated, false, FAULT(packedDelta = 1000)},
    };
    for (const Case& c : cases) {
        TestWalk w = WalkTest(MakeOnePayload(c.name, ok, c.faults, c.dir), kExtractAll, "C:");
        EXPECT_EQ(w.rc, c.error == kPayloadOk ? 0 : -1) << c.what;
        EXPECT_EQ(w.result.error, c.error) << c.what << ": " << DescribePayloadError(w.result.error);
        if (c.error == kPayloadOk) continue;
        if (c.error != kPayloadBadName) {
            EXPECT_EQ(w.result.name, c.name) << c.what;
        }
        // Nothing past the size ever reaches the sink, and a failed file is closed as failed.
        EXPECT_LE(w.cap.data.size(), ok.size()) << c.what;
        EXPECT_EQ(static_cast<size_t>(w.cap.closedBad), w.cap.files.size()) << c.what;
    }
}

// A joined path never exceeds 259 bytes, however large the caller's buffer.
TEST(PayloadFormat, JoinedPathsStopAt259Bytes) {
    for (size_t n : {256, 257}) {  // "C:\" and the name: 259 bytes, then 260
        const std::string name(n, 'n');
        char path[kPayloadNameBytes + 64];
        EXPECT_EQ(JoinPayloadPath("C:", name.c_str(), path, sizeof path), n == 256 ? 0 : -1) << n;
        EXPECT_LT(strlen(path), kPayloadNameBytes) << n;
        EXPECT_TRUE(n != 256 || path == "C:\\" + name) << path;
    }
}

// Start-up's walk: which records it takes, where it stops, when it fails. It makes no folders.
TEST(PayloadFormat, SetupWalkTakesTopLevelSetupFilesUntilADeepFolder) {
    const struct {
        const char *recs, *taken;  // names split at spaces
        bool stopped;
        int error;
    } cases[] = {
        {"install.env insttscr.rct readme.txt game.exe data\\ data\\bg\\ data\\x.txt", "install.env insttscr.rct readme.txt",
         true, kPayloadOk},
        {"README.TXT install.env.bak a.txt.old", "install.env.bak a.txt.old", false, kPayloadOk},  // case, longer names
        {"a\\ a\\b\\ install.env", "", true, kPayloadOk},                                          // a deep folder ends it
        {"install.env doc\\ doc\\read.txt", "install.env", false, kPayloadSetupInFolder},
        {"\x83\x5C.txt", "\x83\x5C.txt", false, kPayloadOk},  // a name that hides a backslash
        {"install.env doc/read.txt", "install.env", false, kPayloadSetupInFolder},
    };
    auto split = [](const std::string& text) {
        std::istringstream in(text);
        return Strings(std::istream_iterator<std::string>(in), std::istream_iterator<std::string>());
    };
    for (const auto& c : cases) {
        TestWalk w = WalkTest(MakeNamedPayload(split(c.recs)), kExtractSetupFiles, "W");
        EXPECT_EQ(w.rc, c.error == kPayloadOk ? 0 : -1) << c.recs;
        EXPECT_EQ(w.result.error, c.error) << c.recs;
        EXPECT_EQ(w.result.stopped, c.stopped) << c.recs;
        EXPECT_TRUE(w.cap.dirs.empty()) << c.recs;
        EXPECT_EQ(w.cap.names, split(c.taken)) << c.recs;
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "payload/extract.h"
#include "payload/payload_format.h"
#include "support/payload_writer.h"
#include "unit/golden_payload.h"

namespace {

// What a walk wrote, as the tests compare it.
struct Capture {
    std::vector<std::string> dirs;
    std::vector<std::string> files;  // joined paths, in order
    std::string data;                // every byte the sinks received
    std::vector<uint32_t> written;   // fileWritten of each sink call
    std::vector<size_t> blocks;      // n of each sink call
    int failAt = -1;                 // sink call that fails, or -1
    int calls = 0;
    int closedBad = 0;
};

void CaptureDir(void* ctx, const char* path, const PayloadRecord*) {
    static_cast<Capture*>(ctx)->dirs.push_back(path);
}
int CaptureOpen(void* ctx, const char* path, const PayloadRecord*) {
    static_cast<Capture*>(ctx)->files.push_back(path);
    return 0;
}
int CaptureWrite(void* ctx, const uint8_t* bytes, size_t n, uint32_t fileWritten, uint32_t) {
    Capture* c = static_cast<Capture*>(ctx);
    if (c->calls++ == c->failAt) return -1;
    c->data.append(reinterpret_cast<const char*>(bytes), n);
    c->written.push_back(fileWritten);
    c->blocks.push_back(n);
    return 0;
}
int CaptureClose(void* ctx, const char*, const PayloadRecord*, bool ok) {
    if (!ok) static_cast<Capture*>(ctx)->closedBad++;
    return 0;
}
const ExtractOps kCaptureOps = {CaptureDir, CaptureOpen, CaptureWrite, CaptureClose};

// Runs a walk over bytes; returns RunPayloadExtraction's status.
int Walk(const std::vector<uint8_t>& bytes, int mode, Capture* cap, ExtractResult* result,
         const char* dest = "C:\\G") {
    FILE* f = OpenTestBytes(bytes);
    EXPECT_NE(f, nullptr);
    PayloadReader reader;
    int rc = OpenPayloadReader(f, &reader);
    if (rc == 0) {
        rc = RunPayloadExtraction(&reader, dest, mode, &kCaptureOps, cap, result);
    } else {
        memset(result, 0, sizeof *result);
        result->error = reader.error;
    }
    fclose(f);
    return rc;
}


TestPayload SmallPayload() {
    TestPayload p;
    BeginTestPayload(&p);
    AddTestFile(&p, "install.env", "TITLEBAR=x\r\n", 0x01D9000011112222ull);
    AddTestDir(&p, "data\\");
    AddTestDir(&p, "data\\sub\\");
    AddTestFile(&p, "data\\sub\\a.bin", MakeTestPattern(3000, 7), 0x01D9000033334444ull);
    EndTestPayload(&p);
    return p;
}

// The reader's view of one payload written byte by byte from the record table, so that a misreading
// shared by the writer and the reader cannot pass. The streams are stored deflate blocks.
TEST(PayloadFormat, ReadsAGoldenPayload) {
    const std::vector<uint8_t>& golden = kGoldenPayload;
    ASSERT_EQ(golden.size() % 8, 0u);
    FILE* f = OpenTestBytes(golden);
    PayloadReader reader;
    ASSERT_EQ(OpenPayloadReader(f, &reader), 0);
    EXPECT_EQ(reader.start, 4u);
    EXPECT_EQ(reader.total, golden.size() - 8);
    struct Want {
        const char* name;
        uint32_t size;
        uint64_t time;
        const char* data;
    } want[] = {
        {"install.env", 2, 0x01D92ED57E400000ull, "hi"},
        {"data\\", kPayloadDirMark, 0, nullptr},
        {"data\\sub\\", kPayloadDirMark, 0, nullptr},
        {"data\\sub\\x.dat", 3, 0x01C138D144FF8000ull, "abc"},
    };
    for (const Want& w : want) {
        PayloadRecord rec;
        ASSERT_EQ(ReadPayloadRecord(&reader, &rec), 1) << DescribePayloadError(reader.error);
        EXPECT_STREQ(rec.name, w.name);
        EXPECT_EQ(rec.size, w.size);
        EXPECT_EQ(rec.isDir, w.data == nullptr);
        EXPECT_EQ(rec.time, w.time);
        if (w.data) {
            Capture cap;
            ASSERT_EQ(InflatePayloadRecord(&reader, &rec, CaptureWrite, &cap), 0);
            EXPECT_EQ(cap.data, w.data);
        }
    }
    PayloadRecord end;
    EXPECT_EQ(ReadPayloadRecord(&reader, &end), 0);
    fclose(f);
}

// Cutting the records at any byte before the end marker (and keeping a trailer) must fail cleanly.
TEST(PayloadFormat, EveryTruncationFails) {
    TestPayload whole = SmallPayload();
    size_t recordsEnd = 0;
    {
        FILE* f = OpenTestBytes(whole.bytes);
        PayloadReader reader;
        ASSERT_EQ(OpenPayloadReader(f, &reader), 0);
        PayloadRecord rec;
        while (ReadPayloadRecord(&reader, &rec) == 1) ASSERT_EQ(SkipPayloadRecord(&reader, &rec), 0);
        recordsEnd = reader.pos;  // just after the end marker
        fclose(f);
    }
    for (size_t cut = whole.start; cut < recordsEnd; ++cut) {
        TestPayload p;
        p.start = whole.start;
        p.bytes.assign(whole.bytes.begin(), whole.bytes.begin() + static_cast<long>(cut));
        EndTestPayload(&p, false);
        Capture cap;
        ExtractResult result;
        EXPECT_EQ(Walk(p.bytes, kExtractAll, &cap, &result), -1) << "cut at " << cut;
        EXPECT_NE(result.error, kPayloadOk);
    }
    for (size_t cut = 0; cut < 8; ++cut) {  // too short to hold a trailer, or pointing past the end
        std::vector<uint8_t> bytes(whole.bytes.begin(), whole.bytes.begin() + static_cast<long>(cut));
        if (cut >= 4) bytes[cut - 4] = 0x7F;
        Capture cap;
        ExtractResult result;
        EXPECT_EQ(Walk(bytes, kExtractAll, &cap, &result), -1);
        EXPECT_EQ(result.error, kPayloadNoTrailer);
    }
}

TEST(PayloadFormat, WalkWritesWhatWasPacked) {
    TestPayload p = SmallPayload();
    Capture cap;
    ExtractResult result;
    ASSERT_EQ(Walk(p.bytes, kExtractAll, &cap, &result), 0) << DescribePayloadError(result.error);
    EXPECT_EQ(cap.dirs, (std::vector<std::string>{"C:\\G\\data\\", "C:\\G\\data\\sub\\"}));
    EXPECT_EQ(cap.files, (std::vector<std::string>{"C:\\G\\install.env", "C:\\G\\data\\sub\\a.bin"}));
    EXPECT_EQ(cap.data, "TITLEBAR=x\r\n" + MakeTestPattern(3000, 7));
    EXPECT_EQ(result.files, 2u);
}

// The sink sees one call per full block and one for the rest; fileWritten counts up to the size.
TEST(PayloadFormat, SinkGetsWholeBlocksThenTheRest) {
    const uint32_t b = kPayloadBlockBytes;
    struct Case {
        size_t size;
        std::vector<uint32_t> written;
    } cases[] = {
        {0, {}},
        {5, {5}},
        {b, {b}},
        {2 * b, {b, 2 * b}},
        {2 * b + 7, {b, 2 * b, 2 * b + 7}},
    };
    for (const Case& c : cases) {
        for (int level : {0, 9}) {  // stored blocks fill the buffer differently from deflated ones
            TestPayload p;
            BeginTestPayload(&p);
            std::string data = MakeTestPattern(c.size, 3);
            TestFileFaults none;
            std::string stream = CompressTestData(data, level);
            none.stream = &stream;
            AddTestFile(&p, "f.bin", data, 1, none);
            EndTestPayload(&p);
            Capture cap;
            ExtractResult result;
            ASSERT_EQ(Walk(p.bytes, kExtractAll, &cap, &result), 0) << c.size;
            EXPECT_EQ(cap.written, c.written) << c.size << " level " << level;
            EXPECT_EQ(cap.data, data);
        }
    }
}

// Each refusal of a damaged or unsafe payload, and the record it names.
TEST(PayloadFormat, RefusesDamagedAndUnsafeRecords) {
    const std::string ok = "content";
    const std::string bomb = CompressTestData(std::string(64u << 20, '\0'), 9);
    struct Case {
        const char* what;
        std::string name;
        TestFileFaults faults;
        bool dir;
        int error;
    } cases[] = {
        {"parent", "..\\evil.dll", {}, false, kPayloadUnsafeName},
        {"parent inside", "a\\..\\..\\evil.dll", {}, false, kPayloadUnsafeName},
        {"slash parent", "a/../b", {}, false, kPayloadUnsafeName},
        {"dots and space", "a\\. .\\b", {}, false, kPayloadUnsafeName},
        {"three dots", "...\\b", {}, false, kPayloadUnsafeName},
        {"leading backslash", "\\Windows\\x", {}, false, kPayloadUnsafeName},
        {"leading slash", "/etc/x", {}, false, kPayloadUnsafeName},
        {"UNC", "\\\\server\\share\\x", {}, false, kPayloadUnsafeName},
        {"drive", "C:\\x", {}, false, kPayloadUnsafeName},
        {"stream", "a.txt:ads", {}, false, kPayloadUnsafeName},
        {"so-dot-dot", "\x83\x5C..\\x", {}, false, kPayloadUnsafeName},
        {"so-dot-dot dir", "\x83\x5C..\\", {}, true, kPayloadUnsafeName},
        {"trail backslash first", "\x83\x5C\\x", {}, false, kPayloadOk},
        {"empty name", "", {}, false, kPayloadBadName},
        {"NUL inside", std::string("a\0b", 3), {}, false, kPayloadBadName},
        {"259 bytes", std::string(259, 'n'), {}, false, kPayloadLongPath},
        {"260 bytes", std::string(260, 'n'), {}, false, kPayloadBadName},
        {"dir without backslash", "data", {}, true, kPayloadBadDir},
        {"2 GiB", "big", [] { TestFileFaults f; f.size = 0x80000000ll; return f; }(), false, kPayloadTooBig},
        {"size too big", "a", [] { TestFileFaults f; f.sizeDelta = 1; return f; }(), false, kPayloadSizeMismatch},
        {"size too small", "a", [] { TestFileFaults f; f.sizeDelta = -1; return f; }(), false, kPayloadSizeMismatch},
        {"bad adler", "a", [] { TestFileFaults f; f.badAdler = true; return f; }(), false, kPayloadBadStream},
        {"stream cut", "a", [] { TestFileFaults f; f.cutStream = 3; return f; }(), false, kPayloadLongStream},
        {"packed too small", "a", [] { TestFileFaults f; f.packedDelta = -2; return f; }(), false, kPayloadLongStream},
        {"bytes after stream", "a", [] { TestFileFaults f; f.extra = "zz"; return f; }(), false, kPayloadShortStream},
        {"not zlib", "a", [] { TestFileFaults f; static const std::string junk = "junkjunk"; f.stream = &junk; return f; }(), false, kPayloadBadStream},
        {"bomb", "a", [&] { TestFileFaults f; f.stream = &bomb; f.size = 100; return f; }(), false, kPayloadSizeMismatch},
        {"packed past the end", "a", [] { TestFileFaults f; f.packedDelta = 1000; return f; }(), false, kPayloadTruncated},
    };
    for (const Case& c : cases) {
        TestPayload p;
        BeginTestPayload(&p);
        AddTestFile(&p, "install.env", "x");
        if (c.dir) {
            AddTestDir(&p, c.name);
        } else {
            AddTestFile(&p, c.name, ok, 5, c.faults);
        }
        EndTestPayload(&p);
        Capture cap;
        ExtractResult result;
        int rc = Walk(p.bytes, kExtractAll, &cap, &result, "C:");
        EXPECT_EQ(rc, c.error == kPayloadOk ? 0 : -1) << c.what;
        EXPECT_EQ(result.error, c.error) << c.what << ": " << DescribePayloadError(result.error);
        if (c.error == kPayloadOk) continue;
        if (c.error != kPayloadBadName) {
            EXPECT_EQ(result.name, c.name) << c.what;
        }
        // Nothing past the size ever reaches the sink, and a failed file is closed as failed.
        EXPECT_LE(cap.data.size(), 1 + ok.size()) << c.what;
        EXPECT_EQ(cap.closedBad, cap.files.size() > 1 ? 1 : 0) << c.what;
    }
}

TEST(PayloadFormat, MissingEndMarkerFailsAfterTheLastRecord) {
    TestPayload p;
    BeginTestPayload(&p);
    AddTestFile(&p, "install.env", "x");
    AddTestFile(&p, "b.dat", "yy");
    EndTestPayload(&p, false);
    Capture cap;
    ExtractResult result;
    EXPECT_EQ(Walk(p.bytes, kExtractAll, &cap, &result), -1);
    EXPECT_EQ(result.error, kPayloadTruncated);
    EXPECT_EQ(cap.data, "xyy");  // every record came out first, as the program does
}

TEST(PayloadFormat, SinkFailureFailsTheRecord) {
    TestPayload p;
    BeginTestPayload(&p);
    AddTestFile(&p, "a.bin", MakeTestPattern(3 * kPayloadBlockBytes + 1, 1));
    EndTestPayload(&p);
    for (int failAt = 0; failAt < 4; ++failAt) {
        Capture cap;
        cap.failAt = failAt;
        ExtractResult result;
        EXPECT_EQ(Walk(p.bytes, kExtractAll, &cap, &result), -1);
        EXPECT_EQ(result.error, kPayloadSinkFailed);
        EXPECT_EQ(cap.data.size(), static_cast<size_t>(failAt) * kPayloadBlockBytes);
        EXPECT_EQ(cap.closedBad, 1);
    }
}

TEST(PayloadFormat, JoinedPathStopsAt259Bytes) {
    char path[kPayloadNameBytes];
    std::string name(256, 'n');
    EXPECT_EQ(JoinPayloadPath("C:", name.c_str(), path, sizeof path), 0);  // 2 + 1 + 256 = 259
    EXPECT_EQ(strlen(path), 259u);
    EXPECT_EQ(JoinPayloadPath("C:\\", name.c_str(), path, sizeof path), -1);
}

// Start-up's walk: which records it takes, where it stops, when it fails.
TEST(PayloadFormat, SetupWalkTakesTopLevelSetupFilesUntilADeepFolder) {
    struct Rec {
        const char* name;
        bool dir;
    };
    struct Case {
        const char* what;
        std::vector<Rec> recs;
        std::vector<std::string> taken;
        bool stopped;
        int error;
    } cases[] = {
        {"the usual", {{"install.env", false}, {"insttscr.rct", false}, {"readme.txt", false}, {"game.exe", false},
                       {"data\\", true}, {"data\\bg\\", true}, {"data\\x.txt", false}},
         {"install.env", "insttscr.rct", "readme.txt"}, true, kPayloadOk},
        {"upper-case TXT and a longer name", {{"README.TXT", false}, {"install.env.bak", false}, {"a.txt.old", false}},
         {"install.env.bak", "a.txt.old"}, false, kPayloadOk},
        {"deep folder ends the walk", {{"a\\", true}, {"a\\b\\", true}, {"install.env", false}}, {}, true, kPayloadOk},
        {"setup file in a top-level folder", {{"install.env", false}, {"doc\\", true}, {"doc\\read.txt", false}},
         {"install.env"}, false, kPayloadSetupInFolder},
        {"name that hides a backslash", {{"\x83\x5C.txt", false}}, {"\x83\x5C.txt"}, false, kPayloadOk},
    };
    for (const Case& c : cases) {
        TestPayload p;
        BeginTestPayload(&p);
        for (const Rec& r : c.recs) {
            if (r.dir) {
                AddTestDir(&p, r.name);
            } else {
                AddTestFile(&p, r.name, r.name);
            }
        }
        EndTestPayload(&p);
        Capture cap;
        ExtractResult result;
        EXPECT_EQ(Walk(p.bytes, kExtractSetupFiles, &cap, &result, "W"), c.error == kPayloadOk ? 0 : -1) << c.what;
        EXPECT_EQ(result.error, c.error) << c.what;
        EXPECT_EQ(result.stopped, c.stopped) << c.what;
        EXPECT_TRUE(cap.dirs.empty()) << c.what;
        std::vector<std::string> taken;
        for (const std::string& f : cap.files) taken.push_back(f.substr(2));
        EXPECT_EQ(taken, c.taken) << c.what;
    }
}

}  // namespace

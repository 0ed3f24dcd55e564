#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/sha256.h"
#include "payload/delta.h"
#include "support/payload_capture.h"
#include "support/payload_vnpack.h"
#include "support/payload_writer.h"
#include "support/staging_fake_fs.h"
#include "vnpack/pack_delta.h"
#include "vnpack/vnpack.h"

namespace {

// The published test vectors, fed in pieces that straddle the 64-byte blocks, by both block functions.
TEST(Sha256, MatchesThePublishedVectors) {
    const struct {
        std::string in;
        const char* hex;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (bool instructions : {false, true}) {
        UseSha256Instructions(instructions);
        for (const auto& c : cases) {
            for (size_t chunk : {size_t{1}, size_t{63}, size_t{1000000}}) {
                if (chunk == 1 && c.in.size() > 1000) continue;
                EXPECT_EQ(HexTestBytes(HashTestData(c.in, chunk)), c.hex) << c.in.size() << "/" << chunk;
            }
        }
    }
}

std::string Body(const std::string& old, const std::string& neu) {
    PackOptions pack = {6, false, 1, false, 0};
    uint8_t* body = nullptr;
    size_t n = 0;
    EXPECT_EQ(MakeDelta(reinterpret_cast<const uint8_t*>(old.data()), old.size(),
                        reinterpret_cast<const uint8_t*>(neu.data()), neu.size(), &pack, &body, &n),
              0);
    std::string s(reinterpret_cast<char*>(body), n);
    FreeChecked(body);
    return s;
}

// Pairs across the 128 KiB blocks: each comes back exactly, and what is shared costs little.
TEST(Delta, RoundTripsOverGeneratedPairs) {
    const std::string a = MakeTestPattern(300000, 7);
    const std::string fresh = MakeTestPattern(200000, 99);
    std::string changed = a;  // a field every 64 bytes grown by the same amount: patched, not added
    for (size_t i = 0; i < changed.size(); i += 64) changed[i] = static_cast<char>(changed[i] + 7);
    const struct {
        const char* what;
        std::string old, neu;
        size_t maxBody;
    } cases[] = {
        {"empty", "", "", 200},
        {"identical", a, a, 200},
        {"all new", "", fresh, 200000},
        {"shifted", a, "inserted" + a.substr(0, 150000) + "xx" + a.substr(150000), 300},
        {"truncated", a, a.substr(1000, 140000), 200},
        {"grown", a, a + a.substr(0, 70000) + fresh.substr(0, 50), 400},
        {"moved", a, a.substr(200000) + a.substr(0, 200000), 300},
        {"changed in place", a, changed, 400},
    };
    for (const auto& c : cases) {
        std::string body = Body(c.old, c.neu);
        EXPECT_LE(body.size(), c.maxBody) << c.what;
        TestWalk w = WalkTestDeltas({body}, &c.old);
        ASSERT_EQ(w.rc, 0) << c.what << ": " << DescribePayloadError(w.result.error);
        EXPECT_EQ(w.cap.data, "first" + c.neu + "next") << c.what;
        EXPECT_EQ(w.result.files, 3u) << c.what;
    }
}

// The first delta whose old content is the installed file makes it; then the whole record; else
// the walk refuses, naming the file, before it writes anything.
TEST(Delta, PicksTheDeltaForTheInstalledVersion) {
    const std::string v1 = MakeTestPattern(5000, 1), v2 = MakeTestPattern(6000, 2), v3 = MakeTestPattern(5000, 3);
    const std::string neu = v1.substr(0, 3000) + "new" + v2.substr(100);
    const std::vector<std::string> bodies = {Body(v1, neu), Body(v2, neu)};
    const struct {
        const std::string* installed;
        bool whole;
        int error;
    } cases[] = {
        {&v1, false, kPayloadOk},
        {&v2, true, kPayloadOk},
        {&v3, true, kPayloadOk},
        {&v3, false, kPayloadOldMismatch},
        {nullptr, false, kPayloadOldMismatch},
        {nullptr, true, kPayloadOk},
    };
    for (const auto& c : cases) {
        TestWalk w = WalkTestDeltas(bodies, c.installed, c.whole ? &neu : nullptr);
        EXPECT_EQ(w.result.error, c.error);
        if (c.error != kPayloadOk) {
            EXPECT_STREQ(w.result.name, "a.dat");
            EXPECT_TRUE(w.cap.files.empty());
        } else {
            EXPECT_EQ(w.cap.data, "first" + neu + "next");
            EXPECT_EQ(w.cap.files, (std::vector<std::string>{"C:\\G\\0.dat", "C:\\G\\a.dat", "C:\\G\\b.dat"}));
        }
    }
}

// Every field that lies is refused: the structure check alone (vnpack test) finds what does not
// need the old file, and applying finds the rest.
TEST(Delta, RefusesDamagedFields) {
    const std::string old = "0123456789abcdefghij", neu = "abcdefghij0123456789!";
    const std::string good = DeltaCopy(0, 10, 10) + DeltaCopy(20, 0, 10) + DeltaAdd(std::string(1, '!' - 'a'), true) + '\0';
    std::string badMagic = FormatTestDelta(old, neu, good);
    badMagic[0] = 'X';
    std::string badNewHash = FormatTestDelta(old, neu, good);
    badNewHash[50] ^= 1;
    std::string truncated = FormatTestDelta(old, neu, good);
    truncated.resize(truncated.size() - 3);
    const struct {
        const char* what;
        std::string body;
        int error;
        bool structural;
    } cases[] = {
        {"magic", badMagic, kPayloadBadDelta, true},
        {"short header", std::string(10, 'V'), kPayloadBadDelta, true},
        {"new hash", badNewHash, kPayloadDeltaHash, false},
        {"copy past the old end",
         FormatTestDelta(old, neu, DeltaCopy(0, 11, 10) + DeltaCopy(21, 0, 10) + DeltaAdd("!") + '\0'), kPayloadDeltaRange,
         true},
        {"copy before the old start",
         FormatTestDelta(old, neu, DeltaCopy(0, 10, 10) + DeltaCopy(20, -1ull, 10) + DeltaAdd("!") + '\0'),
         kPayloadDeltaRange, true},
        {"patch past the old end",
         FormatTestDelta(old, neu, DeltaCopy(0, 10, 10) + DeltaCopy(20, 10, 10) + DeltaAdd("!", true) + '\0'),
         kPayloadDeltaRange, true},
        {"add past the new size", FormatTestDelta(old, neu, good.substr(0, good.size() - 1) + DeltaAdd("?") + '\0'),
         kPayloadDeltaRange, true},
        {"add far past the new size", FormatTestDelta(old, neu, DeltaAdd(std::string(200000, 'x')) + '\0'),
         kPayloadDeltaRange, true},
        {"short of the new size", FormatTestDelta(old, neu, DeltaCopy(0, 10, 10) + '\0'), kPayloadDeltaRange, true},
        {"unknown instruction", FormatTestDelta(old, neu, "\x07" + good), kPayloadBadDelta, true},
        {"empty copy", FormatTestDelta(old, neu, DeltaCopy(0, 0, 0) + good), kPayloadBadDelta, true},
        {"varint too long", FormatTestDelta(old, neu, std::string("\x02\xFF\xFF\xFF\xFF\xFF\x01", 7)), kPayloadBadDelta,
         true},
        {"no end", FormatTestDelta(old, neu, good.substr(0, good.size() - 1)), kPayloadBadDelta, true},
        {"after the end", FormatTestDelta(old, neu, good + DeltaAdd("!")), kPayloadBadDelta, true},
        {"bytes behind the stream", FormatTestDelta(old, neu, good) + "z", kPayloadBadDelta, true},
        {"cut stream", truncated, kPayloadBadDelta, true},
    };
    EXPECT_EQ(WalkTestDeltas({FormatTestDelta(old, neu, good)}, &old).cap.data, "first" + neu + "next");
    // Two adds within the new size but past it together: refused before a block goes out.
    const std::string big(200000, 'y');
    TestWalk over =
        WalkTestDeltas({FormatTestDelta(old, big, DeltaAdd(big.substr(50000)) + DeltaAdd(big.substr(50000)) + '\0')}, &old);
    EXPECT_EQ(over.result.error, kPayloadDeltaRange);
    EXPECT_LE(over.cap.data.size(), 5 + big.size());
    for (const auto& c : cases) {
        TestWalk w = WalkTestDeltas({c.body}, &old);
        EXPECT_EQ(w.result.error, c.error) << c.what;
        EXPECT_LE(w.cap.files.size(), 2u) << c.what;
        EXPECT_LE(w.cap.data.size(), 5 + neu.size()) << c.what;
        EXPECT_EQ(CheckTestPayload(MakeDeltaPayload("a.dat", c.body)) != 0, c.structural) << c.what;
    }
}

// A delta lands through the staging like any file: the old file is read in place, the result
// moves in only once it checked out, and a damaged one leaves the folder as it was.
TEST(Delta, StagesItsResultAndRollsBackWhenItFails) {
    FakeFs fs = MakeFakeGame();
    const std::string old = MakeTestPattern(200000, 5);
    fs.nodes[FakeFs::Key("C:\\G\\game.exe")].data = old;
    const std::string neu = old + "patched" + old;
    for (bool damaged : {true, false}) {
        FakeFs before = fs;
        std::string body = Body(old, neu);
        if (damaged) body[60] ^= 1;  // the new hash
        FILE* f = OpenTestBytes(MakeDeltaPayload("game.exe", body));
        PayloadReader reader;
        ExtractResult result;
        ASSERT_EQ(OpenPayloadReader(f, &reader), 0);
        int rc = RunStagedExtraction(&reader, "C:\\G", &kFakeOps, &fs, &kFakeFileOps, &fs, 1, &result);
        fclose(f);
        EXPECT_EQ(rc, damaged ? -1 : 0);
        if (damaged) {
            EXPECT_EQ(result.error, kPayloadDeltaHash);
            EXPECT_EQ(DumpFakeFs(fs), DumpFakeFs(before));
        } else {
            EXPECT_EQ(fs.nodes[FakeFs::Key("C:\\G\\game.exe")].data, neu);
        }
    }
}

}  // namespace

// An update that fails leaves the game folder as it was; one that succeeds replaces every file.
// The probe extracts its own payload into a game folder made here, the way the update command does.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/payload_writer.h"
#include "support/staging_tree_win.h"
#include "support/updater_win.h"

namespace {

const uint64_t kOldTime = 0x01D4000000000000ull;
const uint64_t kNewTime = 0x01D6000000000000ull;

// The update of the game's files every case starts with.
const std::vector<TimedFile> kUpdate = {
    {"game.exe", MakeTestPattern(90000, 11), kNewTime + 1},
    {"data\\", "", 0},
    {"data\\ソ.dat", MakeTestPattern(400000, 12), kNewTime + 2},
    {"data\\b.dat", "new b", kNewTime + 3},
    {"data\\c.dat", "new c", kNewTime + 4},
};

class Staging : public ::testing::Test {
protected:
    void SetUp() override { game = (scratch = MakeScratchFolder(L"staging テスト")) + L"ゲーム"; }
    void TearDown() override {
        SetFileAttributesW(last.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveTree(scratch);
    }
    // The installed game as an update meets it.
    void MakeGame() {
        last = game + L"\\data\\last.dat";
        SetFileAttributesW(last.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveTree(game);
        for (const wchar_t* f : {L"", L"\\data", L"\\save"}) ASSERT_TRUE(CreateDirectoryW((game + f).c_str(), nullptr));
        PutTimedFile(game + L"\\game.exe", MakeTestPattern(70000, 1), kOldTime + 1);
        PutTimedFile(game + L"\\data\\ソ.dat", MakeTestPattern(300000, 2), kOldTime + 2);
        PutTimedFile(game + L"\\data\\b.dat", "old b", kOldTime + 3);
        PutTimedFile(last, "old last", kOldTime + 4);
        PutTimedFile(game + L"\\save\\player.sav", "the player's", kOldTime + 5);
    }
    std::wstring scratch, game, last;
};

TEST_F(Staging, AGoodUpdateReplacesEveryFileWithItsTimeAndLeavesNoTemporary) {
    MakeGame();
    std::vector<TimedFile> files = kUpdate;
    files.insert(files.end(),
                 {{"new\\", "", 0}, {"new\\d.dat", "new d", kNewTime + 5}, {"data\\last.dat", "new last", kNewTime + 6}});
    TestPayload p = OnProgram(L"extract_probe.exe");
    AddTimedFiles(&p, files);
    Tree before = LookAll(game);
    DriveProcess proc = StartUpdater(SaveUpdater(scratch, L"update.exe", &p), game);
    ASSERT_EQ(FinishUpdater(&proc), 0u);
    Tree after = LookAll(game);
    for (const TimedFile& f : files) {
        if (f.name.back() != '\\') ExpectTimedFile(game, f);
    }
    EXPECT_TRUE(after[L"save\\player.sav"] == before[L"save\\player.sav"]);
    // The six files, the player's save and three folders: no temporary or old file anywhere.
    EXPECT_EQ(after.size(), 10u) << TreeDifferences(after, {});
}

// Each failure comes after several files were written (and, for the held file, after others were
// already moved into place), or for a temporary path too long, before any; the game folder must
// come back exactly.
TEST_F(Staging, AFailedUpdateLeavesTheGameFolderAsItWas) {
    const std::vector<TimedFile> goodLast = {{"data\\last.dat", "new last", kNewTime + 6}};
    struct Case {
        const char* what;
        std::vector<TimedFile> last;
        void (*spoil)(const std::wstring& last, HANDLE* held) = nullptr;
        bool deep = false;  // a last file whose temporary name does not fit
    } cases[] = {
        {"read-only destination", goodLast,
         [](const std::wstring& l, HANDLE*) { ASSERT_TRUE(SetFileAttributesW(l.c_str(), FILE_ATTRIBUTE_READONLY)); }},
        {"destination held open without sharing", goodLast,
         [](const std::wstring& l, HANDLE* held) {
             *held = CreateFileW(l.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
             ASSERT_NE(*held, INVALID_HANDLE_VALUE);
         }},
        {"damaged last record", {{"data\\last.dat", MakeTestPattern(200000, 13), kNewTime + 6, BadAdler()}}},
        {"last record cut short", {{"data\\last.dat", MakeTestPattern(5000, 14), kNewTime + 6, CutStream(3)}}},
        {"last record in folders this run creates",
         {{"new\\"}, {"new\\deep\\"}, {"new\\deep\\last.dat", "new last", kNewTime + 6, SizeDelta(1)}}},
        {"temporary path too long", {}, nullptr, true},
    };
    for (const Case& c : cases) {
        MakeGame();
        TestPayload p = OnProgram(L"extract_probe.exe");
        AddTimedFiles(&p, kUpdate);
        AddTimedFiles(&p, c.last);
        // "game\rel" is 250 bytes: "x.dat" fits, while "~vnXXXXX.tmp" beside it does not.
        if (c.deep) AddTestFile(&p, MakeDeepFolders(game, 250) + "x.dat", "x");
        // Seen before the spoiling: a file held without sharing cannot be read from here.
        Tree before = LookAll(game);
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.spoil) c.spoil(last, &held);
        DWORD spoiledAttributes = GetFileAttributesW(last.c_str());
        DriveProcess proc = StartUpdater(SaveUpdater(scratch, L"update.exe", &p), game);
        EXPECT_EQ(AnswerOwnerlessBox(proc), kDamagedMessage) << c.what;
        EXPECT_EQ(FinishUpdater(&proc), kExitMinusOne) << c.what;
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        EXPECT_EQ(GetFileAttributesW(last.c_str()), spoiledAttributes) << c.what;
        SetFileAttributesW(last.c_str(), FILE_ATTRIBUTE_NORMAL);
        Tree after = LookAll(game);
        EXPECT_TRUE(after == before) << c.what << "\nonly before:" << TreeDifferences(before, after)
                                     << "\nonly after:" << TreeDifferences(after, before);
    }
}

}  // namespace

// An update that succeeds replaces every file exactly; one that fails leaves the game folder as it
// was, and one killed half-way is undone or finished by the next run. The probe extracts its own
// payload into a game folder made here, the way the update command does. What the real program
// meets through its menu (a running game, names that climb out, a full disk) is the end-to-end
// test's business.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/payload_writer.h"
#include "support/staging_tree_win.h"
#include "support/updater_win.h"

namespace {

const uint64_t kOldTime = 0x01D4000000000000ull;
const uint64_t kNewTime = 0x01D6000000000000ull;

// Three files replaced, one new in a new folder: seven moves.
const std::vector<TimedFile> kUpdate = {
    {"game.exe", MakeTestPattern(90000, 11), kNewTime + 1},
    {"data\\"},
    {"data\\ソ.dat", MakeTestPattern(400000, 12), kNewTime + 2},
    {"data\\b.dat", "new b", kNewTime + 3},
    {"new\\"},
    {"new\\c.dat", "new c", kNewTime + 4},
};

// The same update with data\\ソ.dat made by a delta from the installed one.
const std::string kInstalledSo = MakeTestPattern(300000, 2);
const std::vector<TimedFile> kDeltaUpdate = {
    kUpdate[0], kUpdate[1], {"data\\ソ.dat", kUpdate[2].data, kUpdate[2].time, {}, &kInstalledSo},
    kUpdate[3], kUpdate[4], kUpdate[5],
};

class Staging : public UpdaterTest {
protected:
    Staging() : UpdaterTest(L"staging テスト") {}
    void SetUp() override {
        UpdaterTest::SetUp();
        game = scratch + L"ゲーム";
        last = game + L"\\data\\last.dat";
    }
    void TearDown() override {
        SetFileAttributesW(last.c_str(), FILE_ATTRIBUTE_NORMAL);
        UpdaterTest::TearDown();
    }
    // The installed game as an update meets it.
    void MakeGame() {
        SetFileAttributesW(last.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveTree(game);
        for (const wchar_t* f : {L"", L"\\data", L"\\save"}) ASSERT_TRUE(CreateDirectoryW((game + f).c_str(), nullptr));
        PutTimedFile(game + L"\\game.exe", MakeTestPattern(70000, 1), kOldTime + 1);
        PutTimedFile(game + L"\\data\\ソ.dat", kInstalledSo, kOldTime + 2);
        PutTimedFile(game + L"\\data\\b.dat", "old b", kOldTime + 3);
        PutTimedFile(last, "old last", kOldTime + 4);
        PutTimedFile(game + L"\\save\\player.sav", "the player's", kOldTime + 5);
    }
    DriveProcess Start(const std::vector<TimedFile>& files, const std::wstring& dest) {
        return StartUpdater(Make(L"update.exe", files, L"extract_probe.exe"), dest);
    }
    DWORD Run(const std::vector<TimedFile>& files) {
        DriveProcess proc = Start(files, game);
        return FinishUpdater(&proc);
    }
    // The refusal: the damaged-file message, -1, no work folder left.
    void ExpectRefused(DriveProcess* proc, const char* what) {
        EXPECT_EQ(AnswerOwnerlessBox(*proc), kDamagedMessage) << what;
        EXPECT_EQ(FinishUpdater(proc), kExitMinusOne) << what;
        EXPECT_EQ(WorkFolders(), before) << what;
    }
    std::wstring game, last;
};

// A failure after several files were written, or into a missing folder before any. A file in use
// is the end-to-end test's (it asks the player first); a temporary path too long or a record in
// folders the run creates are the unit tests'.
TEST_F(Staging, AFailedUpdateLeavesTheGameFolderAsItWas) {
    const std::vector<TimedFile> goodLast = {{"data\\last.dat", "new last", kNewTime + 6}};
    struct Case {
        const char* what;
        std::vector<TimedFile> last;
        void (*spoil)(const std::wstring& last) = nullptr;
        bool missing = false;  // into a folder that does not exist
    } cases[] = {
        {"read-only destination", goodLast,
         [](const std::wstring& l) { ASSERT_TRUE(SetFileAttributesW(l.c_str(), FILE_ATTRIBUTE_READONLY)); }},
        {"damaged last record", {{"data\\last.dat", MakeTestPattern(200000, 13), kNewTime + 6, BadAdler()}}},
        {"a missing install folder", goodLast, nullptr, true},
    };
    for (const Case& c : cases) {
        MakeGame();
        std::vector<TimedFile> files = kUpdate;
        files.insert(files.end(), c.last.begin(), c.last.end());
        const Tree old = LookAll(game);
        if (c.spoil) c.spoil(last);
        DWORD spoiledAttributes = GetFileAttributesW(last.c_str());
        const std::wstring dest = c.missing ? scratch + L"ない" : game;
        DriveProcess proc = Start(files, dest);
        ExpectRefused(&proc, c.what);
        EXPECT_EQ(GetFileAttributesW(last.c_str()), spoiledAttributes) << c.what;
        SetFileAttributesW(last.c_str(), FILE_ATTRIBUTE_NORMAL);
        ExpectSameTree(LookAll(game), old, c.what);
        EXPECT_TRUE(!c.missing || GetFileAttributesW(dest.c_str()) == INVALID_FILE_ATTRIBUTES) << c.what;
    }
}

// The probe is killed at a chosen step: while files are written (nothing moved yet; also halfway
// through a delta's result), before the first move and in the middle of the moves. The next run, here one whose last record
// is damaged, first undoes the extraction or finishes the commit, then fails alone: the folder ends fully old or fully new,
// with no temporary file and no journal. A good run after it updates as usual.
TEST_F(Staging, AKilledUpdateIsUndoneOrFinishedByTheNextRun) {
    MakeGame();
    ASSERT_EQ(Run(kUpdate), 0u);
    const Tree updated = LookAll(game);
    SetEnvironmentVariableW(L"VN_TEST_PAUSE_EVENT", L"vnupdate_test_pause");
    const struct {
        const char* pause;
        bool finished;
        const std::vector<TimedFile>& update;
    } cases[] = {{"written:2", false, kUpdate},
                 {"block:3", false, kDeltaUpdate},
                 {"move:1", true, kUpdate},
                 {"move:4", true, kDeltaUpdate}};
    for (const auto& c : cases) {
        MakeGame();
        const Tree old = LookAll(game);
        HANDLE reached = CreateEventW(nullptr, TRUE, FALSE, L"vnupdate_test_pause");
        ASSERT_NE(reached, nullptr);
        SetEnvironmentVariableW(L"VN_TEST_PAUSE", FromCp932(c.pause).c_str());
        DriveProcess killed = Start(c.update, game);
        SetEnvironmentVariableW(L"VN_TEST_PAUSE", nullptr);
        EXPECT_EQ(WaitForSingleObject(reached, kUpdaterWaitMs), WAIT_OBJECT_0) << c.pause;
        EndProgram(&killed);
        CloseHandle(reached);
        EXPECT_TRUE(FilesIn(game).count(L"~vnjournal.tmp")) << c.pause << ": the kill left nothing to do";
        before = WorkFolders();  // a killed program cannot remove its own

        DriveProcess next = Start({{"data\\b.dat", "other b", kNewTime}, {"z.dat", "z", kNewTime, BadAdler()}}, game);
        ExpectRefused(&next, c.pause);
        ExpectSameTree(LookAll(game), c.finished ? updated : old, c.pause);
        EXPECT_EQ(Run(kUpdate), 0u) << c.pause;
        ExpectSameTree(LookAll(game), updated, c.pause);
    }
}

}  // namespace

// Updates that meet a running game, get killed half-way, fill their disk or carry names that climb
// out of the game folder. Each refusal shows the damaged-file message, ends with -1 and leaves the
// game folder as it was, without temporary files or a work folder; a killed update is finished or
// undone by the next run. The probe extracts its own payload the way the update command does.
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

const std::vector<TimedFile> kUpdate = {
    {"game.exe", MakeTestPattern(90000, 21), kNewTime + 1},
    {"data\\", "", 0},
    {"data\\a.dat", MakeTestPattern(300000, 22), kNewTime + 2},
    {"data\\b.dat", "new b", kNewTime + 3},
    {"new\\", "", 0},
    {"new\\c.dat", "new c", kNewTime + 4},
};

class Hostile : public ::testing::Test {
protected:
    void SetUp() override {
        scratch = MakeScratchFolder(L"hostile テスト");
        game = scratch + L"ゲーム";
        works = WorkFolders();
    }
    void TearDown() override {
        for (const std::wstring& f : {game + L"\\data\\b.dat", game + L"\\game.exe"})
            SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveTree(scratch);
    }
    // The installed game as an update meets it; exe and dll are real programs when given.
    void MakeGame(const std::wstring& root, const std::string& exe = "old exe", const std::string& dll = "old dll") {
        RemoveTree(root);
        for (const wchar_t* f : {L"", L"\\data", L"\\save"}) ASSERT_TRUE(CreateDirectoryW((root + f).c_str(), nullptr));
        PutTimedFile(root + L"\\game.exe", exe, kOldTime + 1);
        PutTimedFile(root + L"\\game.dll", dll, kOldTime + 2);
        PutTimedFile(root + L"\\data\\a.dat", MakeTestPattern(200000, 2), kOldTime + 3);
        PutTimedFile(root + L"\\data\\b.dat", "old b", kOldTime + 4);
        PutTimedFile(root + L"\\save\\player.sav", "the player's", kOldTime + 5);
    }
    // Runs the probe over files into dest and expects the refusal: message, -1, no work folder.
    void ExpectRefused(const std::vector<TimedFile>& files, const std::wstring& dest, const char* what) {
        TestPayload p = OnProgram(L"extract_probe.exe");
        AddTimedFiles(&p, files);
        DriveProcess proc = StartUpdater(SaveUpdater(scratch, L"update.exe", &p), dest);
        EXPECT_EQ(AnswerOwnerlessBox(proc), kDamagedMessage) << what;
        EXPECT_EQ(FinishUpdater(&proc), kExitMinusOne) << what;
        EXPECT_TRUE(NewWorkFolders(works).empty()) << what;
    }
    DWORD RunUpdate(const std::vector<TimedFile>& files, const std::wstring& dest) {
        TestPayload p = OnProgram(L"extract_probe.exe");
        AddTimedFiles(&p, files);
        DriveProcess proc = StartUpdater(SaveUpdater(scratch, L"update.exe", &p), dest);
        return FinishUpdater(&proc);
    }
    std::wstring scratch, game;
    std::set<std::wstring> works;
};

void ExpectSameTree(const Tree& after, const Tree& want, const std::string& what) {
    EXPECT_TRUE(after == want) << what << "\nonly before:" << TreeDifferences(want, after)
                               << "\nonly after:" << TreeDifferences(after, want);
}

std::string ProgramBytes(const wchar_t* name) {
    std::vector<uint8_t> b = LoadBytes(ModuleFolder() + name);
    EXPECT_GT(b.size(), 1024u) << ToCp932(name);
    return std::string(b.begin(), b.end());
}

// The game runs from its folder with game.dll loaded: neither its image nor the library can be
// replaced, so the update is refused before anything moves. Once the game has ended, the same
// update goes through.
TEST_F(Hostile, ARunningGameRefusesTheUpdate) {
    MakeGame(game, ProgramBytes(L"standin_game.exe"), ProgramBytes(L"standin_lib.dll"));
    std::wstring ready = scratch + L"ready";
    DriveProcess running;
    ASSERT_TRUE(StartProgram(L"\"" + game + L"\\game.exe\" " + ready, &running, game.c_str()));
    ASSERT_TRUE(WaitUntil([&] { return GetFileAttributesW(ready.c_str()) != INVALID_FILE_ATTRIBUTES; }, kUpdaterWaitMs))
        << "the stand-in game did not start";
    struct Case {
        const char* what;
        std::vector<TimedFile> files;
    } cases[] = {
        {"its image", {{"data\\b.dat", "new b", kNewTime}, {"game.exe", "new exe", kNewTime}}},
        {"a library it loaded", {{"data\\b.dat", "new b", kNewTime}, {"game.dll", "new dll", kNewTime}}},
    };
    for (const Case& c : cases) {
        Tree before = LookAll(game);
        ExpectRefused(c.files, game, c.what);
        ExpectSameTree(LookAll(game), before, c.what);
    }
    EndProgram(&running);
    std::vector<TimedFile> both = {{"game.exe", "new exe", kNewTime + 1}, {"game.dll", "new dll", kNewTime + 2}};
    EXPECT_EQ(RunUpdate(both, game), 0u);
    for (const TimedFile& f : both) ExpectTimedFile(game, f);
}

// The probe is killed at a chosen step: while files are written (nothing moved yet), before the
// first move and in the middle of the moves. The next run, here one whose last record is damaged,
// first undoes the extraction or finishes the commit, then fails alone: the folder ends fully old
// or fully new, with no temporary file and no journal. A good run after it updates as usual.
TEST_F(Hostile, AKilledUpdateIsUndoneOrFinishedByTheNextRun) {
    MakeGame(game);
    ASSERT_EQ(RunUpdate(kUpdate, game), 0u);
    const Tree updated = LookAll(game);
    struct Case {
        const char* pause;
        bool finished;
    } cases[] = {
        {"written:2", false},
        {"move:1", true},
        {"move:4", true},
    };
    for (const Case& c : cases) {
        MakeGame(game);
        const Tree before = LookAll(game);
        HANDLE reached = CreateEventW(nullptr, TRUE, FALSE, L"vnupdate_test_pause");
        ASSERT_NE(reached, nullptr);
        SetEnvironmentVariableW(L"VN_TEST_PAUSE", FromCp932(c.pause).c_str());
        SetEnvironmentVariableW(L"VN_TEST_PAUSE_EVENT", L"vnupdate_test_pause");
        TestPayload p = OnProgram(L"extract_probe.exe");
        AddTimedFiles(&p, kUpdate);
        DriveProcess killed = StartUpdater(SaveUpdater(scratch, L"update.exe", &p), game);
        SetEnvironmentVariableW(L"VN_TEST_PAUSE", nullptr);
        SetEnvironmentVariableW(L"VN_TEST_PAUSE_EVENT", nullptr);
        EXPECT_EQ(WaitForSingleObject(reached, kUpdaterWaitMs), WAIT_OBJECT_0) << c.pause;
        EndProgram(&killed);
        CloseHandle(reached);
        std::set<std::wstring> left = FilesIn(game);
        EXPECT_TRUE(left.count(L"~vnjournal.tmp")) << c.pause << ": the kill left nothing to do";
        works = WorkFolders();  // a killed program cannot remove its own

        ExpectRefused({{"data\\b.dat", "other b", kNewTime}, {"z.dat", MakeTestPattern(5000, 3), kNewTime, BadAdler()}},
                      game, c.pause);
        ExpectSameTree(LookAll(game), c.finished ? updated : before, c.pause);
        EXPECT_EQ(RunUpdate(kUpdate, game), 0u) << c.pause;
        ExpectSameTree(LookAll(game), updated, c.pause);
    }
}

// Names that climb out of the game folder, a read-only destination and a missing install folder:
// good records come first, so the refusal meets files already written.
TEST_F(Hostile, HostilePayloadsAndFoldersLeaveTheGameAsItWas) {
    const std::vector<TimedFile> good = {{"data\\b.dat", "new b", kNewTime}, {"game.exe", "new exe", kNewTime}};
    struct Case {
        const char* what;
        std::string name;
        bool readOnly = false;
        bool missing = false;
    } cases[] = {
        {"a name that climbs out", "..\\evil.dat"},
        {"a name that climbs out of a folder", "data\\..\\..\\evil.dat"},
        {"a drive letter", "C:\\evil.dat"},
        {"a UNC prefix", "\\\\localhost\\C$\\evil.dat"},
        {"a read-only destination", "data\\b.dat", true},
        {"a missing install folder", "x.dat", false, true},
    };
    for (const Case& c : cases) {
        MakeGame(game);
        std::wstring dest = c.missing ? scratch + L"ない" : game;
        if (c.readOnly) {
            ASSERT_TRUE(SetFileAttributesW((game + L"\\data\\b.dat").c_str(), FILE_ATTRIBUTE_READONLY));
        }
        const Tree before = LookAll(game);
        std::vector<TimedFile> files = good;
        files.push_back({c.name, "evil", kNewTime});
        ExpectRefused(files, dest, c.what);
        ExpectSameTree(LookAll(game), before, c.what);
        EXPECT_EQ(GetFileAttributesW((scratch + L"evil.dat").c_str()), INVALID_FILE_ATTRIBUTES) << c.what;
        EXPECT_EQ(GetFileAttributesW(L"C:\\evil.dat"), INVALID_FILE_ATTRIBUTES) << c.what;
        if (c.missing) {
            EXPECT_EQ(GetFileAttributesW(dest.c_str()), INVALID_FILE_ATTRIBUTES) << c.what;
        }
        SetFileAttributesW((game + L"\\data\\b.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// The game folder lies on an 8 MiB drive that the update's 12 MB fill half-way.
TEST_F(Hostile, ADiskThatFillsUpLeavesTheGameAsItWas) {
    if (GetFileAttributesW(L"S:\\") == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "no small drive S: (the tmpfs could not be mounted: see wine/small-drive.log)";
    }
    std::wstring small = L"S:\\game";
    MakeGame(small);
    std::set<std::wstring> onDrive = FilesIn(L"S:");
    const Tree before = LookAll(small);
    std::vector<TimedFile> big;
    for (int i = 0; i < 4; ++i)
        big.push_back({"big" + std::to_string(i) + ".dat", MakeTestPattern(3000000, 30 + i), kNewTime});
    ExpectRefused(big, small, "disk full");
    ExpectSameTree(LookAll(small), before, "disk full");
    EXPECT_EQ(FilesIn(L"S:"), onDrive);
    RemoveTree(small);
}

}  // namespace

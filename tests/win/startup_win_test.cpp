// The program's start-up and its extraction, driven from outside as a player meets them: updaters
// are made here from the real program (or a probe that extracts everything) and a payload.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "process/workdir_win.h"
#include "resources/resource.h"
#include "support/payload_writer.h"
#include "support/staging_tree_win.h"
#include "support/updater_win.h"

namespace {

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        scratch = MakeScratchFolder(L"startup テスト");
        before = WorkFolders();
    }
    void TearDown() override {
        for (const std::wstring& f : NewWorkFolders(before)) RemoveTree(TempFolder() + f);
        RemoveTree(scratch);
    }
    // Starts program over payload p with args.
    DriveProcess Start(const wchar_t* name, TestPayload* p, const std::wstring& args = L"") {
        return StartUpdater(SaveUpdater(scratch, name, p), args);
    }
    std::wstring scratch;
    std::set<std::wstring> before;
};

TEST_F(Startup, UnpacksOnlyTheSetupFilesIntoANewWorkFolder) {
    TestPayload p = OnProgram(L"vnupdate.exe");
    AddTimedFiles(&p, {{"install.env", "TITLEBAR demo\r\n"}, {"insttscr.rct", "RCT"}, {"readme.txt", "read me"},
                       {"install.env.bak", "old"}, {"NOTES.TXT", "upper case is not taken"}, {"game.exe", "MZ"},
                       {"data\\"}, {"data\\sub\\"}, {"data\\sub\\late.txt", "after the stop"}});
    DriveProcess proc = Start(L"アップデート 1.exe", &p);
    // Looked at while the menu is open: leaving it removes the folder.
    HWND menu = WaitTopWindow(proc.pid, L"demo アップデータ", nullptr, kUpdaterWaitMs);
    ASSERT_NE(menu, nullptr);
    std::vector<std::wstring> made = NewWorkFolders(before);
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0].size(), 29u) << ToCp932(made[0]);  // nine digits until about 11.6 days of uptime
    EXPECT_EQ(made[0].find_first_not_of(L"0123456789", 20), std::wstring::npos) << ToCp932(made[0]);
    EXPECT_EQ(FilesIn(TempFolder() + made[0]),
              (std::set<std::wstring>{L"install.env", L"insttscr.rct", L"readme.txt", L"install.env.bak"}));
    EXPECT_TRUE(PressButton(menu, 1000));
    EXPECT_EQ(FinishUpdater(&proc), 0u);
}

TEST_F(Startup, AMissingOrDamagedPayloadIsReportedAndCleansUp) {
    const wchar_t missing[] =
        L"起動に必要なファイルが不足しています。\nインストールの異常終了、起動するフォルダ異常、等を確認してください。";
    const std::string env = "TITLEBAR demo\r\n";
    struct Case {
        const char* what;
        std::vector<TimedFile> files;
        const wchar_t* message;
    } cases[] = {
        {"no install.env", {{"readme.txt", "read me"}}, missing},
        {"bad Adler-32", {{"readme.txt", "read me"}, {"install.env", env, 0x01D0000000000000ull, BadAdler()}},
         kDamagedMessage},
        {"name that climbs out", {{"..\\install.env", "x"}}, kDamagedMessage},
        {"setup file in a folder", {{"install.env", env}, {"doc\\"}, {"doc\\readme.txt", "x"}}, kDamagedMessage},
    };
    for (const Case& c : cases) {
        TestPayload p = OnProgram(L"vnupdate.exe");
        AddTimedFiles(&p, c.files);
        DriveProcess proc = Start(L"damaged.exe", &p);
        EXPECT_EQ(AnswerOwnerlessBox(proc), c.message) << c.what;
        EXPECT_EQ(FinishUpdater(&proc), kExitMinusOne) << c.what;
        EXPECT_EQ(WorkFolders(), before) << c.what;
    }
    // Nothing was written beside the work folder by the name that climbs out.
    EXPECT_EQ(GetFileAttributesW((TempFolder() + L"install.env").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Startup, TwoStartsInOneMillisecondGetTheirOwnFolders) {
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    ASSERT_EQ(CreateWorkFolder(), 0);
    std::wstring first = FromCp932(GetWorkFolder());
    // Take every name the next starts could compute, as other copies of the program would.
    std::vector<std::wstring> taken = TakeNextWorkFolders(first, 150);
    int second = CreateWorkFolder();
    std::wstring secondFolder = FromCp932(GetWorkFolder());
    wchar_t after[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, after);
    SetCurrentDirectoryW(cwd);
    if (second == 0) {  // a fresh folder, entered
        EXPECT_NE(secondFolder, first);
        for (const std::wstring& t : taken) EXPECT_NE(secondFolder, t);
        EXPECT_EQ(secondFolder, after);
        RemoveDirectoryW(secondFolder.c_str());
    } else {  // every name was taken: no folder of another copy was entered
        EXPECT_EQ(first, after);
    }
    for (const std::wstring& t : taken) RemoveDirectoryW(t.c_str());
    RemoveDirectoryW(first.c_str());
}

// The update's extraction, run by a probe that extracts its own payload into a folder. A payload
// damaged in its last record is the staging tests' business (the same probe).
class ExtractAll : public Startup {
protected:
    DriveProcess Probe(TestPayload* p) {
        dest = scratch + L"ゲーム";
        EXPECT_TRUE(CreateDirectoryW(dest.c_str(), nullptr));
        return Start(L"probe.exe", p, dest);
    }
    std::wstring dest;
};

TEST_F(ExtractAll, FilesOfEverySizeArriveExactlyWithTheirTimes) {
    const std::vector<TimedFile> files = {
        {"empty.dat", "", 0x01D5000000000001ull},
        {"small.txt", MakeTestPattern(1000, 1), 0x01D5000000000002ull},
        {"block.dat", MakeTestPattern(0x20000, 2), 0x01D5000000000003ull},
        {"data\\"},
        {"data\\ソ\\"},
        {"data\\二つ.dat", MakeTestPattern(0x40000, 3), 0x01D5000000000004ull},
        {"data\\ソ\\large.dat", MakeTestPattern(5 * 1024 * 1024 + 17, 4), 0x01D5000000000005ull},
    };
    TestPayload p = OnProgram(L"extract_probe.exe");
    AddTimedFiles(&p, files);
    DriveProcess proc = Probe(&p);
    EXPECT_EQ(FinishUpdater(&proc), 0u);
    for (const TimedFile& f : files) {
        if (f.name.back() != '\\') ExpectTimedFile(dest, f);
    }
}

// A large payload keeps the window up long enough to watch it and to press Cancel.
TEST_F(ExtractAll, TheWindowShowsTheFileAndBothBarsAndCancelOnlyStopsTheClip) {
    const std::string big = MakeSparseBytes(96u * 1024 * 1024);
    TestPayload p = OnProgram(L"extract_probe.exe");
    AddTimedFiles(&p, {{"first.dat", big, 0x01D5000000000010ull}, {"second.dat", big, 0x01D5000000000011ull},
                       {"third.dat", big, 0x01D5000000000012ull}});  // the third: time to watch the clip stand
    DriveProcess proc = Probe(&p);
    HWND window = WaitTopWindow(proc.pid, L"ファイルのコピー中...", nullptr, kUpdaterWaitMs);
    ASSERT_NE(window, nullptr);
    HWND animation = GetDlgItem(window, IDC_COPY_ANIMATION);
    EXPECT_TRUE(ClipMoves(animation));
    HWND name = GetDlgItem(window, IDC_COPY_FILE_NAME);
    EXPECT_TRUE(WaitUntil([&] { return WindowText(name) == dest + L"\\first.dat"; }, kUpdaterWaitMs));
    EXPECT_TRUE(WaitUntil([&] { return BarPos(window, IDC_COPY_FILE_BAR) > 0; }, kUpdaterWaitMs));
    EXPECT_TRUE(WaitUntil([&] { return BarPos(window, IDC_COPY_TOTAL_BAR) > 0; }, kUpdaterWaitMs));
    SaveScreenshot("copy_progress");
    ASSERT_TRUE(PressButton(window, IDCANCEL));
    EXPECT_TRUE(ClipStands(animation));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(FinishUpdater(&proc), 0u);
    ExpectTimedFile(dest, {"third.dat", big, 0x01D5000000000012ull});
}

}  // namespace

// The program's start-up and its extraction, driven from outside as a player meets them: updaters
// are made here from the real program (or a probe that extracts everything) and a payload.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

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
    // Starts the real program over files.
    DriveProcess Start(const wchar_t* name, const std::vector<TimedFile>& files) {
        return StartUpdater(MakeUpdater(scratch, name, L"vnupdate.exe", files));
    }
    std::wstring scratch;
    std::set<std::wstring> before;
};

// Which names are setup files and where the walk stops is unit-tested; here they land in the folder.
TEST_F(Startup, UnpacksOnlyTheSetupFilesIntoANewWorkFolder) {
    DriveProcess proc = Start(L"アップデート 1.exe", {{"install.env", "TITLEBAR demo\r\n"},
                                                      {"insttscr.rct", "RCT"},
                                                      {"readme.txt", "read me"},
                                                      {"game.exe", "MZ"},
                                                      {"data\\"}});
    // Looked at while the menu is open: leaving it removes the folder.
    HWND menu = WaitTopWindow(proc.pid, L"demo アップデータ", nullptr, kUpdaterWaitMs);
    ASSERT_NE(menu, nullptr);
    std::vector<std::wstring> made = NewWorkFolders(before);
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(FilesIn(TempFolder() + made[0]), (std::set<std::wstring>{L"install.env", L"insttscr.rct", L"readme.txt"}));
    EXPECT_TRUE(PressButton(menu, 1000));
    EXPECT_EQ(FinishUpdater(&proc), 0u);
}

// Which records the walk refuses is unit-tested; here the two messages and the clean-up.
TEST_F(Startup, AMissingOrDamagedPayloadIsReportedAndCleansUp) {
    const wchar_t missing[] =
        L"起動に必要なファイルが不足しています。\nインストールの異常終了、起動するフォルダ異常、等を確認してください。";
    struct Case {
        const char* what;
        std::vector<TimedFile> files;
        const wchar_t* message;
    } cases[] = {
        {"no install.env", {{"readme.txt", "read me"}}, missing},
        {"bad Adler-32", {{"readme.txt", "read me"}, {"install.env", "TITLEBAR demo\r\n", 0, BadAdler()}}, kDamagedMessage},
    };
    for (const Case& c : cases) {
        DriveProcess proc = Start(L"damaged.exe", c.files);
        EXPECT_EQ(AnswerOwnerlessBox(proc), c.message) << c.what;
        EXPECT_EQ(FinishUpdater(&proc), kExitMinusOne) << c.what;
        EXPECT_EQ(WorkFolders(), before) << c.what;
    }
}

// Whether the two start in one millisecond or not, each gets a folder of its own and removes only
// that one. Without install.env each stops at its message box with its folder still there.
TEST_F(Startup, TwoProgramsStartedTogetherNeverShareAFolder) {
    const std::wstring one = MakeUpdater(scratch, L"one.exe", L"vnupdate.exe", {{"first.txt", "read me"}});
    const std::wstring two = MakeUpdater(scratch, L"two.exe", L"vnupdate.exe", {{"second.txt", "read me"}});
    DriveProcess procs[2] = {StartUpdater(one), StartUpdater(two)};
    EndOnExit enders[2] = {{&procs[0]}, {&procs[1]}};
    MessageBoxView view;
    HWND boxes[2];
    for (int i = 0; i < 2; ++i) boxes[i] = WaitMessageBox(procs[i].pid, &view, kUpdaterWaitMs);
    std::vector<std::wstring> made = NewWorkFolders(before);
    ASSERT_EQ(made.size(), 2u);
    std::set<std::set<std::wstring>> contents;
    for (const std::wstring& f : made) contents.insert(FilesIn(TempFolder() + f));
    EXPECT_EQ(contents, (std::set<std::set<std::wstring>>{{L"first.txt"}, {L"second.txt"}}));
    for (int i = 0; i < 2; ++i) {
        ASSERT_NE(boxes[i], nullptr);
        EXPECT_TRUE(PressButton(boxes[i], IDOK));
        EXPECT_EQ(FinishUpdater(&procs[i]), kExitMinusOne);
    }
    EXPECT_EQ(WorkFolders(), before);
}

// The copy window, shown by a probe that extracts its own payload into a folder. The probe holds its
// extraction once both bars moved (see extract_probe_win.cpp), so the window is looked at in a known
// state however fast or loaded the machine is.
TEST_F(Startup, TheCopyWindowShowsTheFileAndBothBarsAndCancelOnlyStopsTheClip) {
    const std::vector<TimedFile> files = {{"first.dat", MakeTestPattern(4u << 20, 7), 0x01D5000000000010ull},
                                          {"second.dat", MakeTestPattern(300000, 8), 0x01D5000000000011ull}};
    const std::wstring hold = L"vnupdate_hold_" + std::to_wstring(GetCurrentProcessId());
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, (hold + L"_held").c_str());
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, (hold + L"_release").c_str());
    ASSERT_TRUE(held && release);
    SetEnvironmentVariableW(L"VN_PROBE_HOLD", hold.c_str());
    const std::wstring dest = scratch + L"ゲーム";
    ASSERT_TRUE(CreateDirectoryW(dest.c_str(), nullptr));
    DriveProcess proc = StartUpdater(MakeUpdater(scratch, L"probe.exe", L"extract_probe.exe", files), dest);
    SetEnvironmentVariableW(L"VN_PROBE_HOLD", nullptr);
    EndOnExit ender{&proc};
    ASSERT_EQ(WaitForSingleObject(held, kUpdaterWaitMs), WAIT_OBJECT_0) << "the probe never held";

    HWND window = WaitTopWindow(proc.pid, L"ファイルのコピー中...", nullptr, kUpdaterWaitMs);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(window, IDC_COPY_FILE_NAME)), dest + L"\\first.dat");
    EXPECT_GT(BarPos(window, IDC_COPY_FILE_BAR), 0);
    EXPECT_GT(BarPos(window, IDC_COPY_TOTAL_BAR), 0);
    EXPECT_EQ(WindowText(GetDlgItem(window, IDCANCEL)), L"ｷｬﾝｾﾙ");
    EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & WS_SYSMENU, 0) << "the window must have no close box";
    HWND animation = GetDlgItem(window, IDC_COPY_ANIMATION);
    EXPECT_TRUE(ClipMoves(animation));
    SaveScreenshot("copy_progress");
    ASSERT_TRUE(PressButton(window, IDCANCEL));
    EXPECT_TRUE(ClipStands(animation));
    EXPECT_TRUE(IsWindow(window));

    SetEvent(release);  // the extraction goes on to its end
    EXPECT_EQ(FinishUpdater(&proc), 0u);
    for (const TimedFile& f : files) ExpectTimedFile(dest, f);
    CloseHandle(held);
    CloseHandle(release);
}

}  // namespace

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

class Startup : public UpdaterTest {
protected:
    Startup() : UpdaterTest(L"startup テスト") {}
};

// Whether the two start in one millisecond or not, each gets a folder of its own and removes only
// that one. Without install.env each stops at its message box with its folder still there.
TEST_F(Startup, TwoProgramsStartedTogetherNeverShareAFolder) {
    const std::wstring one = Make(L"one.exe", {{"first.txt", "read me"}}),
                       two = Make(L"two.exe", {{"second.txt", "read me"}});
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
    DriveProcess proc = StartUpdater(Make(L"probe.exe", files, L"extract_probe.exe"), dest);
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

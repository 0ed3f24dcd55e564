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

// The copy, by a probe that extracts its own payload into a game folder, its worker held at a step
// of the staging while the window's thread goes on: the window shows that step's file and bars,
// however fast or loaded the machine is, and both bars reach their end for one file of many
// blocks and for many small files. Released, the copy ends as usual; after Cancel (the clip stops
// at once, the worker at its next block) or at a damaged record after the held block, it ends with
// its message, -1 and the game folder as it was.
TEST_F(Startup, TheCopyWindowFollowsItsWorker) {
    const uint64_t time = 0x01D5000000000010ull;
    const TimedFile first = {"first.dat", MakeTestPattern(4u << 20, 7), time};
    const TimedFile second = {"second.dat", MakeTestPattern(300000, 8), time + 1};
    std::vector<TimedFile> tiny;
    for (int i = 0; i < 400; ++i)
        tiny.push_back({"t" + std::to_string(i) + ".dat", MakeTestPattern(3000, 20 + i), time + i});
    struct Case {
        const char* pause;
        std::vector<TimedFile> files;
        bool cancel;
        const wchar_t* message;  // null when the copy ends as usual
        int filePos;             // the file bar where the worker is held; -1 at its end, with the overall bar
    } cases[] = {
        {"block:2", {first, second}, true, L"アップデートを中止しました", 2},
        {"block:2", {first, {"second.dat", second.data, second.time, BadAdler()}}, false, kDamagedMessage, 2},
        {"written:1", {{"big.dat", MakeTestPattern(24u << 20, 9), time}}, false, nullptr, -1},
        {"written:400", tiny, false, nullptr, -1},
    };
    const std::wstring game = scratch + L"ゲーム";
    ASSERT_TRUE(CreateDirectoryW(game.c_str(), nullptr));
    PutTimedFile(game + L"\\first.dat", "old first", time - 1);
    HeldProbe hold;
    for (const Case& c : cases) {
        const Tree old = LookAll(game);
        DriveProcess proc;
        HWND window = hold.Start(Make(L"probe.exe", c.files, L"extract_probe.exe"), game, c.pause, &proc);
        EndOnExit ender{&proc};
        ASSERT_NE(window, nullptr) << c.pause;
        const std::wstring shown = game + L"\\" + FromCp932((c.filePos < 0 ? c.files.back() : first).name);
        EXPECT_TRUE(WaitUntil(
            [&] {
                return WindowText(GetDlgItem(window, IDC_COPY_FILE_NAME)) == shown &&
                       (c.filePos < 0
                            ? BarAtEnd(window, IDC_COPY_FILE_BAR) && BarAtEnd(window, IDC_COPY_TOTAL_BAR)
                            : BarPos(window, IDC_COPY_FILE_BAR) == c.filePos && BarPos(window, IDC_COPY_TOTAL_BAR) > 0);
            },
            kUpdaterWaitMs))
            << c.pause << ": file " << BarPos(window, IDC_COPY_FILE_BAR) << ", total " << BarPos(window, IDC_COPY_TOTAL_BAR);
        if (c.cancel) {
            EXPECT_EQ(WindowText(GetDlgItem(window, IDCANCEL)), L"ｷｬﾝｾﾙ");
            EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & WS_SYSMENU, 0) << "the window must have no close box";
            HWND animation = GetDlgItem(window, IDC_COPY_ANIMATION);
            EXPECT_TRUE(ClipMoves(animation));
            SaveScreenshot("copy_progress");
            ASSERT_TRUE(PressButton(window, IDCANCEL));
            EXPECT_TRUE(ClipStands(animation));
        }
        SetEvent(hold.release);
        if (c.message) {
            EXPECT_EQ(AnswerOwnerlessBox(proc), c.message) << c.pause;
            EXPECT_EQ(FinishUpdater(&proc), kExitMinusOne) << c.pause;
            ExpectSameTree(LookAll(game), old, c.pause);
        } else {
            EXPECT_EQ(FinishUpdater(&proc), 0u) << c.pause;
            for (const TimedFile& f : c.files) ExpectTimedFile(game, f);
        }
    }
}

}  // namespace

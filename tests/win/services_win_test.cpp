// The process services seen from outside, the way a player meets them: a probe program calls them
// and these tests find, read and answer its windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/services_drive_win.h"

using Ids = std::vector<int>;

// No owner and an empty caption before the main window are met over the real program's start-up.
TEST(ReportError, BeforeMainWindowCopiesTheTextCutByBytes) {
    // "ソ" and "表" end in 0x5C, the byte a careless conversion turns into a backslash.
    const std::string tricky = "ソフト表示エラー\\ 100%";
    const struct {
        std::vector<std::wstring> args;
        std::string expected;  // CP932 bytes of the box text and of CF_TEXT
    } cases[] = {
        {{L"error", Hex(tricky)}, tricky},
        // The box takes 1023 bytes, cut by bytes: here after a lone lead byte.
        {{L"long", L"1500"}, Repeat("ア", 511) + "\x83"},
        {{L"long", L"1023"}, Repeat("ア", 511) + "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.substr(0, 20));
        DriveProcess proc = StartProbe(c.args);
        ProbeBox box = NextBox(proc);
        ASSERT_NE(box.window, nullptr);
        // A lone lead byte shows as whatever the system makes of it; the rest is exact.
        std::wstring want = FromCp932(c.expected);
        size_t exact = want.size() - (c.expected.back() == '\x83' ? 1 : 0);
        std::wstring clipWide;
        EXPECT_EQ(ClipboardBytes(&clipWide), c.expected);
        for (const std::wstring& got : {box.view.text, clipWide}) {
            EXPECT_EQ(got.substr(0, exact), want.substr(0, exact));
            EXPECT_LE(got.size(), want.size());
        }
        Answer(box, IDOK);
        EXPECT_EQ(Finish(&proc), 0u);
    }
}

// The box is ReportRetryable's (Cancel ending with -1 is the menu test's missing picture): Retry
// while the file is still missing asks again; once it exists the stream reads it.
TEST(OpenGuarded, MissingFileAsksUntilItAppears) {
    std::wstring folder = MakeScratchFolder(L"vn_open_guarded");
    std::wstring path = folder + L"設定ファイル.env";
    const std::wstring text = L"Ffopen : ファイル[" + path + L"]の読み込みで失敗しました";
    DriveProcess proc = StartProbe({L"open", Hex(ToCp932(path))});
    ProbeBox box;
    for (int round = 0; round < 2; ++round) {
        ASSERT_NE((box = NextBox(proc)).window, nullptr);
        EXPECT_EQ(box.view.text, text);
        EXPECT_EQ(ButtonIds(box.view), (Ids{IDRETRY, IDCANCEL}));
        ASSERT_TRUE(round == 0 || WriteFileBytes(path, "Z"));
        Answer(box, IDRETRY);
    }
    EXPECT_EQ(Finish(&proc), 100u + 'Z');
    EXPECT_TRUE(RemoveTree(folder));
}

TEST(RunProgram, StartsWithoutWaitingAndRefusesACommandLineThatWouldBeCut) {
    std::wstring folder = MakeScratchFolder(L"vn_run テスト フォルダ");
    std::wstring child = folder + L"起動 ソフト.exe", started = child + L".started", release = child + L".release";
    ASSERT_TRUE(CopyFileW(ProbePath().c_str(), child.c_str(), FALSE));
    // The starter ends while the child still waits to be released. (OpenDocument goes through the
    // shell, which never waits; the menu and end-to-end tests open read-mes with it.)
    DriveProcess proc = StartProbe({L"run", Hex(ToCp932(child))});
    EXPECT_EQ(Finish(&proc), 1u);
    EXPECT_TRUE(WaitUntil([&] { return PathExists(started); }, kProbeWaitMs));
    ASSERT_TRUE(WriteFileBytes(release, ""));
    EXPECT_TRUE(WaitUntil([&] { return !PathExists(started); }, kProbeWaitMs));
    EXPECT_TRUE(WaitUntil([&] { return RemoveTree(folder); }, kProbeWaitMs));

    // The quoted command line has 260 bytes: a program path of 257 bytes starts, one of 258 bytes
    // is refused rather than cut (either would be a valid path).
    folder = MakeScratchFolder(L"vn_run_long");
    size_t folderBytes = ToCp932(folder).size();
    for (auto c : {std::pair<size_t, DWORD>{257, 1}, {258, 0}}) {
        std::wstring path = folder + std::wstring(c.first - folderBytes - 4, L'a') + L".exe";
        ASSERT_EQ(ToCp932(path).size(), c.first);
        ASSERT_TRUE(CopyFileW(ProbePath().c_str(), path.c_str(), FALSE));
        DriveProcess longRun = StartProbe({L"run", Hex(ToCp932(path))});
        EXPECT_EQ(Finish(&longRun), c.second) << c.first;
    }
    // The child started from the 257-byte path ends at once: its marker would not fit.
    EXPECT_TRUE(WaitUntil([&] { return RemoveTree(folder); }, kProbeWaitMs));
}

TEST(AllocChecked, WarnsWithoutOwnerAndReturnsNull) {
    DriveProcess proc = StartProbe({L"alloc"});
    ProbeBox box = NextBox(proc);
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.view.owner, nullptr);
    EXPECT_EQ(box.view.caption, L"malloc");
    EXPECT_EQ(box.view.text, L"メモリ容量が不足しています。処理を中断します。");
    Answer(box, IDOK);
    EXPECT_EQ(Finish(&proc), 3u);
}

TEST(SystemDlls, LoadedFromTheSystemFolderAfterTheRestriction) {
    // A winmm.dll planted beside the program, as in a download folder, must not be the one loaded.
    // Bits: common controls registered, progress class present, winmm loaded, a tick count read,
    // the search restricted, winmm from the system folder.
    std::wstring folder = MakeScratchFolder(L"vn_planted");
    ASSERT_TRUE(CopyFileW(ProbePath().c_str(), (folder + L"probe.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((ModuleFolder() + L"planted_dll.dll").c_str(), (folder + L"winmm.dll").c_str(), FALSE));
    DriveProcess proc;
    ASSERT_TRUE(StartProgram(L"\"" + folder + L"probe.exe\" dll", &proc, folder.c_str()));
    EXPECT_EQ(Finish(&proc), 63u);
    EXPECT_FALSE(PathExists(folder + L"winmm.dll.loaded"));
    EXPECT_TRUE(RemoveTree(folder));
}

// Run by a second CTest test under a Western locale (ANSI code page 1252): what the game reads keeps
// the system's ANSI meaning (that what the player reads stays Japanese is the menu test's).
TEST(WesternSystem, FileNamesFollowTheAnsiCodePage) {
    ASSERT_EQ(GetACP(), 1252u) << "this test needs LC_ALL=en_US.UTF-8";
    // "データ.dat" as the game would spell it in CP932: on this system the bytes mean other
    // characters, and the file must carry exactly the name CreateFileA gives them.
    std::wstring folder = MakeScratchFolder(L"vn_western");
    const std::string name = "データ.dat";
    DriveProcess create = StartProbe({L"create", Hex(ToCp932(folder) + name)});
    EXPECT_EQ(Finish(&create), 100u);
    wchar_t ansiName[64] = {};
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, ansiName, 64), 0);
    EXPECT_NE(std::wstring(ansiName), L"データ.dat");
    EXPECT_EQ(ListFolder(folder, L"*.dat"), std::vector<std::wstring>{ansiName});
    EXPECT_TRUE(RemoveTree(folder));
}

// The process services seen from outside, the way a player meets them: a probe program calls them
// and these tests find, read and answer its windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/drive_win.h"

namespace {

const DWORD kWaitMs = 15000;
const DWORD kExitMinusOne = 0xFFFFFFFFu;

std::wstring ProbePath() { return ModuleFolder() + L"services_probe.exe"; }

std::wstring Hex(const std::string& bytes) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring out = L"hex:";
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Starts the probe with the given arguments (each quoted) and returns the process.
DriveProcess StartProbe(const std::vector<std::wstring>& args, const wchar_t* folder = nullptr) {
    std::wstring cmd = L"\"" + ProbePath() + L"\"";
    for (const auto& a : args) cmd += L" \"" + a + L"\"";
    DriveProcess proc;
    EXPECT_TRUE(StartProgram(cmd, &proc, folder)) << "cannot start the probe";
    return proc;
}

// Waits for the probe's next message box; fails the test when none comes.
HWND WaitBox(const DriveProcess& proc) { return WaitTopWindow(proc.pid, nullptr, L"#32770", kWaitMs); }

std::vector<int> ButtonIds(const MessageBoxView& box) {
    std::vector<int> ids;
    for (const auto& b : box.buttons) ids.push_back(b.id);
    return ids;
}

// Presses the button and waits for the box to go away.
void Answer(HWND box, int id) {
    ASSERT_TRUE(PressButton(box, id));
    ASSERT_TRUE(WaitWindowGone(box, kWaitMs));
}

DWORD Finish(DriveProcess* proc) {
    DWORD code = 0xDEAD;
    if (!WaitProgram(proc, kWaitMs, &code)) {
        EndProgram(proc);
        ADD_FAILURE() << "the probe did not end";
    }
    return code;
}

struct ErrorCase {
    const char* name;
    std::vector<std::wstring> args;
    std::string expected;  // CP932 bytes of the box text and of CF_TEXT
};

std::string Repeat(const std::string& s, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += s;
    return out;
}

}  // namespace

TEST(ReportError, BeforeMainWindowHasNoOwnerEmptyCaptionAndCopiesTheText) {
    // "ソ" and "表" end in 0x5C, the byte a careless conversion turns into a backslash.
    const std::string tricky = "ソフト表示エラー\\ 100%";
    const std::vector<ErrorCase> cases = {
        {"plain", {L"error", Hex(tricky)}, tricky},
        {"format", {L"format", L"x"}, "[x] -12/34 終"},
        // 1500 bytes of text: the box gets the first 1023 bytes, cut by bytes.
        {"cut", {L"long", L"1500"}, Repeat("ア", 511) + std::string("\x83", 1)},
        {"exact", {L"long", L"1023"}, Repeat("ア", 511) + "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DriveProcess proc = StartProbe(c.args);
        HWND box = WaitBox(proc);
        ASSERT_NE(box, nullptr);
        MessageBoxView view;
        ASSERT_TRUE(ReadMessageBox(box, &view));
        EXPECT_EQ(view.owner, nullptr);
        EXPECT_EQ(view.caption, L"");
        EXPECT_TRUE(view.hasIcon);
        EXPECT_EQ(ButtonIds(view), std::vector<int>{IDOK});
        std::wstring expectedWide = FromCp932(c.expected);
        if (c.expected.back() == '\x83') {
            // A lone lead byte at the cut shows as whatever the system makes of it; the rest is exact.
            EXPECT_EQ(view.text.substr(0, expectedWide.size() - 1), expectedWide.substr(0, expectedWide.size() - 1));
            EXPECT_LE(view.text.size(), expectedWide.size());
        } else {
            EXPECT_EQ(view.text, expectedWide);
        }
        std::wstring clipWide;
        std::string clipBytes;
        ASSERT_TRUE(ReadClipboard(&clipWide, &clipBytes));
        EXPECT_EQ(clipBytes, c.expected);
        if (c.expected.back() != '\x83') {
            EXPECT_EQ(clipWide, expectedWide);
        }
        Answer(box, IDOK);
        EXPECT_EQ(Finish(&proc), 0u);
    }
}

TEST(ReportError, WithMainWindowIsOwnedAndTakesItsCurrentTitle) {
    const std::string title = "アップデータ・ソ";
    const std::string text = "インストール先が見つかりません";
    // Yes and No of the question that follows: only Yes is true.
    for (int answer : {IDYES, IDNO}) {
        SCOPED_TRACE(answer);
        DriveProcess proc = StartProbe({L"owned", Hex(title), Hex(text)});
        HWND main = WaitTopWindow(proc.pid, nullptr, L"VnProbeMain", kWaitMs);
        ASSERT_NE(main, nullptr);
        HWND box = WaitBox(proc);
        ASSERT_NE(box, nullptr);
        MessageBoxView view;
        ASSERT_TRUE(ReadMessageBox(box, &view));
        EXPECT_EQ(view.owner, main);
        EXPECT_EQ(view.caption, FromCp932(title));
        EXPECT_EQ(view.text, FromCp932(text));
        Answer(box, IDOK);

        // The question: caption follows the retitled window; no clipboard copy.
        box = WaitBox(proc);
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(ReadMessageBox(box, &view));
        EXPECT_EQ(view.owner, main);
        EXPECT_EQ(view.caption, FromCp932(title + "2"));
        EXPECT_EQ(view.text, FromCp932(text + "?"));
        EXPECT_EQ(ButtonIds(view), (std::vector<int>{IDYES, IDNO}));
        std::wstring clipWide;
        std::string clipBytes;
        ASSERT_TRUE(ReadClipboard(&clipWide, &clipBytes));
        EXPECT_EQ(clipBytes, text);
        Answer(box, answer);
        EXPECT_EQ(Finish(&proc), answer == IDYES ? 1u : 0u);
    }
}

TEST(ReportError, LongMainWindowTitleIsCutAtACharacter) {
    // The caption buffer holds 259 bytes: 129 double-byte characters fit, the 130th would need
    // bytes 259 and 260, so it goes whole instead of leaving half a character.
    const std::string title = Repeat("ア", 150);
    DriveProcess proc = StartProbe({L"owned", Hex(title), L"x"});
    HWND box = WaitBox(proc);
    ASSERT_NE(box, nullptr);
    MessageBoxView view;
    ASSERT_TRUE(ReadMessageBox(box, &view));
    EXPECT_EQ(view.caption, FromCp932(Repeat("ア", 129)));
    Answer(box, IDOK);
    box = WaitBox(proc);
    ASSERT_NE(box, nullptr);
    Answer(box, IDNO);
    EXPECT_EQ(Finish(&proc), 0u);
}

TEST(ReportRetryable, CancelEndsWithMinusOneRetryReturns) {
    const struct {
        int button;
        DWORD exitCode;
    } cases[] = {{IDCANCEL, kExitMinusOne}, {IDRETRY, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        DriveProcess proc = StartProbe({L"retry", L"again?"});
        HWND box = WaitBox(proc);
        ASSERT_NE(box, nullptr);
        MessageBoxView view;
        ASSERT_TRUE(ReadMessageBox(box, &view));
        EXPECT_EQ(view.text, L"again?");
        EXPECT_EQ(ButtonIds(view), (std::vector<int>{IDRETRY, IDCANCEL}));
        Answer(box, c.button);
        EXPECT_EQ(Finish(&proc), c.exitCode);
    }
}

TEST(OpenGuarded, MissingFileAsksUntilItAppears) {
    std::wstring folder = MakeScratchFolder(L"vn_open_guarded");
    std::wstring path = folder + L"設定ファイル.env";
    std::wstring expected = L"Ffopen : ファイル[" + path + L"]の読み込みで失敗しました";

    DriveProcess proc = StartProbe({L"open", Hex(ToCp932(path))});
    HWND box = WaitBox(proc);
    ASSERT_NE(box, nullptr);
    MessageBoxView view;
    ASSERT_TRUE(ReadMessageBox(box, &view));
    EXPECT_EQ(view.text, expected);
    EXPECT_EQ(ButtonIds(view), (std::vector<int>{IDRETRY, IDCANCEL}));

    // Retry while the file is still missing asks again.
    Answer(box, IDRETRY);
    box = WaitBox(proc);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(ReadMessageBox(box, &view));
    EXPECT_EQ(view.text, expected);

    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(f, "Z", 1, &written, nullptr);
    CloseHandle(f);
    Answer(box, IDRETRY);
    EXPECT_EQ(Finish(&proc), 100u + 'Z');  // the stream it returned reads the file

    // Cancel gives up with -1.
    DriveProcess gone = StartProbe({L"open", Hex(ToCp932(folder + L"無い.env"))});
    box = WaitBox(gone);
    ASSERT_NE(box, nullptr);
    Answer(box, IDCANCEL);
    EXPECT_EQ(Finish(&gone), kExitMinusOne);
    EXPECT_TRUE(RemoveTree(folder));
}

TEST(FileExists, OnlyFilesThatOpenForReading) {
    std::wstring folder = MakeScratchFolder(L"vn_file_exists");
    std::wstring file = folder + L"ある.txt";
    std::wstring locked = folder + L"鍵.txt";
    for (const auto& name : {file, locked}) {
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
    CreateDirectoryW((folder + L"フォルダ").c_str(), nullptr);
    // Held open without sharing: nobody can read it.
    HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hold, INVALID_HANDLE_VALUE);

    const struct {
        std::wstring name;
        DWORD exists;
    } cases[] = {{file, 1}, {folder + L"無い.txt", 0}, {folder + L"フォルダ", 0}, {locked, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(ToCp932(c.name)));
        DriveProcess proc = StartProbe({L"exists", Hex(ToCp932(c.name))});
        EXPECT_EQ(Finish(&proc), c.exists);
    }
    CloseHandle(hold);
    EXPECT_TRUE(RemoveTree(folder));
}

TEST(PumpMessages, DispatchesWaitingMessagesThenQuitsWithTheCode) {
    std::wstring folder = MakeScratchFolder(L"vn_pump");
    std::wstring log = folder + L"pump.log";
    DriveProcess proc = StartProbe({L"pump", log});
    EXPECT_EQ(Finish(&proc), 42u);
    std::string seen;
    HANDLE h = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buf[64];
    DWORD got = 0;
    ReadFile(h, buf, sizeof buf, &got, nullptr);
    CloseHandle(h);
    seen.assign(buf, got);
    EXPECT_EQ(seen, "1\n2\n");

    // An empty queue: returns 0 at once.
    DriveProcess empty = StartProbe({L"pump-empty"});
    EXPECT_EQ(Finish(&empty), 10u);
    EXPECT_TRUE(RemoveTree(folder));
}

TEST(RunProgram, StartsAPathWithSpacesAndJapaneseWithoutWaiting) {
    std::wstring folder = MakeScratchFolder(L"vn_run テスト フォルダ");
    std::wstring child = folder + L"起動 ソフト.exe";
    ASSERT_TRUE(CopyFileW(ProbePath().c_str(), child.c_str(), FALSE));
    std::wstring started = child + L".started";
    std::wstring release = child + L".release";

    // RunProgram, and OpenDocument through the shell, on the same program. The starter ends while
    // the child still waits to be released.
    const struct {
        const wchar_t* verb;
        DWORD exitCode;
    } starters[] = {{L"run", 1}, {L"document", 0}};
    for (const auto& s : starters) {
        SCOPED_TRACE(std::string(ToCp932(s.verb)));
        DriveProcess proc = StartProbe({s.verb, Hex(ToCp932(child))});
        EXPECT_EQ(Finish(&proc), s.exitCode);
        EXPECT_TRUE(WaitUntil([&] { return GetFileAttributesW(started.c_str()) != INVALID_FILE_ATTRIBUTES; }, kWaitMs));
        HANDLE h = CreateFileW(release.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
        EXPECT_TRUE(WaitUntil([&] { return GetFileAttributesW(started.c_str()) == INVALID_FILE_ATTRIBUTES; }, kWaitMs));
        DeleteFileW(release.c_str());
    }
    EXPECT_TRUE(WaitUntil([&] { return RemoveTree(folder); }, kWaitMs));
}

TEST(RunProgram, CommandLineLimit) {
    // The quoted command line has 260 bytes: a program path of 257 bytes starts, one of 258 bytes
    // is refused rather than cut (either would be a valid path).
    std::wstring folder = MakeScratchFolder(L"vn_run_long");
    size_t folderBytes = ToCp932(folder).size();
    const struct {
        size_t pathBytes;
        DWORD exitCode;
    } cases[] = {{257, 1}, {258, 0}, {10, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pathBytes);
        std::wstring path = folder + std::wstring(c.pathBytes > folderBytes + 4 ? c.pathBytes - folderBytes - 4 : 1, L'a') + L".exe";
        if (c.pathBytes > 10) {
            ASSERT_EQ(ToCp932(path).size(), c.pathBytes);
            ASSERT_TRUE(CopyFileW(ProbePath().c_str(), path.c_str(), FALSE));
        }  // else: a program that does not exist
        DriveProcess proc = StartProbe({L"run", Hex(ToCp932(path))});
        EXPECT_EQ(Finish(&proc), c.exitCode);
    }
    // The child started from the 257-byte path ends at once: its marker would not fit.
    EXPECT_TRUE(WaitUntil([&] { return RemoveTree(folder); }, kWaitMs));
}

TEST(CenterWindow, CentresOnTheWholeScreenEvenWhenLarger) {
    int screenW = GetSystemMetrics(SM_CXSCREEN);
    int screenH = GetSystemMetrics(SM_CYSCREEN);
    const struct {
        int width, height;
    } cases[] = {{200, 101}, {screenW + 277, screenH + 133}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        DriveProcess proc = StartProbe({L"center", std::to_wstring(c.width), std::to_wstring(c.height)});
        HWND box = WaitBox(proc);  // shown after the centring
        ASSERT_NE(box, nullptr);
        HWND window = WaitTopWindow(proc.pid, nullptr, L"VnProbeMain", kWaitMs);
        ASSERT_NE(window, nullptr);
        RECT r;
        GetWindowRect(window, &r);
        // Truncation toward zero, so a larger window sits at negative coordinates.
        EXPECT_EQ(r.left, (screenW - c.width) / 2);
        EXPECT_EQ(r.top, (screenH - c.height) / 2);
        EXPECT_EQ(r.right - r.left, c.width);
        Answer(box, IDOK);
        EXPECT_EQ(Finish(&proc), 0u);
    }
}

TEST(AllocChecked, WarnsWithoutOwnerAndReturnsNull) {
    DriveProcess proc = StartProbe({L"alloc"});
    HWND box = WaitBox(proc);
    ASSERT_NE(box, nullptr);
    MessageBoxView view;
    ASSERT_TRUE(ReadMessageBox(box, &view));
    EXPECT_EQ(view.owner, nullptr);
    EXPECT_EQ(view.caption, L"malloc");
    EXPECT_EQ(view.text, L"メモリ容量が不足しています。処理を中断します。");
    EXPECT_EQ(ButtonIds(view), std::vector<int>{IDOK});
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
    EXPECT_EQ(GetFileAttributesW((folder + L"winmm.dll.loaded").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(RemoveTree(folder));
}

TEST(DrivingLibrary, ListsAndClicksControls) {
    // The other Wine tests lean on these reads; a wrong ID, rectangle or check state would make
    // them pass or fail for the wrong reason.
    DriveProcess proc = StartProbe({L"controls"});
    HWND main = WaitTopWindow(proc.pid, L"controls", L"VnProbeMain", kWaitMs);
    ASSERT_NE(main, nullptr);
    std::vector<DriveControl> controls = ListControls(main);
    ASSERT_EQ(controls.size(), 1u);
    const DriveControl& c = controls[0];
    EXPECT_EQ(c.id, 101);
    EXPECT_EQ(c.text, L"同意する");
    EXPECT_EQ(_wcsicmp(c.className.c_str(), L"Button"), 0);
    EXPECT_EQ(c.rect.left, 20);
    EXPECT_EQ(c.rect.top, 30);
    EXPECT_EQ(c.rect.right, 170);
    EXPECT_EQ(c.rect.bottom, 50);
    EXPECT_EQ(c.check, BST_UNCHECKED);
    EXPECT_TRUE(c.visible && c.enabled);
    ASSERT_TRUE(ClickControl(main, 101));
    EXPECT_TRUE(WaitUntil([&] { return ListControls(main)[0].check == BST_CHECKED; }, kWaitMs));
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(Finish(&proc), static_cast<DWORD>(BST_CHECKED));
}

TEST(Screenshot, JapaneseMessageBoxOverItsMainWindow) {
    // For the eye: the picture shows whether the box's Japanese and caption really are legible.
    DriveProcess proc =
        StartProbe({L"owned", Hex("アップデータ"), Hex("インストール先が見つかりません。\nアップデートを中止しました")});
    HWND box = WaitBox(proc);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(SaveScreenshot("msgbox_ja"));
    Answer(box, IDOK);
    box = WaitBox(proc);
    ASSERT_NE(box, nullptr);
    Answer(box, IDNO);
    EXPECT_EQ(Finish(&proc), 0u);
}

// Run by a second CTest test under a Western locale (ANSI code page 1252): what the player reads
// stays Japanese, what the game reads keeps the system's ANSI meaning.
TEST(WesternSystem, BoxesShowJapaneseWhileFileNamesFollowTheAnsiCodePage) {
    ASSERT_EQ(GetACP(), 1252u) << "this test needs LC_ALL=en_US.UTF-8";
    const std::string title = "アップデータ";
    const std::string text = "アップデートを中止しました";
    DriveProcess proc = StartProbe({L"owned", Hex(title), Hex(text)});
    HWND box = WaitBox(proc);
    ASSERT_NE(box, nullptr);
    MessageBoxView view;
    ASSERT_TRUE(ReadMessageBox(box, &view));
    EXPECT_EQ(view.text, L"アップデートを中止しました");
    EXPECT_EQ(view.caption, L"アップデータ");
    std::wstring clipWide;
    std::string clipBytes;
    ASSERT_TRUE(ReadClipboard(&clipWide, &clipBytes));
    EXPECT_EQ(clipWide, L"アップデートを中止しました");
    EXPECT_EQ(clipBytes, text);
    Answer(box, IDOK);
    box = WaitBox(proc);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(ReadMessageBox(box, &view));
    EXPECT_EQ(view.caption, L"アップデータ2");
    Answer(box, IDNO);
    EXPECT_EQ(Finish(&proc), 0u);

    // "データ.dat" as the game would spell it in CP932: on this system the bytes mean other
    // characters, and the file must carry exactly the name CreateFileA gives them.
    std::wstring folder = MakeScratchFolder(L"vn_western");
    std::string folderBytes = ToCp932(folder);  // ASCII
    const std::string name = "データ.dat";
    DriveProcess create = StartProbe({L"create", Hex(folderBytes + name)});
    EXPECT_EQ(Finish(&create), 100u);
    wchar_t ansiName[64] = {};
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, ansiName, 64), 0);
    EXPECT_NE(std::wstring(ansiName), L"データ.dat");
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"*.dat").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::wstring(found.cFileName), std::wstring(ansiName));
    EXPECT_FALSE(FindNextFileW(find, &found));
    FindClose(find);
    HANDLE byAnsi = CreateFileA((folderBytes + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    EXPECT_NE(byAnsi, INVALID_HANDLE_VALUE);
    if (byAnsi != INVALID_HANDLE_VALUE) CloseHandle(byAnsi);
    EXPECT_TRUE(RemoveTree(folder));
}

// Times the real program the way a player meets it, for the benchmark table. Two measures:
//   drive_bench startup UPDATER TITLE RESULT
//     process start until the menu (a dialog titled TITLE) is visible; then closes the menu.
//   drive_bench update UPDATER TITLE KEY FOLDER RESULT
//     registers FOLDER as the installation under HKCU\KEY (IsInst "1", InstTo FOLDER), puts the
//     game's program there, presses Update, and times Yes in the question until the completion
//     dialog is visible; then leaves it without starting the game and waits for the program to end.
// Seconds (QueryPerformanceCounter) go to RESULT: a Wine program's output through a pipe can hang.
// The polls here sleep 1 ms instead of the library's 20 so that the figures are not rounded up to
// the poll; they give up after a minute, never sooner.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "support/drive_win.h"

namespace {

const DWORD kWaitMs = 60000;
const int kRunBox = 1009;  // the completion dialog's "start the game" box
const char kOldGame[] = "the installed game";

double Now() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

template <typename Fn>
bool Poll(Fn fn) {
    DWORD start = GetTickCount();
    while (!fn()) {
        if (GetTickCount() - start >= kWaitMs) return false;
        Sleep(1);
    }
    return true;
}

// A visible dialog of the program with this caption. Each poll asks the window system as little as it can
// (the dialogs with that caption, then their process) and never sends the program a message: the
// program's own requests to the same window server are what is being timed.
HWND PollTopWindow(DWORD pid, const std::wstring& title) {
    HWND hit = nullptr;
    Poll([&] {
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", title.c_str())) != nullptr;) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == pid && IsWindowVisible(w)) hit = w;
        }
        return hit != nullptr;
    });
    return hit;
}

HWND PollMessageBox(DWORD pid) {
    HWND box = nullptr;
    Poll([&] {
        for (HWND w : TopWindows(pid)) {
            MessageBoxView view;
            if (ReadMessageBox(w, &view)) box = w;
        }
        return box != nullptr;
    });
    return box;
}

int Fail(DriveProcess* proc, const char* what) {
    fprintf(stderr, "drive_bench: %s\n", what);
    if (proc->process) {
        for (HWND w : TopWindows(proc->pid)) {
            MessageBoxView box;
            bool isBox = ReadMessageBox(w, &box);
            fprintf(stderr, "  window %s [%s]%s%s\n", ToCp932(WindowText(w)).c_str(), ToCp932(WindowClass(w)).c_str(),
                    isBox ? ": " : "", isBox ? ToCp932(box.text).c_str() : "");
        }
    }
    EndProgram(proc);
    return 1;
}

bool WriteResult(const std::wstring& path, double seconds) {
    FILE* f = _wfopen(path.c_str(), L"w");
    if (!f) return false;
    fprintf(f, "%.6f\n", seconds);
    return fclose(f) == 0;
}

bool AppendResult(const std::wstring& path, double seconds) {
    FILE* f = _wfopen(path.c_str(), L"a");
    if (!f) return false;
    fprintf(f, "%.6f\n", seconds);
    return fclose(f) == 0;
}

bool SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool Register(const std::wstring& keyPath, const std::wstring& folder) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool ok = SetText(key, L"IsInst", L"1") && SetText(key, L"InstTo", folder);
    RegCloseKey(key);
    return ok;
}

// The installed game's program, which the update looks for in the folder. The tree does not ship
// one, so it is taken away again afterwards and the folder holds exactly what the update wrote.
bool PutGame(const std::wstring& path) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return false;
    fwrite(kOldGame, 1, sizeof kOldGame - 1, f);
    return fclose(f) == 0;
}

int StartUp(const std::wstring& updater, const std::wstring& title, const std::wstring& result) {
    DriveProcess proc;
    double start = Now();
    if (!StartProgram(L"\"" + updater + L"\"", &proc)) return Fail(&proc, "cannot start the updater");
    HWND menu = PollTopWindow(proc.pid, title);
    double shown = Now();
    if (!menu) return Fail(&proc, "the menu did not appear");
    PostMessageW(menu, WM_CLOSE, 0, 0);
    DWORD code = 0;
    if (!WaitProgram(&proc, kWaitMs, &code) || code != 0) return Fail(&proc, "the updater did not end with 0");
    EndProgram(&proc);
    return WriteResult(result, shown - start) ? 0 : 1;
}

// Registers the installation, starts the updater and goes as far as the question before the copy.
// False after failing.
bool StartUpdate(const std::wstring& updater, const std::wstring& title, const std::wstring& key, const std::wstring& folder,
                 DriveProcess* proc, HWND* menu, HWND* question) {
    if (!Register(key, folder) || !PutGame(folder + L"\\game.exe")) return !Fail(proc, "cannot register the installation");
    if (!StartProgram(L"\"" + updater + L"\"", proc)) return !Fail(proc, "cannot start the updater");
    *menu = PollTopWindow(proc->pid, title);
    if (!*menu) return !Fail(proc, "the menu did not appear");
    int update = 0;
    for (const DriveControl& c : ListControls(*menu)) {
        if (c.text == L"アップデート" && c.visible) update = c.id;
    }
    if (!update || !PressButton(*menu, update)) return !Fail(proc, "no Update button");
    *question = PollMessageBox(proc->pid);
    return *question || !Fail(proc, "no question");
}

// Cancel pressed once a quarter of the copy is done. Measures until the total bar stands still (the
// copy stopped; the bar is redrawn every 40 ms, so this is that coarse) and until the refusal that
// follows the rollback shows; the folder must then hold the installed game alone, as before.
int Cancel(const std::wstring& updater, const std::wstring& title, const std::wstring& key, const std::wstring& folder,
           const std::wstring& result) {
    DriveProcess proc;
    HWND menu = nullptr, question = nullptr;
    if (!StartUpdate(updater, title, key, folder, &proc, &menu, &question)) return 1;
    PressButton(question, IDYES);
    HWND copy = PollTopWindow(proc.pid, L"ファイルのコピー中...");
    if (!copy) return Fail(&proc, "the copy window did not appear");
    HWND bar = GetDlgItem(copy, 1019);
    // The window shows before its bar is given the copy's range.
    if (!Poll([&] {
            DWORD range = static_cast<DWORD>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
            return range > 1 && static_cast<DWORD>(SendMessageW(bar, PBM_GETPOS, 0, 0)) >= range / 4;
        }))
        return Fail(&proc, "the copy did not get a quarter through");
    double pressed = Now();
    PressButton(copy, IDCANCEL);
    DWORD shownPos = 0;
    double moved = pressed;
    Poll([&] {
        DWORD pos = static_cast<DWORD>(SendMessageW(bar, PBM_GETPOS, 0, 0));
        if (IsWindow(copy) && pos > shownPos) {
            shownPos = pos;
            moved = Now();
        }
        return !IsWindow(copy);
    });
    HWND refusal = PollMessageBox(proc.pid);
    double shown = Now();
    MessageBoxView view;
    if (!refusal || !ReadMessageBox(refusal, &view) || view.text != L"アップデートを中止しました")
        return Fail(&proc, "no refusal after Cancel");
    std::vector<std::wstring> left = ListFolder(folder + L"\\", L"*");
    if (left != std::vector<std::wstring>{L"game.exe"}) return Fail(&proc, "the folder is not as it was");
    PressButton(refusal, IDOK);
    PostMessageW(menu, WM_CLOSE, 0, 0);
    DWORD code = 0;
    if (!WaitProgram(&proc, kWaitMs, &code) || code != 0) return Fail(&proc, "the updater did not end with 0");
    DeleteFileW((folder + L"\\game.exe").c_str());
    return WriteResult(result, moved - pressed) && AppendResult(result, shown - pressed) ? 0 : 1;
}

int Update(const std::wstring& updater, const std::wstring& title, const std::wstring& key, const std::wstring& folder,
           const std::wstring& result) {
    DriveProcess proc;
    std::wstring game = folder + L"\\game.exe";
    HWND menu = nullptr, question = nullptr;
    if (!StartUpdate(updater, title, key, folder, &proc, &menu, &question)) return 1;
    double yes = Now();
    PressButton(question, IDYES);
    HWND done = PollTopWindow(proc.pid, L"インストール終了");
    double shown = Now();
    if (!done) return Fail(&proc, "the completion dialog did not appear");
    ClickControl(done, kRunBox);
    if (!Poll([&] { return IsDlgButtonChecked(done, kRunBox) == BST_UNCHECKED; }))
        return Fail(&proc, "the run box stayed ticked");
    PressButton(done, IDOK);
    DWORD code = 0;
    if (!WaitProgram(&proc, kWaitMs, &code) || code != 0) return Fail(&proc, "the updater did not end with 0");
    EndProgram(&proc);
    DeleteFileW(game.c_str());
    return WriteResult(result, shown - yes) ? 0 : 1;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc == 5 && std::wstring(argv[1]) == L"startup") return StartUp(argv[2], argv[3], argv[4]);
    if (argc == 7 && std::wstring(argv[1]) == L"update") return Update(argv[2], argv[3], argv[4], argv[5], argv[6]);
    if (argc == 7 && std::wstring(argv[1]) == L"cancel") return Cancel(argv[2], argv[3], argv[4], argv[5], argv[6]);
    fprintf(stderr,
            "usage: drive_bench startup UPDATER TITLE RESULT\n"
            "       drive_bench update|cancel UPDATER TITLE KEY FOLDER RESULT\n");
    return 2;
}

// Walks the demo update the way a player would, on a display nobody watches: the menu, Update, Yes to
// the folder, the copy window, the completion dialog with its choices as offered, and the updated game
// coming up. Each window is saved as a screenshot of the whole desktop (SaveScreenshot) before the
// button that leads on is pressed. Usage: demo_drive UPDATER.exe. Prints one line per window; exits 0
// when the updater ended with 0 and the game showed its new version.
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>

#include "support/drive_win.h"

namespace {

const DWORD kWaitMs = 60000;

int Fail(DriveProcess* proc, const char* what) {
    fprintf(stderr, "demo_drive: %s\n", what);
    EndProgram(proc);
    return 1;
}

// Waits until the window has painted everything it was asked to, then has the desktop saved.
void Shoot(HWND window, const char* name) {
    DWORD_PTR ignored;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    WaitUntil([&] { return !GetUpdateRect(window, nullptr, FALSE); }, 5000);
    if (!SaveScreenshot(name)) fprintf(stderr, "demo_drive: %s: no screenshot\n", name);
    printf("%s: %s\n", name, ToCp932(WindowText(window)).c_str());
    fflush(stdout);
}

HWND WaitBox(DWORD pid) {
    HWND box = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : TopWindows(pid)) {
                MessageBoxView view;
                if (ReadMessageBox(w, &view)) box = w;
            }
            return box != nullptr;
        },
        kWaitMs);
    return box;
}

// The copy is quick: the updater is held still while its copy window is photographed.
void ForEachThread(DWORD pid, DWORD (*action)(HANDLE)) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 te = {};
    te.dwSize = sizeof te;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te)) {
        if (te.th32OwnerProcessID != pid) continue;
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, te.th32ThreadID);
        if (!thread) continue;
        action(thread);
        CloseHandle(thread);
    }
    CloseHandle(snap);
}
DWORD Suspend(HANDLE thread) { return SuspendThread(thread); }
DWORD Resume(HANDLE thread) { return ResumeThread(thread); }

int BarPos(HWND window, int id) {
    DWORD_PTR pos = 0;
    SendMessageTimeoutW(GetDlgItem(window, id), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &pos);
    return static_cast<int>(pos);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: demo_drive UPDATER.exe\n");
        return 2;
    }
    DriveProcess proc;
    if (!StartProgram(L"\"" + FromCp932(argv[1]) + L"\"", &proc)) {
        fprintf(stderr, "demo_drive: cannot start %s\n", argv[1]);
        return 1;
    }

    HWND menu = WaitTopWindow(proc.pid, L"デモ ゲーム アップデータ", L"#32770", kWaitMs);
    if (!menu) return Fail(&proc, "01-menu: the window did not appear");
    Shoot(menu, "01-menu");
    int update = 0;
    for (const DriveControl& c : ListControls(menu)) {
        if (c.text == L"アップデート") update = c.id;
    }
    if (!update || !PressButton(menu, update)) return Fail(&proc, "01-menu: no Update button");

    HWND question = WaitBox(proc.pid);
    if (!question) return Fail(&proc, "02-question: the window did not appear");
    Shoot(question, "02-question");
    PressButton(question, IDYES);

    // Caught once the overall bar has moved, so that it shows a file on its way.
    HWND copy = WaitTopWindow(proc.pid, L"ファイルのコピー中...", L"#32770", kWaitMs);
    if (copy && WaitUntil([&] { return !IsWindow(copy) || BarPos(copy, 1019) > 0; }, kWaitMs) && IsWindow(copy)) {
        std::wstring title = WindowText(copy);
        ForEachThread(proc.pid, Suspend);
        if (!SaveScreenshot("03-copy")) fprintf(stderr, "demo_drive: 03-copy: no screenshot\n");
        ForEachThread(proc.pid, Resume);
        printf("03-copy: %s\n", ToCp932(title).c_str());
        fflush(stdout);
    } else {
        fprintf(stderr, "demo_drive: 03-copy: the window went by too fast for a screenshot\n");
    }

    HWND done = WaitTopWindow(proc.pid, L"インストール終了", L"#32770", kWaitMs);
    if (!done) return Fail(&proc, "04-done: the window did not appear");
    Shoot(done, "04-done");
    PressButton(done, IDOK);  // as offered: start the game, leave the read-me closed
    DWORD code = 0;
    if (!WaitProgram(&proc, kWaitMs, &code)) return Fail(&proc, "the updater did not end");
    printf("exit code %ld\n", static_cast<long>(code));
    if (code != 0) return 1;

    HWND game = nullptr;
    WaitUntil([&] { return (game = FindWindowW(L"VnDemoGame", nullptr)) != nullptr && IsWindowVisible(game); }, kWaitMs);
    if (!game) {
        fprintf(stderr, "demo_drive: 05-game: the game did not start\n");
        return 1;
    }
    Shoot(game, "05-game");
    bool updated = WindowText(game) == L"デモゲーム 1.1";
    PostMessageW(game, WM_CLOSE, 0, 0);
    if (!updated) fprintf(stderr, "demo_drive: 05-game: not the updated version\n");
    return updated ? 0 : 1;
}

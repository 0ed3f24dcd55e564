// Walks the demo update the way a player would, on a display nobody watches: the menu, Update, Yes to
// the folder, the copy window, the completion dialog with its choices as offered, and the updated game
// coming up. Each window is saved as a screenshot of the whole desktop (SaveScreenshot) before the
// button that leads on is pressed. Usage: demo_drive UPDATER.exe. Prints one line per window; exits 0
// when the updater ended with 0 and the game showed its new version.
// For the guide's pictures (scripts/screenshots) it also meets the boxes a player can meet:
//   demo_drive UPDATER.exe refuse NAME [GAME.exe]  Update, then each box as NAME-1, NAME-2, ...
//                                                  (Yes to the question), with GAME.exe running
//   demo_drive UPDATER.exe second NAME             a second copy's box as NAME
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
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

HWND StartMenu(const char* updater, DriveProcess* proc) {
    if (!StartProgram(L"\"" + FromCp932(updater) + L"\"", proc)) return nullptr;
    return WaitTopWindow(proc->pid, L"デモ ゲーム アップデータ", L"#32770", kWaitMs);
}

bool PressUpdate(HWND menu) {
    int update = 0;
    for (const DriveControl& c : ListControls(menu)) {
        if (c.text == L"アップデート") update = c.id;
    }
    return update && PressButton(menu, update);
}

// Update, then every box until the updater gives up: the refusal and "アップデートを中止しました",
// or the extraction's message when a file of the game is in use. Exits 0 when a box was shot.
int Refuse(const char* updater, const char* name, const char* game) {
    DriveProcess gameProc;
    if (game) {
        StartProgram(L"\"" + FromCp932(game) + L"\"", &gameProc);
        if (!WaitUntil([] { return FindWindowW(L"VnDemoGame", nullptr) != nullptr; }, kWaitMs)) {
            return Fail(&gameProc, "the game did not start");
        }
    }
    DriveProcess proc;
    HWND menu = StartMenu(updater, &proc);
    if (!menu || !PressUpdate(menu)) return Fail(&proc, "no menu");
    // After the first box the next one follows at once, or the menu is back and none comes.
    int shots = 0;
    for (int n = 1; n < 5; ++n) {
        MessageBoxView view;
        HWND box = nullptr;
        WaitUntil(
            [&] {
                for (HWND w : TopWindows(proc.pid)) {
                    if (ReadMessageBox(w, &view)) box = w;
                }
                return box || WaitForSingleObject(proc.process, 0) == WAIT_OBJECT_0;
            },
            n == 1 ? kWaitMs : 10000);
        if (!box) break;
        std::string shot = std::string(name) + "-" + std::to_string(n);
        Shoot(box, shot.c_str());
        ++shots;
        PressButton(box, GetDlgItem(box, IDYES) ? IDYES : IDOK);
        WaitWindowGone(box, kWaitMs);
    }
    EndProgram(&proc);
    if (game) PostMessageW(FindWindowW(L"VnDemoGame", nullptr), WM_CLOSE, 0, 0);
    return shots ? 0 : 1;
}

int Second(const char* updater, const char* name) {
    DriveProcess first, second;
    if (!StartMenu(updater, &first)) return Fail(&first, "no menu");
    StartProgram(L"\"" + FromCp932(updater) + L"\"", &second);
    MessageBoxView view;
    HWND box = WaitMessageBox(second.pid, &view, kWaitMs);
    if (box) {
        Shoot(box, name);
        PressButton(box, IDOK);
    }
    EndProgram(&second);
    EndProgram(&first);
    return box ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[2], "second") == 0) return Second(argv[1], argv[3]);
    if ((argc == 4 || argc == 5) && strcmp(argv[2], "refuse") == 0)
        return Refuse(argv[1], argv[3], argc == 5 ? argv[4] : nullptr);
    if (argc != 2) {
        fprintf(stderr, "usage: demo_drive UPDATER.exe [refuse NAME [GAME.exe] | second NAME]\n");
        return 2;
    }
    DriveProcess proc;
    HWND menu = StartMenu(argv[1], &proc);
    if (!menu) return Fail(&proc, "01-menu: the window did not appear");
    Shoot(menu, "01-menu");
    if (!PressUpdate(menu)) return Fail(&proc, "01-menu: no Update button");

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

// Walks the demo updater the way a player would, on a display nobody watches: waits for each window
// of the road, has a screenshot of the whole desktop taken (SaveScreenshot), and presses the button
// that leads on. Usage: demo_drive UPDATER.exe. Prints one line per window and the exit code.
#include <windows.h>

#include <cstdio>
#include <string>

#include "support/drive_win.h"

namespace {

const DWORD kWaitMs = 60000;

// One window on the road: found by title (null: any) and class, shot, then answered.
struct Step {
    const char* shot;        // screenshot name
    const wchar_t* title;    // window title, or null for any
    const wchar_t* cls;      // window class, or null for any
    int button;              // control ID pressed to go on
};

// The menu, left through its Exit button.
const Step kRoad[] = {
    {"01-menu", L"デモ ゲーム アップデータ", L"#32770", 1000},
};

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
    for (const Step& step : kRoad) {
        HWND window = WaitTopWindow(proc.pid, step.title, step.cls, kWaitMs);
        if (!window) {
            fprintf(stderr, "demo_drive: %s: the window did not appear\n", step.shot);
            EndProgram(&proc);
            return 1;
        }
        // The shot waits until the window has painted everything it was asked to.
        DWORD_PTR ignored;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        WaitUntil([&] { return !GetUpdateRect(window, nullptr, FALSE); }, 5000);
        if (!SaveScreenshot(step.shot)) fprintf(stderr, "demo_drive: %s: no screenshot\n", step.shot);
        printf("%s: %s\n", step.shot, ToCp932(WindowText(window)).c_str());
        fflush(stdout);
        if (!PressButton(window, step.button)) {
            fprintf(stderr, "demo_drive: %s: no button %d\n", step.shot, step.button);
            EndProgram(&proc);
            return 1;
        }
    }
    DWORD code = 0;
    if (!WaitProgram(&proc, kWaitMs, &code)) {
        fprintf(stderr, "demo_drive: the updater did not end\n");
        EndProgram(&proc);
        return 1;
    }
    printf("exit code %ld\n", static_cast<long>(code));
    return code == 0 ? 0 : 1;
}

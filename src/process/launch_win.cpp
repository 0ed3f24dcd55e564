#include "process/launch_win.h"

#include <shellapi.h>

#include "common/str_util.h"
#include "process/msgbox_win.h"

#if !defined(_WIN64)
// The shipped 32-bit program hands the system these records at their documented sizes.
static_assert(sizeof(SHELLEXECUTEINFOA) == 60, "SHELLEXECUTEINFOA layout");
static_assert(sizeof(STARTUPINFOA) == 68, "STARTUPINFOA layout");
#endif

namespace {
bool s_quit;
int s_quitCode;

// Under Wine the new process now and then dies in the loader before any of its code ran, and the
// start fails with ERROR_INTERNAL_ERROR; a second start works. Windows does not fail that way.
const int kStartTries = 3;
}  // namespace

void OpenDocument(const char* path) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    // The shell tells the player about its own failures. It may start the document's program on a
    // thread of its own; the updater ends right after the read-me, which would end that start too.
    info.hwnd = GetMainWindow();
    info.lpVerb = "open";
    info.lpFile = path;
    info.nShow = SW_SHOWNORMAL;
    // Quiet while another try may still work; the last one lets the shell say why it failed.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    for (int tries = 1; tries < kStartTries; ++tries) {
        if (ShellExecuteExA(&info)) return;
        if (GetLastError() != ERROR_INTERNAL_ERROR) break;
    }
    info.fMask = SEE_MASK_NOASYNC;
    ShellExecuteExA(&info);
}

int RunProgram(const char* path, const char* name) {
    // Quoted so that names with spaces work. A name too long for the command line starts nothing
    // rather than a cut-off one.
    char commandLine[kMaxPathBytes];
    if (FormatStr(commandLine, sizeof commandLine, "\"%s\"", name) != 0) return 0;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    BOOL ok = FALSE;
    for (int tries = 0; !ok && tries < kStartTries; ++tries) {
        ok = CreateProcessA(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
        if (!ok && GetLastError() != ERROR_INTERNAL_ERROR) break;
    }
    if (ok) {
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    return ok;
}

void CenterWindow(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    HDC dc = GetDC(window);
    int screenWidth = GetDeviceCaps(dc, HORZRES);
    int screenHeight = GetDeviceCaps(dc, VERTRES);
    ReleaseDC(window, dc);
    // The whole screen, not the work area; C++ division truncates toward zero as wanted.
    SetWindowPos(window, nullptr, (screenWidth - width) / 2, (screenHeight - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

int PumpMessages() {
    // The program's windows are all Unicode windows, so the wide calls pass their messages on
    // without a detour through the system code page.
    if (s_quit) return kRunQuit;
    int count = 0;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            s_quit = true;
            s_quitCode = static_cast<int>(msg.wParam);
            return kRunQuit;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        ++count;
    }
    return count;
}

bool GetQuitCode(int* code) {
    if (s_quit) *code = s_quitCode;
    return s_quit;
}

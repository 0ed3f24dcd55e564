// Extracts the payload appended to this program into the folder named on its command line, the way
// the update command does, with a work folder made at start and removed at the end:
// extract_probe DEST. With VN_PROBE_MEMORY set, it writes its peak working set in bytes to the file
// that variable names (for the benchmark).
// A test that must look at the copy window mid-way names an event pair in VN_PROBE_HOLD: once both
// bars have moved, the probe sets NAME_held and keeps its window alive (pumping messages, no more
// bytes written) until the test sets NAME_release, so nothing depends on how fast the machine is.
// A test that kills the update half-way sets VN_TEST_PAUSE="written:N" or "move:N": the probe stops
// at that step of the staging, after setting the event named by VN_TEST_PAUSE_EVENT, until killed.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "payload/extract_win.h"
#include "payload/staging.h"
#include "process/system_dll_win.h"
#include "process/launch_win.h"
#include "process/workdir_win.h"
#include "resources/resource.h"

namespace {

const DWORD kHoldLimitMs = 120000;  // a test that died must not leave the probe waiting for ever

HANDLE s_held;
HANDLE s_release;
HHOOK s_hook;

int BarPos(HWND dialog, int id) { return static_cast<int>(SendDlgItemMessageW(dialog, id, PBM_GETPOS, 0, 0)); }

void Hold() {
    SetEvent(s_held);
    DWORD start = GetTickCount();
    for (;;) {
        PumpMessages();
        DWORD waited = GetTickCount() - start;
        if (waited >= kHoldLimitMs) break;
        DWORD r = MsgWaitForMultipleObjects(1, &s_release, FALSE, kHoldLimitMs - waited, QS_ALLINPUT);
        if (r != WAIT_OBJECT_0 + 1) break;  // released, or the limit
    }
}

// Runs after each message a window of this thread handled: the first bar move after which both
// bars show progress is the point to hold at.
LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam) {
    const CWPRETSTRUCT* m = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && s_hook && m->message == PBM_SETPOS && GetDlgCtrlID(m->hwnd) == IDC_COPY_TOTAL_BAR) {
        HWND dialog = GetParent(m->hwnd);
        if (BarPos(dialog, IDC_COPY_FILE_BAR) > 0 && BarPos(dialog, IDC_COPY_TOTAL_BAR) > 0) {
            HHOOK hook = s_hook;
            s_hook = nullptr;  // once only; the messages pumped while holding pass straight through
            UnhookWindowsHookEx(hook);
            Hold();
            return 0;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void PrepareHold() {
    wchar_t name[128];
    DWORD n = GetEnvironmentVariableW(L"VN_PROBE_HOLD", name, 128);
    if (n == 0 || n >= 100) return;
    s_held = OpenEventW(EVENT_MODIFY_STATE, FALSE, (std::wstring(name) + L"_held").c_str());
    s_release = OpenEventW(SYNCHRONIZE, FALSE, (std::wstring(name) + L"_release").c_str());
    if (s_held && s_release) s_hook = SetWindowsHookExW(WH_CALLWNDPROCRET, AfterMessage, nullptr, GetCurrentThreadId());
}

char s_pauseStep[16];
unsigned s_pauseAt;
char s_pauseEvent[128];

void PauseAtStep(const char* step, uint32_t n) {
    if (n != s_pauseAt || strcmp(step, s_pauseStep) != 0) return;
    HANDLE reached = OpenEventA(EVENT_MODIFY_STATE, FALSE, s_pauseEvent);
    if (reached) SetEvent(reached);
    Sleep(INFINITE);  // until the test kills the process
}

void SetUpPause() {
    char pause[32];
    DWORD n = GetEnvironmentVariableA("VN_TEST_PAUSE", pause, sizeof pause);
    if (n == 0 || n >= sizeof pause || sscanf(pause, "%15[a-z]:%u", s_pauseStep, &s_pauseAt) != 2) return;
    n = GetEnvironmentVariableA("VN_TEST_PAUSE_EVENT", s_pauseEvent, sizeof s_pauseEvent);
    if (n == 0 || n >= sizeof s_pauseEvent) return;
    SetStageStepHook(PauseAtStep);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    InitCommonControlClasses(ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS);
    PrepareHold();
    SetUpPause();
    CreateWorkFolder();
    int rc = ExtractPayload(commandLine, kExtractAll);
    RemoveWorkFolder();
    if (rc != 0) return -1;
    const char* report = getenv("VN_PROBE_MEMORY");
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (report && GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        FILE* f = fopen(report, "w");
        if (f) {
            fprintf(f, "%lu\n", static_cast<unsigned long>(counters.PeakWorkingSetSize));
            fclose(f);
        }
    }
    return 0;
}

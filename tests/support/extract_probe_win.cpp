// Extracts the payload appended to this program into the folder named on its command line, the way
// the update command does, with a work folder made at start and removed at the end:
// extract_probe DEST. With VN_PROBE_MEMORY set, it writes its peak working set in bytes to the file
// that variable names (for the benchmark).
// A test that stops the copy at a step of the staging sets VN_TEST_PAUSE="block:N", "written:N" or
// "move:N": the copy's worker stops there after setting the event named by VN_TEST_PAUSE_EVENT,
// until killed, or with VN_TEST_RELEASE_EVENT set until that event is set; the copy window's thread
// goes on drawing and answering meanwhile, so nothing depends on how fast the machine is.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "payload/extract_win.h"
#include "payload/staging.h"
#include "process/system_dll_win.h"
#include "process/launch_win.h"
#include "process/workdir_win.h"

namespace {

const DWORD kHoldLimitMs = 120000;  // a test that died must not leave the probe waiting for ever

char s_pauseStep[16];
unsigned s_pauseAt;
char s_pauseEvent[128];
char s_releaseEvent[128];

void PauseAtStep(const char* step, uint32_t n) {
    if (n != s_pauseAt || strcmp(step, s_pauseStep) != 0) return;
    HANDLE reached = OpenEventA(EVENT_MODIFY_STATE, FALSE, s_pauseEvent);
    if (reached) SetEvent(reached);
    HANDLE release = s_releaseEvent[0] ? OpenEventA(SYNCHRONIZE, FALSE, s_releaseEvent) : nullptr;
    if (!release) Sleep(INFINITE);  // until the test kills the process
    WaitForSingleObject(release, kHoldLimitMs);
    CloseHandle(release);
    if (reached) CloseHandle(reached);
}

void SetUpPause() {
    char pause[32];
    DWORD n = GetEnvironmentVariableA("VN_TEST_PAUSE", pause, sizeof pause);
    if (n == 0 || n >= sizeof pause || sscanf(pause, "%15[a-z]:%u", s_pauseStep, &s_pauseAt) != 2) return;
    n = GetEnvironmentVariableA("VN_TEST_PAUSE_EVENT", s_pauseEvent, sizeof s_pauseEvent);
    if (n == 0 || n >= sizeof s_pauseEvent) return;
    n = GetEnvironmentVariableA("VN_TEST_RELEASE_EVENT", s_releaseEvent, sizeof s_releaseEvent);
    if (n >= sizeof s_releaseEvent) s_releaseEvent[0] = '\0';
    SetStageStepHook(PauseAtStep);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    InitCommonControlClasses(ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS);
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

// Extracts the payload appended to this program into the folder named on its command line, the way
// the update command does, with a work folder made at start and removed at the end:
// extract_probe DEST.
// For tests only, VN_TEST_PAUSE="written:N" or "move:N" stops the update at that step of the
// staging, after setting the event named by VN_TEST_PAUSE_EVENT, until the test kills the probe.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "payload/extract_win.h"
#include "payload/staging.h"
#include "process/dll_win.h"
#include "process/workdir_win.h"

static char s_pauseStep[16];
static unsigned s_pauseAt;
static char s_pauseEvent[128];

static void PauseAtStep(const char* step, uint32_t n) {
    if (n != s_pauseAt || strcmp(step, s_pauseStep) != 0) return;
    HANDLE reached = OpenEventA(EVENT_MODIFY_STATE, FALSE, s_pauseEvent);
    if (reached) SetEvent(reached);
    Sleep(INFINITE);  // until the test kills the process
}

static void SetUpPause() {
    char pause[32];
    DWORD n = GetEnvironmentVariableA("VN_TEST_PAUSE", pause, sizeof pause);
    if (n == 0 || n >= sizeof pause || sscanf(pause, "%15[a-z]:%u", s_pauseStep, &s_pauseAt) != 2) return;
    n = GetEnvironmentVariableA("VN_TEST_PAUSE_EVENT", s_pauseEvent, sizeof s_pauseEvent);
    if (n == 0 || n >= sizeof s_pauseEvent) return;
    SetStageStepHook(PauseAtStep);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    InitCommonControlClasses(ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS);
    SetUpPause();
    CreateWorkFolder();
    ExtractPayload(commandLine, kExtractAll);
    RemoveWorkFolder();
    return 0;
}

// Extracts the payload appended to this program into the folder named on its command line, the way
// the update command does: extract_probe DEST. With VN_PROBE_MEMORY set, it writes its peak working
// set in bytes to the file that variable names (for the benchmark).
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>

#include "payload/extract_win.h"
#include "process/dll_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    InitCommonControlClasses(ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS);
    ExtractPayload(commandLine, kExtractAll);
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

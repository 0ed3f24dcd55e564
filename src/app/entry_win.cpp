// The shipped program's entry point, in place of MinGW's start-up code (about 10 KB the player
// downloads). The program needs nothing that code prepares: no argv, no constructors of globals,
// no thread-local data, and the system's C runtime sets itself up when it loads. The program is
// linked with auto-import off, so nothing can come to rely on the start-up code's run-time fixing
// of imported data.
#include <windows.h>

#include <cstdlib>

// MinGW's start-up code supplies atexit; without it the system runtime keeps the list, and its
// exit() runs it and flushes the streams.
extern "C" int __cdecl atexit(void(__cdecl* func)(void)) { return _onexit(reinterpret_cast<_onexit_t>(func)) ? 0 : -1; }

// What follows the program's own name on the command line, as WinMain receives it.
static char* SkipProgramName(char* line) {
    bool quoted = false;
    for (; *line && (quoted || (*line != ' ' && *line != '\t')); ++line) {
        if (*line == '"') quoted = !quoted;
    }
    while (*line == ' ' || *line == '\t') ++line;
    return line;
}

// The system calls this with only 4-byte stack alignment on 32-bit Windows.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
    STARTUPINFOA start;
    GetStartupInfoA(&start);
    int show = (start.dwFlags & STARTF_USESHOWWINDOW) ? start.wShowWindow : SW_SHOWDEFAULT;
    exit(WinMain(GetModuleHandleA(nullptr), nullptr, SkipProgramName(GetCommandLineA()), show));
}

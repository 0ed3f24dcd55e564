// A small program that calls the process services the way the updater does, chosen by its command
// line, so the Wine tests can watch the real windows and exit codes from outside.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/alloc.h"
#include "process/system_dll_win.h"
#include "process/file_open_win.h"
#include "process/launch_win.h"
#include "process/msgbox_win.h"

namespace {

// Started by RunProgram without arguments: announce, then stay until released, so the test can
// see that the starter did not wait.
int RunAsChild() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (n == 0 || n + 16 > MAX_PATH) return 2;
    char started[MAX_PATH], release[MAX_PATH];
    snprintf(started, sizeof started, "%s.started", self);
    snprintf(release, sizeof release, "%s.release", self);
    FILE* f = fopen(started, "wb");
    if (!f) return 3;
    fclose(f);
    for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < 30000; Sleep(20)) {
        if (GetFileAttributesA(release) != INVALID_FILE_ATTRIBUTES) break;
    }
    DeleteFileA(started);
    return 0;
}

// "hex:8341..." gives exact bytes whatever the system code page does to a command line.
const char* DecodeArg(const char* arg, char* buf, size_t bufSize) {
    if (strncmp(arg, "hex:", 4) != 0) return arg;
    size_t n = 0;
    for (const char* p = arg + 4; p[0] && p[1] && n + 1 < bufSize; p += 2) {
        char pair[3] = {p[0], p[1], 0};
        buf[n++] = static_cast<char>(strtoul(pair, nullptr, 16));
    }
    buf[n] = '\0';
    return buf;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    bool restricted = RestrictDllLoading();
    int argc = __argc;
    char** argv = __argv;
    if (argc < 2) return RunAsChild();
    const char* verb = argv[1];
    static char buf[1024];
    const char* arg = DecodeArg(argc > 2 ? argv[2] : "", buf, sizeof buf);

    if (strcmp(verb, "error") == 0) {
        ReportError("%s", arg);
        return 0;
    }
    if (strcmp(verb, "long") == 0) {  // a text longer than the message buffer, made of "ア"
        size_t bytes = strtoul(arg, nullptr, 10);
        char* text = static_cast<char*>(AllocChecked(bytes + 1));
        for (size_t i = 0; i + 1 < bytes; i += 2) memcpy(text + i, "ア", 2);
        if (bytes % 2) text[bytes - 1] = 'x';
        text[bytes] = '\0';
        ReportError("%s", text);
        FreeChecked(text);
        return 0;
    }
    if (strcmp(verb, "open") == 0 || strcmp(verb, "create") == 0) {
        bool create = verb[0] == 'c';
        FILE* f = OpenGuarded(arg, create ? "wb" : "rb");
        if (!f) return -1;  // Cancel
        int c = create ? 0 : fgetc(f);
        fclose(f);
        return 100 + (c < 0 ? 0 : c);
    }
    if (strcmp(verb, "run") == 0) return RunProgram(arg, arg) ? 1 : 0;
    if (strcmp(verb, "alloc") == 0) {
        // More than half the address space: no heap can give it, whatever the machine has free (a
        // quarter of it, 1 GiB, can succeed in a 32-bit process).
        void* p = AllocChecked(static_cast<size_t>(-1) / 2 + 1);
        return p ? 4 : 3;
    }
    if (strcmp(verb, "dll") == 0) {
        bool ok = InitCommonControlClasses(ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS);
        WNDCLASSW wc;
        bool progress = GetClassInfoW(nullptr, L"msctls_progress32", &wc) != FALSE;
        DWORD t = SystemTimeGetTime();
        HMODULE winmm = GetModuleHandleW(L"winmm.dll");
        wchar_t winmmPath[MAX_PATH] = {}, systemDir[MAX_PATH] = {};
        GetModuleFileNameW(winmm, winmmPath, MAX_PATH);
        UINT dirLen = GetSystemDirectoryW(systemDir, MAX_PATH);
        bool fromSystem = dirLen > 0 && _wcsnicmp(winmmPath, systemDir, dirLen) == 0 && winmmPath[dirLen] == L'\\';
        return (ok ? 1 : 0) | (progress ? 2 : 0) | (winmm ? 4 : 0) | (t != 0 ? 8 : 0) | (restricted ? 16 : 0) |
               (fromSystem ? 32 : 0);
    }
    return 90;
}

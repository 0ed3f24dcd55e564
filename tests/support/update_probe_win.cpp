// Calls the installation lookup and the INI/registry transfer the way the update command does,
// chosen by its command line, so the Wine tests can answer its boxes and read back what it wrote.
// Results go to a file named on the command line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/sections_win.h"
#include "config/settings_win.h"
#include "process/msgbox_win.h"
#include "process/ui_text_win.h"
#include "update/install_lookup_win.h"
#include "update/transfer_win.h"

namespace {

// "hex:8341..." gives exact bytes whatever the system code page does to a command line.
void DecodeArg(const char* arg, char* buf, size_t bufSize) {
    if (strncmp(arg, "hex:", 4) != 0) {
        snprintf(buf, bufSize, "%s", arg);
        return;
    }
    size_t n = 0;
    for (const char* p = arg + 4; p[0] && p[1] && n + 1 < bufSize; p += 2) {
        char pair[3] = {p[0], p[1], 0};
        buf[n++] = static_cast<char>(strtoul(pair, nullptr, 16));
    }
    buf[n] = '\0';
}

void WriteHex(FILE* f, const char* text) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) fprintf(f, "%02X", *p);
}

// The menu's window stands in for the main window: boxes are owned by it and take its title.
HWND MakeMainWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VnUpdateProbe";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, L"VnUpdateProbe", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    SetWindowTextCp932(window, UpdaterTitle());
    SetMainWindow(window);
    return window;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 4) return 90;
    const char* verb = __argv[1];
    static char env[1024], arg[1024];
    DecodeArg(__argv[2], env, sizeof env);
    const char* result = __argv[3];
    DecodeArg(__argc > 4 ? __argv[4] : "", arg, sizeof arg);

    if (strcmp(verb, "lookup") == 0) {  // lookup ENV RESULT: rc, the path, whether the folder came back
        if (LoadSettings(env) != 0) return 91;
        HWND main = MakeMainWindow();
        wchar_t before[MAX_PATH], after[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, before);
        char path[260] = "untouched";
        int rc = LocateInstallation(path, sizeof path);
        GetCurrentDirectoryW(MAX_PATH, after);
        DestroyWindow(main);
        FILE* f = fopen(result, "wb");
        if (!f) return 92;
        fprintf(f, "%d\n", rc);
        WriteHex(f, path);
        fprintf(f, "\n%s\n", wcscmp(before, after) == 0 ? "same folder" : "folder changed");
        fclose(f);
        return rc;
    }
    if (strcmp(verb, "transfer") == 0) {  // transfer ENV RESULT INSTALLPATH: both sections, in order
        if (LoadSettings(env) != 0) return 91;
        LoadSections(env);
        TransferIniSection(arg);
        TransferRegSection(arg);
        char root[8];
        FindCdromRoot(root, sizeof root);
        FILE* f = fopen(result, "wb");
        if (!f) return 92;
        fprintf(f, "%s\n", root);
        fclose(f);
        return 0;
    }
    if (strcmp(verb, "read") == 0) {  // read GLOBAL RESULT LOCAL NAME...: rc, text and integer of each
        FILE* f = fopen(result, "wb");
        if (!f) return 92;
        for (int i = 5; i < __argc; ++i) {
            static char name[1024];
            DecodeArg(__argv[i], name, sizeof name);
            char text[600];
            int rc = ReadRegString(env, arg, name, "dflt", text, sizeof text);
            fprintf(f, "%d ", rc);
            WriteHex(f, text);
            fprintf(f, " %d\n", static_cast<int>(ReadRegInt(env, arg, name, -9)));
        }
        fclose(f);
        return 0;
    }
    return 90;
}

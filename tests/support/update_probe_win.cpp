// Calls the lookup's registry reads and the INI/registry transfer the way the update command does,
// chosen by its command line, so the Wine tests can read back what it read and wrote.
// Results go to a file named on the command line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/sections_win.h"
#include "config/settings_win.h"
#include "update/install_lookup.h"
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

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 4) return 90;
    const char* verb = __argv[1];
    static char env[1024], arg[1024];
    DecodeArg(__argv[2], env, sizeof env);
    const char* result = __argv[3];
    DecodeArg(__argc > 4 ? __argv[4] : "", arg, sizeof arg);

    if (strcmp(verb, "transfer") == 0) {  // transfer ENV RESULT INSTALLPATH: both sections, in order
        if (LoadSettings(env) != 0) return 91;
        if (LoadSections(env) != 0) return -1;
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
            int rc = ReadRegString(QueryUserRegValue, env, arg, name, "dflt", text, sizeof text);
            fprintf(f, "%d ", rc);
            WriteHex(f, text);
            fprintf(f, " %d\n", static_cast<int>(ReadRegInt(QueryUserRegValue, env, arg, name, -9)));
        }
        fclose(f);
        return 0;
    }
    return 90;
}

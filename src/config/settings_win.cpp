#include <cstdlib>

#include "config/settings_win.h"
#include "process/file_open_win.h"

int LoadSettings(const char* path) {
    static bool s_releaseArranged;
    if (!s_releaseArranged) {
        atexit(ResetSettings);
        s_releaseArranged = true;
    }
    // Binary: the reader folds CR LF and stops at 0x1A itself, as text mode would.
    FILE* file = OpenGuarded(path, "rb");
    if (!file) return -1;
    EnvReader reader;
    OpenEnvFile(&reader, file);
    int rc = ParseSettings(&reader);
    fclose(file);
    if (rc != 0) exit(-1);  // AllocChecked has shown the memory message
    return 0;
}

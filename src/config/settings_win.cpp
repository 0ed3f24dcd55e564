#include <cstdlib>

#include "config/settings_win.h"
#include "process/file_open_win.h"
#include "process/run_status.h"

int LoadSettings(const char* path) {
    static bool s_releaseArranged;
    if (!s_releaseArranged) {
        atexit(ResetSettings);
        s_releaseArranged = true;
    }
    // Binary: the reader folds CR LF and stops at 0x1A itself, as text mode would.
    FILE* file = OpenGuarded(path, "rb");
    if (!file) return kRunFailed;
    EnvReader reader;
    OpenEnvFile(&reader, file);
    int rc = ParseSettings(&reader);
    fclose(file);
    return rc == 0 ? 0 : kRunFailed;  // AllocChecked has shown the memory message
}

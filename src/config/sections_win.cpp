#include <cstdlib>

#include "config/sections_win.h"
#include "process/msgbox_win.h"
#include "process/workdir_win.h"

void LoadSections(const char* path) {
    static bool s_releaseArranged;
    if (!s_releaseArranged) {
        atexit(ResetSections);
        s_releaseArranged = true;
    }
    int status = kSectionsCannotOpen;
    int section = -1;
    // No retry loop here, unlike the settings; binary for the same reason as there.
    FILE* file = fopen(path, "rb");
    if (file) {
        EnvReader reader;
        OpenEnvFile(&reader, file);
        status = ParseSections(&reader, &section);
        fclose(file);
    }
    if (status == kSectionsOk) return;
    if (status != kSectionsNoMemory) {  // AllocChecked has shown its own message
        char message[1024];
        FormatSectionsFailure(status, path, section, message, sizeof message);
        ReportRetryable("%s", message);
    }
    RemoveWorkFolder();
    exit(-1);  // after Retry too: the file does not change
}

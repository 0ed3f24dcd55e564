#include <cstdlib>

#include "config/sections_win.h"
#include "process/msgbox_win.h"
#include "process/run_status.h"

int LoadSections(const char* path) {
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
    if (status == kSectionsOk) return 0;
    if (status != kSectionsNoMemory) {  // AllocChecked has shown its own message
        char message[kMessageBytes];
        FormatSectionsFailure(status, path, section, message, sizeof message);
        ReportRetryable("%s", message);
    }
    return kRunFailed;
}

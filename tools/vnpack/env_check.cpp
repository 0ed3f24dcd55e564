#include "vnpack/env_check.h"

#include <cstring>

#include "common/str_util.h"
#include "config/sections.h"
#include "vnpack/cp932_text.h"

int CheckEnvForUpdater(const unsigned char* data, size_t size, char* reason, size_t reasonSize) {
    EnvReader reader;
    OpenEnvBytes(&reader, data, size);
    int open = -1;
    if (reasonSize > 0) reason[0] = '\0';
    if (CheckSections(&reader, &open) == kSectionsOk) return 0;
    char message[1024];
    char utf8[1024];
    FormatSectionsFailure(kSectionsOpen, "install.env", open, message, sizeof message);
    Cp932ToUtf8(message, strlen(message), utf8, sizeof utf8, kEscapeInvalid);
    FormatStr(reason, reasonSize, "section [%s] is never closed: the updater would stop at start with \"%s\"",
              SectionName(open), utf8);
    return -1;
}

// Reads arbitrary bytes as the section reader does and checks what the lists may hold.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "config/sections.h"

static int s_kept;

static void CountKept(void*, const EnvEvent* e) {
    if (e->line < 1) abort();
    if (e->kind == kSectionLineKept) ++s_kept;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetSections();
    EnvReader reader;
    OpenEnvBytes(&reader, data, size);
    int open = 99;
    int status = ParseSections(&reader, &open);
    if (status != kSectionsOk && status != kSectionsOpen) abort();
    if ((status == kSectionsOpen) != (open >= 0 && open < kSectionCount)) abort();
    for (int i = 0; i < kSectionCount; ++i) {
        for (const SectionLine* line = GetSectionList(i); line; line = line->next) {
            size_t len = strlen(line->text);
            if (len == 0 || len > kEnvLineBytes - 1) abort();
            if (static_cast<unsigned char>(line->text[len - 1]) <= 0x20) abort();
            int section;
            if (ClassifySectionLine(line->text, &section) != kSectionLineRaw) abort();
        }
    }
    // A watcher changes nothing and hears of every stored line (and of those a repeated header dropped).
    int lines = 0;
    for (int i = 0; i < kSectionCount; ++i) {
        for (const SectionLine* line = GetSectionList(i); line; line = line->next) ++lines;
    }
    ResetSections();
    s_kept = 0;
    EnvObserver watch = {CountKept, nullptr};
    OpenEnvBytes(&reader, data, size);
    WatchEnvReader(&reader, &watch);
    int watchedOpen = 99;
    if (ParseSections(&reader, &watchedOpen) != status || watchedOpen != open || s_kept < lines) abort();
    OpenEnvBytes(&reader, data, size);
    int checkOpen = 99;
    if (CheckSections(&reader, &checkOpen) != status || checkOpen != open) abort();
    ResetSections();
    return 0;
}

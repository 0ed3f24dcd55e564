// Loads arbitrary bytes as the key/value reader does and checks what the table may hold.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/sjis.h"
#include "config/settings.h"

static int s_told;

static void CountStored(void*, const EnvEvent* e) {
    if (e->line < 1) abort();
    if (e->kind == kSettingStored) ++s_told;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetSettings();
    EnvReader reader;
    OpenEnvBytes(&reader, data, size);
    if (ParseSettings(&reader) != 0) abort();
    int count = 0;
    for (const SettingEntry* e = FirstSetting(); e; e = e->next) {
        ++count;
        size_t keyLen = strlen(e->key);
        size_t valueLen = strlen(e->value);
        if (keyLen == 0 || valueLen == 0 || keyLen + valueLen > 510) abort();
        if (e->key[0] == '/' || memcmp(e->key, "[EOF]", keyLen < 5 ? keyLen + 1 : 5) == 0) abort();
        for (size_t i = 0; i < keyLen; ++i) {
            if (static_cast<unsigned char>(e->key[i]) <= 0x20) abort();
        }
        for (size_t i = 0; i < valueLen; ++i) {
            if (static_cast<unsigned char>(e->value[i]) < 0x20) abort();
        }
        if (SjisFindChar(e->value, '|')) abort();
        const SettingEntry* found = FindSetting(e->key);
        if (!found || strcmp(found->key, e->key) != 0) abort();
        char buf[kSettingBytes];
        GetSetting(e->key, buf, sizeof buf, "-");
        if (strlen(buf) >= sizeof buf || strncmp(buf, found->value, strlen(buf)) != 0) abort();
        (void)GetSettingInt(e->key, 0);
    }
    if (count > kMaxSettingLines) abort();
    // A watcher changes nothing and hears of every entry once.
    ResetSettings();
    s_told = 0;
    EnvObserver watch = {CountStored, nullptr};
    OpenEnvBytes(&reader, data, size);
    WatchEnvReader(&reader, &watch);
    if (ParseSettings(&reader) != 0) abort();
    int again = 0;
    for (const SettingEntry* e = FirstSetting(); e; e = e->next) ++again;
    if (again != count || s_told != count) abort();
    (void)GetChkRegVer();
    (void)GetRegGlobal();
    ResetSettings();
    return 0;
}

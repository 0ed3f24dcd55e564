#include "config/settings.h"

#include <cstring>

#include "common/alloc.h"
#include "common/sjis.h"
#include "common/str_util.h"

// Each entry is one block: the record, then its key and value, each terminated.
static SettingEntry* s_first;

static char s_regGlobal[kSettingBytes];
static char s_regLocal[kSettingBytes];
static char s_iniFile[kSettingBytes];
static char s_iniSection[kSettingBytes];
static char s_titleBar[kSettingBytes];
static char s_instTo[kSettingBytes];
static char s_instFol[kSettingBytes];
static char s_exeName[kSettingBytes];
static char s_keyFile[kSettingBytes];
static char s_chkReg[kSettingBytes];
static int32_t s_chkRegVer = -1;  // -1: not read yet
static char s_updaterTitle[kUpdaterTitleBytes];

static bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

int SplitSettingLine(char* line, const char** key, const char** value) {
    if (memcmp(line, "[EOF]", 5) == 0) return kSettingEnd;
    if (line[0] == '/') return kSettingComment;
    bool indented = IsBlank(line[0]);
    for (size_t i = 0; i < kEnvLineBytes; ++i) {
        if (IsBlank(line[i])) line[i] = '\0';
    }
    // The piece is at most 511 bytes, so the last byte is always zero and ends every word.
    if (indented) {
        size_t first = 0;
        while (first < kEnvLineBytes - 1 && line[first] == '\0') ++first;
        *key = line + first;
        return kSettingIndented;
    }
    *key = line;
    size_t keyLen = strlen(line);
    for (size_t i = keyLen + 1; i < kEnvLineBytes; ++i) {
        if (line[i] == '\0') continue;
        if (i > keyLen + 99) return kSettingFarValue;
        *value = line + i;
        return kSettingEntry;
    }
    return kSettingNoValue;
}

static void TellSetting(EnvReader* reader, int kind, int how, const char* key, const char* value) {
    EnvEvent e = {};
    e.kind = kind;
    e.how = how;
    e.key = key;
    e.value = value;
    TellEnvObserver(reader, &e);
}

static int AddSetting(EnvReader* reader, const char* key, const char* value) {
    size_t keyLen = strlen(key);
    size_t valueLen = strlen(value);
    SettingEntry* e = static_cast<SettingEntry*>(AllocChecked(sizeof(SettingEntry) + keyLen + valueLen + 2));
    if (!e) return -1;
    char* keyCopy = reinterpret_cast<char*>(e + 1);
    char* valueCopy = keyCopy + keyLen + 1;
    memcpy(keyCopy, key, keyLen + 1);
    memcpy(valueCopy, value, valueLen + 1);
    // Walk by characters: the 0x7C second byte of a character such as ポ is not a bar.
    SjisReplaceChar(valueCopy, '|', ' ');
    e->key = keyCopy;
    e->value = valueCopy;
    e->next = s_first;
    s_first = e;
    TellSetting(reader, kSettingStored, kSettingEntry, keyCopy, valueCopy);
    return 0;
}

int ParseSettings(EnvReader* reader) {
    char line[kEnvLineBytes];
    bool ended = false;  // past "[EOF]" or the limit: only a watcher reads on, storing nothing
    for (int i = 0;; i += ended ? 0 : 1) {
        bool pastLimit = !ended && i == kMaxSettingLines;
        if (pastLimit && !reader->observer) return 0;
        memset(line, 0, sizeof line);
        if (ReadEnvLine(reader, line) == 0) return 0;
        if (pastLimit) {
            TellSetting(reader, kSettingsEnded, kSettingsEndLimit, nullptr, nullptr);
            ended = true;
        }
        const char* key = nullptr;
        const char* value = nullptr;
        int kind = SplitSettingLine(line, &key, &value);
        if (ended) {
            TellSetting(reader, kSettingUnread, kind, key, value);
        } else if (kind == kSettingEnd) {
            TellSetting(reader, kSettingsEnded, kSettingsEndMarker, nullptr, nullptr);
            if (!reader->observer) return 0;
            ended = true;
        } else if (kind == kSettingEntry) {
            if (AddSetting(reader, key, value) != 0) return -1;
        } else {
            TellSetting(reader, kSettingSkipped, kind, key, nullptr);
        }
    }
}

void ResetSettings() {
    while (s_first) {
        SettingEntry* next = const_cast<SettingEntry*>(s_first->next);
        FreeChecked(s_first);
        s_first = next;
    }
    s_regGlobal[0] = s_regLocal[0] = s_iniFile[0] = s_iniSection[0] = '\0';
    s_chkRegVer = -1;
}

const SettingEntry* FirstSetting() { return s_first; }

const SettingEntry* FindSetting(const char* key) {
    for (const SettingEntry* e = FirstSetting(); e; e = e->next) {
        if (strcmp(e->key, key) == 0) return e;
    }
    return nullptr;
}

char* GetSetting(const char* key, char* buf, size_t size, const char* dflt) {
    const SettingEntry* e = FindSetting(key);
    const char* src = e ? e->value : dflt;
    size_t len = 0;
    while (len < size - 1 && src[len] != '\0') ++len;
    memcpy(buf, src, len);
    memset(buf + len, 0, size - len);
    return buf;
}

// Two's complement without relying on the conversion of out-of-range values.
static int32_t ToInt32(uint32_t v) {
    if (v <= 0x7FFFFFFFu) return static_cast<int32_t>(v);
    return static_cast<int32_t>(v - 0x80000000u) - 0x7FFFFFFF - 1;
}

int32_t ParseSettingInt(const char* value, bool* plain) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(value);
    while (*p != '\0' && *p <= 0x20) ++p;  // a "|" at the front became a space
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    const unsigned char* digits = p;
    uint32_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) v = v * 10u + static_cast<uint32_t>(*p - '0');
    *plain = p != digits && *p == '\0' && p - digits <= 9;
    return ToInt32(negative ? 0u - v : v);
}

int32_t GetSettingInt(const char* key, int32_t dflt) {
    const SettingEntry* e = FindSetting(key);
    bool plain;
    return e ? ParseSettingInt(e->value, &plain) : dflt;
}

static const char* GetCached(const char* key, char* buf) {
    if (buf[0] == '\0') GetSetting(key, buf, kSettingBytes, "-");
    return buf;
}

static const char* GetOptional(const char* key, char* buf) {
    GetSetting(key, buf, kSettingBytes, "");
    return buf[0] ? buf : nullptr;
}

const char* GetRegGlobal() { return GetCached(kRegGlobalKey, s_regGlobal); }
const char* GetRegLocal() { return GetCached(kRegLocalKey, s_regLocal); }
const char* GetIniFile() { return GetCached(kIniFileKey, s_iniFile); }
const char* GetIniSection() { return GetCached(kIniSectionKey, s_iniSection); }

const char* GetTitleBar() {
    return GetSetting(kTitleBarKey, s_titleBar, sizeof s_titleBar, "ＱＵＯＬＩＭ アプリケーション");
}
const char* GetInstTo() { return GetSetting(kInstToKey, s_instTo, sizeof s_instTo, "QUOLIM_APP"); }
const char* GetExeName() { return GetSetting(kExeNameKey, s_exeName, sizeof s_exeName, "quolim.exe"); }

const char* GetInstFol() { return GetOptional(kInstFolKey, s_instFol); }
const char* GetKeyFile() { return GetOptional(kKeyFileKey, s_keyFile); }
const char* GetChkReg() { return GetOptional(kChkRegKey, s_chkReg); }

int32_t GetChkRegVer() {
    if (s_chkRegVer == -1) s_chkRegVer = GetSettingInt(kChkRegVerKey, 0);
    return s_chkRegVer;
}

const char* UpdaterTitle() {
    // 127 bytes of title and 13 of suffix always fit.
    FormatStr(s_updaterTitle, sizeof s_updaterTitle, "%s アップデータ", GetTitleBar());
    return s_updaterTitle;
}

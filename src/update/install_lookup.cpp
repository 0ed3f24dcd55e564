#include "update/install_lookup.h"

#include <climits>

#include "common/str_util.h"
#include "config/settings.h"

int FormatRegKeyPath(const char* global, const char* local, char* buf, size_t bufSize) {
    return FormatStr(buf, bufSize, "Software\\%s\\%s", global, local);
}

int ReadRegString(RegQueryFn query, const char* global, const char* local, const char* valueName, const char* dflt,
                  char* out, size_t outSize) {
    CopyStr(out, outSize, dflt);
    char keyPath[kRegKeyPathBytes];
    if (FormatRegKeyPath(global, local, keyPath, sizeof keyPath) != 0) return -1;
    char data[kRegValueBytes];
    uint32_t type = 0;
    uint32_t dataLen = sizeof data;
    if (query(keyPath, valueName, &type, data, &dataLen) != 0 || type != kRegTypeSz) return -1;
    // A REG_SZ need not be terminated in the registry: read no further than the data.
    size_t len = 0;
    while (len < dataLen && len < sizeof data && data[len] != '\0') ++len;
    CopyBytes(out, outSize, data, len);
    return 0;
}

int32_t ParseRegInt(const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    // A version far beyond 32 bits stays far: wrapping could turn it into a small or negative one.
    int64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (v <= static_cast<int64_t>(INT32_MAX) + 1) v = v * 10 + (*p - '0');
    }
    if (negative) v = -v;
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

int32_t ReadRegInt(RegQueryFn query, const char* global, const char* local, const char* valueName, int32_t dflt) {
    char text[kRegValueBytes];
    char dfltText[kRegValueBytes];
    FormatStr(dfltText, sizeof dfltText, "%d", static_cast<int>(dflt));
    ReadRegString(query, global, local, valueName, dfltText, text, sizeof text);
    return ParseRegInt(text);
}

int FindInstallation(const LookupSource* source, char* path, size_t pathSize) {
    const char* global = GetRegGlobal();
    const char* local = GetRegLocal();
    if (ReadRegInt(source->queryValue, global, local, "IsInst", 0) == 0) return kLookupNotInstalled;
    char found[kMaxPathBytes];
    ReadRegString(source->queryValue, global, local, "InstTo", "", found, sizeof found);
    if (found[0] == '\0') return kLookupNoFolder;
    if (const char* keyFile = GetKeyFile()) {
        char keyPath[2 * kMaxPathBytes];
        if (FormatStr(keyPath, sizeof keyPath, "%s\\%s", found, keyFile) != 0) return kLookupNoFolder;
        if (!source->fileExists(keyPath)) return kLookupNoFolder;
    }
    if (const char* versionName = GetChkReg()) {
        if (ReadRegInt(source->queryValue, global, local, versionName, 0) < GetChkRegVer()) return kLookupOldVersion;
    }
    CopyStr(path, pathSize, found);
    return kLookupFound;
}

const char* LookupMessage(int status) {
    switch (status) {
    case kLookupNotInstalled: return "本体がインストールされていません";
    case kLookupNoFolder: return "インストール先が特定できませんでした";
    case kLookupOldVersion: return "アップデート元のバージョンが不適合です";
    default: return "";
    }
}

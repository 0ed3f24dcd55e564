#include "update/install_lookup_win.h"

#include <windows.h>

#include <cstring>

#include "common/str_util.h"
#include "process/file_open_win.h"
#include "process/msgbox_win.h"
#include "update/install_lookup.h"

int QueryUserRegValue(const char* keyPath, const char* valueName, uint32_t* type, char* data, uint32_t* dataLen) {
    HKEY key;
    // Full access although only reading: a key the game's installer locked down reads as missing.
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return -1;
    DWORD valueType = 0;
    DWORD len = *dataLen;
    LONG rc = RegQueryValueExA(key, valueName, nullptr, &valueType, reinterpret_cast<BYTE*>(data), &len);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return -1;
    *type = valueType;
    *dataLen = len;
    return 0;
}

int LocateInstallation(char* path, size_t pathSize) {
    // Wide, so a folder whose name the ANSI code page cannot spell still comes back exactly.
    wchar_t saved[520];
    DWORD savedLen = GetCurrentDirectoryW(sizeof saved / sizeof saved[0], saved);
    bool restore = savedLen > 0 && savedLen < sizeof saved / sizeof saved[0];
    const LookupSource source = {QueryUserRegValue, FileExists};
    char found[kMaxPathBytes];
    int status = FindInstallation(&source, found, sizeof found);
    if (status != kLookupFound) ReportError("%s", LookupMessage(status));
    if (restore) SetCurrentDirectoryW(saved);
    if (status != kLookupFound) return -1;
    if (strlen(found) >= pathSize) return -1;
    if (!AskYesNo("[%s]をアップデートします", found)) return -1;
    CopyStr(path, pathSize, found);
    return 0;
}

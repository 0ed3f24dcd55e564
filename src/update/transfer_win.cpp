#include "update/transfer_win.h"

#include <windows.h>

#include <cstring>

#include "config/sections.h"
#include "config/settings.h"
#include "update/install_lookup.h"
#include "update/transfer.h"

static bool IsCdromDrive(const char* root) { return GetDriveTypeA(root) == DRIVE_CDROM; }

void FindCdromRoot(char* root, size_t rootSize) { FindCdromRoot(IsCdromDrive, root, rootSize); }

int WriteRegString(const char* global, const char* local, const char* valueName, const char* text) {
    char keyPath[kRegKeyPathBytes];
    if (FormatRegKeyPath(global, local, keyPath, sizeof keyPath) != 0) return -1;
    static char s_noClass[] = "";
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, s_noClass, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return -1;
    }
    LONG rc =
        RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? 0 : -1;
}

void TransferIniSection(const char* installPath) {
    const PlaceholderValues values = {installPath, FindCdromRoot};
    char key[kTransferTextBytes];
    char value[kTransferTextBytes];
    for (const SectionLine* line = IniList(); line; line = line->next) {
        if (SplitIniLine(line->text, &values, key, sizeof key, value, sizeof value) != kLineWritten) continue;
        // Always a text, never null: an empty value writes an empty entry rather than deleting it.
        WritePrivateProfileStringA(GetIniSection(), key, value, GetIniFile());
    }
}

void TransferRegSection(const char* installPath) {
    if (IsSettingOff(GetRegGlobal())) return;
    const PlaceholderValues values = {installPath, FindCdromRoot};
    char name[kTransferTextBytes];
    char value[kTransferTextBytes];
    for (const SectionLine* line = RegList(); line; line = line->next) {
        if (SplitRegLine(line->text, &values, name, sizeof name, value, sizeof value) != kLineWritten) continue;
        WriteRegString(GetRegGlobal(), GetRegLocal(), name, value);
    }
}

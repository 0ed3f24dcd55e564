#pragma once
// Writes the [ini] and [reg] lines of install.env into the game's INI file and registry key.
#include <cstddef>

// Each [ini] line that splits becomes an entry of INI_FILE, section INI_SECTION (a name without a
// folder lands in the Windows folder). Failed writes are not reported.
void TransferIniSection(const char* installPath);

// Each [reg] line that splits becomes a REG_SZ value of the key
// HKEY_CURRENT_USER\Software\REG_GLOBAL\REG_LOCAL, created when missing. Nothing is written when REG_GLOBAL begins with "-".
void TransferRegSection(const char* installPath);

// Stores text as the REG_SZ value valueName ("" for the key's default value) of
// HKEY_CURRENT_USER\Software\global\local, creating the key. Returns 0, or -1 when it failed.
int WriteRegString(const char* global, const char* local, const char* valueName, const char* text);

// The root of the first CD-ROM drive, such as "Q:\", or "E:\" when there is none.
void FindCdromRoot(char* root, size_t rootSize);

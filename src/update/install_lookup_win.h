#pragma once
// The installation lookup on the real registry, file system and message boxes.
#include <cstddef>
#include <cstdint>

// The lookup's RegQueryFn on HKEY_CURRENT_USER (see install_lookup.h), opened with full access.
int QueryUserRegValue(const char* keyPath, const char* valueName, uint32_t* type, char* data, uint32_t* dataLen);

// Finds the installed game, shows the one message of a failed check, and asks whether its folder is
// to be updated. Returns 0 after Yes with the folder in path (260 bytes), else -1 with path untouched.
// The current folder is as it was on every way out.
int LocateInstallation(char* path, size_t pathSize);

#pragma once
// The installation lookup on the real registry, file system and message boxes.
#include <cstddef>
#include <cstdint>

// Reads a REG_SZ value of HKEY_CURRENT_USER\Software\global\local (see install_lookup.h).
int ReadRegString(const char* global, const char* local, const char* valueName, const char* dflt, char* out, size_t outSize);
int32_t ReadRegInt(const char* global, const char* local, const char* valueName, int32_t dflt);

// Finds the installed game, shows the one message of a failed check, and asks whether its folder is
// to be updated. Returns 0 after Yes with the folder in path (260 bytes), else -1 with path untouched.
// The current folder is as it was on every way out.
int LocateInstallation(char* path, size_t pathSize);

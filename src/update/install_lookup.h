#pragma once
// Finding the installed game: the values its installer left under the key
// HKEY_CURRENT_USER\Software\<REG_GLOBAL>\<REG_LOCAL>, and the checks an update must pass before anything is written. The
// decisions live here; the registry and file system come in through LookupSource, so the program
// passes the real ones and tests pass fakes.
#include <cstddef>

#include "common/str_util.h"
#include <cstdint>

constexpr size_t kRegKeyPathBytes = 512;
constexpr size_t kRegValueBytes = 512;  // one query reads at most this much

// Registry value types the lookup tells apart (the Win32 numbers).
constexpr uint32_t kRegTypeSz = 1;
constexpr uint32_t kRegTypeExpandSz = 2;
constexpr uint32_t kRegTypeDword = 4;

// One query of valueName under HKEY_CURRENT_USER\keyPath, the key opened with full access, into data
// (*dataLen bytes on entry). Returns 0 with *type and *dataLen set, or -1 when the key did not open or
// the query failed (a value larger than the buffer fails).
typedef int (*RegQueryFn)(const char* keyPath, const char* valueName, uint32_t* type, char* data, uint32_t* dataLen);
typedef bool (*FileExistsFn)(const char* path);

struct LookupSource {
    RegQueryFn queryValue;
    FileExistsFn fileExists;
};

enum LookupStatus {
    kLookupFound = 0,
    kLookupNotInstalled,  // "IsInst" missing or 0
    kLookupNoFolder,      // "InstTo" missing or empty, or KEYFILE not in the folder
    kLookupOldVersion,    // the CHKREG value below CHKREGVER
};

// "Software\global\local" into buf. Returns 0, or -1 when it did not fit.
int FormatRegKeyPath(const char* global, const char* local, char* buf, size_t bufSize);

// Reads a REG_SZ value of the key global\local into out; anything else (no key, no value, another
// type, more than 512 bytes) leaves dflt there. Both are cut at outSize - 1 bytes. Returns 0 when
// the text came from the registry, -1 otherwise.
int ReadRegString(RegQueryFn query, const char* global, const char* local, const char* valueName, const char* dflt,
                  char* out, size_t outSize);

// A REG_SZ value as a decimal integer, or dflt when it cannot be read.
int32_t ReadRegInt(RegQueryFn query, const char* global, const char* local, const char* valueName, int32_t dflt);

// The decimal conversion of the stored numbers: leading white space, an optional sign, digits up to
// the first other character; 0 without digits. Values beyond 32 bits stop at INT32_MIN/INT32_MAX.
int32_t ParseRegInt(const char* text);

// Runs the checks in their order (installed, folder known and genuine, version high enough) with the
// settings as they are now, stopping at the first that fails. On kLookupFound, path holds "InstTo"
// (cut at pathSize - 1 bytes); otherwise path is left as it was.
int FindInstallation(const LookupSource* source, char* path, size_t pathSize);

// The message the program shows for a failed status.
const char* LookupMessage(int status);

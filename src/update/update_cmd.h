#pragma once
// The paths the end of an update starts: the game and its read-me, found in the install folder.
#include <cstddef>

// Joins installPath and a name from install.env ("%s\%s"); a name that is already absolute (a drive
// or a leading separator) is kept as it is. Returns 0, or -1 when the result does not fit.
int FormatInstalledPath(const char* installPath, const char* name, char* out, size_t outSize);

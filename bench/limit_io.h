#pragma once
// The few file-system calls of the extraction limit, one file per platform.
#include <cstddef>
#include <cstdint>

// Opens the output of record `name` (CP932, backslashes) below dest, creating or emptying it.
// Returns a handle, or null.
void* CreateLimitFile(const char* dest, const char* name);
// Writes n bytes; 0 or -1.
int WriteLimitFile(void* file, const void* bytes, size_t n);
// Gives the file its FILETIME as last-write time and closes it; 0 or -1.
int CloseLimitFile(void* file, uint64_t fileTime);
// Creates the folder of a directory record; an existing one is fine.
void CreateLimitDir(const char* dest, const char* name);

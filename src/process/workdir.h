#pragma once
// Path rules of the work folder, kept apart from the file system so they can be tested natively.
#include <cstddef>
#include <cstdint>

#include "common/str_util.h"

// Appends a backslash unless the path already ends in a real one. Only the one byte before a final
// 0x5C is looked at: when it is a CP932 lead byte, that 0x5C is a second byte and a backslash is
// still appended. Returns path, or null when there was no room (path unchanged).
char* EnsureTrailingBackslash(char* path, size_t pathSize);

// "TempGPInstallFolder_%09d" of the tick count read as a signed 32-bit number.
// Returns 0, or -1 when it did not fit.
int FormatWorkFolderName(uint32_t ticks, char* out, size_t outSize);

// What one attempt to create a folder found.
enum FolderCreation { kFolderMade = 0, kFolderTaken = 1, kFolderFailed = -1 };
// Creates the folder at path (CP932) in one step, so two programs can never both make it.
typedef int (*CreateFolderFn)(void* ctx, const char* path);

const int kWorkFolderNames = 100;

// Creates the work folder below tempDir (ending in a backslash), named after ticks. Another copy of
// the program started in the same millisecond holds that name, so the next tick values are tried,
// kWorkFolderNames names in all. Returns 0 with the folder's path in out, or -1 (out empty) when
// every name was taken, a creation failed otherwise or the path did not fit.
int CreateWorkFolderNamed(const char* tempDir, uint32_t ticks, CreateFolderFn create, void* ctx, char* out, size_t outSize);

// Joins the drive and folder part of a search pattern with a found entry's name, as a search
// delivers it ("C:\dir\*.txt" + "a.txt" -> "C:\dir\a.txt"). Returns 0, or -1 when a part is over
// 255 bytes or the result does not fit.
int JoinMatchPath(const char* pattern, const char* entryName, char* out, size_t outSize);

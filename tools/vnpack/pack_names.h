#pragma once
// Host-side conversions for the payload verbs: names between the terminal's UTF-8 and the payload's
// CP932 (the table Windows uses for code page 932), and times between POSIX and FILETIME.
#include <cstddef>
#include <cstdint>
#include <ctime>

// Converts a NUL-terminated name. Returns 0, or -1 when a character has no mapping or dst is too small.
int ConvertUtf8ToCp932(const char* utf8, char* dst, size_t dstSize);
int ConvertCp932ToUtf8(const char* cp932, char* dst, size_t dstSize);

// A CP932 name for the terminal: UTF-8, or with undecodable bytes shown as \xNN. Always terminated.
void FormatShownName(const char* cp932, char* dst, size_t dstSize);

uint64_t GetFileTimeFromUnix(int64_t seconds, long nanoseconds);
struct timespec GetUnixFromFileTime(uint64_t fileTime);

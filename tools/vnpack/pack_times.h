#pragma once
// Host-side times for the payload verbs: between POSIX and FILETIME.
#include <cstdint>
#include <ctime>

uint64_t GetFileTimeFromUnix(int64_t seconds, long nanoseconds);
struct timespec GetUnixFromFileTime(uint64_t fileTime);

#include "vnpack/pack_times.h"

// FILETIME counts 100 ns from 1601-01-01; POSIX seconds from 1970-01-01.
static const int64_t kEpochDelta = 11644473600ll;
static const int64_t kTicksPerSecond = 10000000ll;

uint64_t GetFileTimeFromUnix(int64_t seconds, long nanoseconds) {
    if (seconds < -kEpochDelta) return 0;
    return static_cast<uint64_t>(seconds + kEpochDelta) * kTicksPerSecond + static_cast<uint64_t>(nanoseconds / 100);
}

struct timespec GetUnixFromFileTime(uint64_t fileTime) {
    struct timespec ts;
    ts.tv_sec = static_cast<time_t>(static_cast<int64_t>(fileTime / kTicksPerSecond) - kEpochDelta);
    ts.tv_nsec = static_cast<long>(fileTime % kTicksPerSecond) * 100;
    return ts;
}

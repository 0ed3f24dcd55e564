#include "vnpack/pack_names.h"

#include <iconv.h>

#include <cstring>

#include "vnpack/cp932_text.h"

static int Convert(const char* from, const char* to, const char* src, char* dst, size_t dstSize) {
    if (dstSize == 0) return -1;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return -1;
    char* in = const_cast<char*>(src);
    size_t inLeft = strlen(src);
    char* out = dst;
    size_t outLeft = dstSize - 1;
    size_t n = iconv(cd, &in, &inLeft, &out, &outLeft);
    if (n != static_cast<size_t>(-1)) n = iconv(cd, nullptr, nullptr, &out, &outLeft);
    iconv_close(cd);
    *out = '\0';
    return n == static_cast<size_t>(-1) || inLeft != 0 ? -1 : 0;
}

int ConvertUtf8ToCp932(const char* utf8, char* dst, size_t dstSize) {
    return Convert("UTF-8", "CP932", utf8, dst, dstSize);
}

int ConvertCp932ToUtf8(const char* cp932, char* dst, size_t dstSize) {
    return Convert("CP932", "UTF-8", cp932, dst, dstSize);
}

void FormatShownName(const char* cp932, char* dst, size_t dstSize) {
    Cp932ToUtf8(cp932, strlen(cp932), dst, dstSize, kEscapeInvalid);
}

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

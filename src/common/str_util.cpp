#include "common/str_util.h"

#include <cstdio>
#include <cstring>

int CopyBytes(char* dst, size_t dstSize, const char* src, size_t srcLen) {
    if (dstSize == 0) return -1;
    size_t n = srcLen < dstSize - 1 ? srcLen : dstSize - 1;
    memcpy(dst, src, n);
    dst[n] = '\0';
    return n == srcLen ? 0 : -1;
}

int CopyStr(char* dst, size_t dstSize, const char* src) {
    if (dstSize == 0) return -1;
    // Never read further than could be copied plus one byte to tell whether it was cut.
    const void* end = memchr(src, '\0', dstSize);
    size_t len = end ? static_cast<size_t>(static_cast<const char*>(end) - src) : dstSize;
    return CopyBytes(dst, dstSize, src, len);
}

int AppendStr(char* dst, size_t dstSize, const char* src) {
    if (dstSize == 0) return -1;
    const void* end = memchr(dst, '\0', dstSize);
    if (!end) {  // not terminated: terminate what is there and report the overflow
        dst[dstSize - 1] = '\0';
        return -1;
    }
    size_t used = static_cast<size_t>(static_cast<const char*>(end) - dst);
    return CopyStr(dst + used, dstSize - used, src);
}

int FormatStrV(char* dst, size_t dstSize, const char* fmt, va_list args) {
    if (dstSize == 0) return -1;
    dst[0] = '\0';  // a runtime that fails before writing leaves an empty text
    int n = vsnprintf(dst, dstSize, fmt, args);
    dst[dstSize - 1] = '\0';  // some C runtimes leave a cut result unterminated
    // The Windows runtime reports a cut as -1 instead of the full length; dst holds the prefix.
    if (n < 0) return -1;
    return static_cast<size_t>(n) < dstSize ? 0 : -1;
}

int FormatStr(char* dst, size_t dstSize, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int rc = FormatStrV(dst, dstSize, fmt, args);
    va_end(args);
    return rc;
}

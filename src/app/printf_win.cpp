// Linked into the shipped program only. Its texts are formatted with %s, %d, %u and %c, which the
// system's C runtime formats as MinGW's own printf would; taking the runtime's keeps MinGW's printf
// (about 20 KB) out of the program. A text that does not fit comes back as -1 with its prefix
// written, which FormatStr reports as a cut.
#include <windows.h>

#include <cstdarg>
#include <cstdio>

extern "C" int __cdecl __mingw_vsnprintf(char* dst, size_t dstSize, const char* fmt, va_list args) {
    return _vsnprintf(dst, dstSize, fmt, args);
}

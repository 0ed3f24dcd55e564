#pragma once
// Bounded text helpers. Every function always terminates dst (when dstSize > 0) and reports
// truncation; a cut is by bytes, so it may split a double-byte character where callers want that.
#include <cstdarg>
#include <cstddef>

// A path with its terminator, the system's limit: work folder, install folder, command line, caption.
const size_t kMaxPathBytes = 260;

// The printf that formats: the system C runtime's in the program, MinGW's own (C99 formats) in
// vnpack.exe, glibc's natively.
#if defined(__MINGW32__) && defined(__USE_MINGW_ANSI_STDIO) && __USE_MINGW_ANSI_STDIO
#define VN_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define VN_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#endif

// Copies src into dst. Returns 0, or -1 if src did not fit (dst holds its first dstSize-1 bytes).
int CopyStr(char* dst, size_t dstSize, const char* src);

// Copies srcLen bytes of src (which need not be terminated) into dst; 0, or -1 when cut.
int CopyBytes(char* dst, size_t dstSize, const char* src, size_t srcLen);

// Appends src to the text in dst. Returns 0, or -1 if it did not fit (dst holds a prefix).
int AppendStr(char* dst, size_t dstSize, const char* src);

// printf into dst. Returns 0, or -1 if the result was cut or the format failed.
int FormatStr(char* dst, size_t dstSize, const char* fmt, ...) VN_PRINTF_FORMAT(3, 4);
int FormatStrV(char* dst, size_t dstSize, const char* fmt, va_list args) VN_PRINTF_FORMAT(3, 0);

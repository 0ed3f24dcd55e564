#pragma once
// CP932 text shown to a studio: converted to UTF-8 for the terminal and for JSON.
#include <cstddef>
#include <cstdio>

enum InvalidStyle {
    kEscapeInvalid,   // bytes that are not CP932, and control bytes, as \xNN (for reading)
    kReplaceInvalid,  // bytes that are not CP932 as U+FFFD, control bytes kept (for JSON)
};

// Converts len bytes of CP932 into terminated UTF-8 in dst (cut to fit). Returns 0 when every
// byte was valid CP932, 1 otherwise.
int Cp932ToUtf8(const char* src, size_t len, char* dst, size_t dstSize, InvalidStyle style);

// True when the len bytes are valid CP932 throughout.
bool IsValidCp932(const char* src, size_t len);

// True when the len bytes are valid UTF-8 throughout.
bool IsValidUtf8(const char* src, size_t len);

// Prints a UTF-8 text as a JSON string, quotes included; invalid UTF-8 becomes U+FFFD.
void PrintJsonString(FILE* out, const char* utf8);

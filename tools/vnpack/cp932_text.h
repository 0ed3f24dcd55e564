#pragma once
// The tool's one boundary between CP932 and UTF-8: text shown to a studio (the terminal and JSON),
// and names between the host's UTF-8 and the payload's CP932 (the table Windows uses for code page 932).
#include <cstddef>
#include <cstdio>

enum InvalidStyle {
    kEscapeInvalid,   // bytes that are not CP932, and control bytes, as \xNN (for reading)
    kReplaceInvalid,  // bytes that are not CP932 as U+FFFD, control bytes kept (for JSON)
};

// Converts len bytes of CP932 into terminated UTF-8 in dst (cut to fit). Returns 0 when every
// byte was valid CP932, 1 otherwise.
int Cp932ToUtf8(const char* src, size_t len, char* dst, size_t dstSize, InvalidStyle style);

// Converts a NUL-terminated name. Returns 0, or -1 when a character has no mapping or dst is too small.
int ConvertUtf8ToCp932(const char* utf8, char* dst, size_t dstSize);
int ConvertCp932ToUtf8(const char* cp932, char* dst, size_t dstSize);

// A CP932 name for the terminal: UTF-8, or with undecodable bytes shown as \xNN. Always terminated.
void FormatShownName(const char* cp932, char* dst, size_t dstSize);

// True when the len bytes are valid CP932 throughout.
bool IsValidCp932(const char* src, size_t len);

// True when the len bytes are valid UTF-8 throughout.
bool IsValidUtf8(const char* src, size_t len);

// Prints a UTF-8 text as a JSON string, quotes included; invalid UTF-8 becomes U+FFFD.
void PrintJsonString(FILE* out, const char* utf8);

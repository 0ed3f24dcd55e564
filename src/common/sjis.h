#pragma once
// CP932 text helpers. The lead-byte table is fixed, so these behave the same whatever the system's
// code page; never use CharNextA, IsDBCSLeadByte or _mbs* for program text. A lead byte followed by
// the terminator counts as a character of its own, so no walk ever steps past the end.
#include <cstddef>

inline bool IsSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The start of the character after the one at s (s itself at the terminator).
const char* SjisNext(const char* s);

// First / last occurrence of the byte c at the start of a character, or null. c is meant to be
// ASCII: searching for '\' never finds the second byte of a character such as 0x83 0x5C.
const char* SjisFindChar(const char* s, char c);
const char* SjisFindLastChar(const char* s, char c);

// First occurrence of needle that begins at the start of a character, or null. An empty needle
// matches at s.
const char* SjisFindStr(const char* s, const char* needle);

// Last '\' or '/' that is a real separator, or null.
const char* SjisFindLastSep(const char* s);

// Replaces, in place, every character that is the single byte `from` by `to`.
void SjisReplaceChar(char* s, char from, char to);

// Replaces the first occurrence of needle (non-empty) in the text in buf by replacement.
// Returns 1 when replaced, 0 when there was none, or -1 when the result would not fit in
// bufSize bytes (buf is then unchanged).
int SjisReplaceFirst(char* buf, size_t bufSize, const char* needle, const char* replacement);

// Compares, folding ASCII letters at character starts only (a trail byte is never folded).
// Returns <0, 0 or >0 like strcmp.
int SjisCompareNoCase(const char* a, const char* b);
// Whether text begins with prefix, compared as SjisCompareNoCase does.
bool SjisStartsWithNoCase(const char* text, const char* prefix);

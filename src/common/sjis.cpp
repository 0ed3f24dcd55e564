#include "common/sjis.h"

#include <cstring>

const char* SjisNext(const char* s) {
    if (*s == '\0') return s;
    if (IsSjisLead(static_cast<unsigned char>(s[0])) && s[1] != '\0') return s + 2;
    return s + 1;
}

const char* SjisFindChar(const char* s, char c) {
    for (; *s; s = SjisNext(s)) {
        if (*s == c) return s;
    }
    return nullptr;
}

const char* SjisFindLastChar(const char* s, char c) {
    const char* found = nullptr;
    for (; *s; s = SjisNext(s)) {
        if (*s == c) found = s;
    }
    return found;
}

const char* SjisFindStr(const char* s, const char* needle) {
    size_t len = strlen(needle);
    for (;; s = SjisNext(s)) {
        if (strncmp(s, needle, len) == 0) return s;
        if (*s == '\0') return nullptr;
    }
}

const char* SjisFindLastSep(const char* s) {
    const char* found = nullptr;
    for (; *s; s = SjisNext(s)) {
        if (*s == '\\' || *s == '/') found = s;
    }
    return found;
}

void SjisReplaceChar(char* s, char from, char to) {
    while (*s) {
        if (*s == from) *s = to;
        s = const_cast<char*>(SjisNext(s));
    }
}

int SjisReplaceFirst(char* buf, size_t bufSize, const char* needle, const char* replacement) {
    if (*needle == '\0') return 0;
    char* at = const_cast<char*>(SjisFindStr(buf, needle));
    if (!at) return 0;
    size_t needleLen = strlen(needle);
    size_t replLen = strlen(replacement);
    size_t total = strlen(buf);
    size_t tailLen = total - static_cast<size_t>(at - buf) - needleLen;
    if (total - needleLen + replLen >= bufSize) return -1;
    memmove(at + replLen, at + needleLen, tailLen + 1);
    memcpy(at, replacement, replLen);
    return 1;
}

static unsigned char FoldAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Compares a with b, or with a's start as long as b when prefix is set.
static int CompareNoCase(const char* a, const char* b, bool prefix) {
    for (;;) {
        if (prefix && *b == '\0') return 0;
        unsigned char ca = static_cast<unsigned char>(*a);
        unsigned char cb = static_cast<unsigned char>(*b);
        if (IsSjisLead(ca) && a[1] != '\0') {
            // Double-byte characters compare as they are, both bytes.
            if (ca != cb) return ca - cb;
            if (a[1] != b[1]) return static_cast<unsigned char>(a[1]) - static_cast<unsigned char>(b[1]);
            a += 2;
            b += 2;
            continue;
        }
        int d = FoldAscii(ca) - FoldAscii(cb);
        if (d != 0 || ca == '\0') return d;
        ++a;
        ++b;
    }
}

int SjisCompareNoCase(const char* a, const char* b) { return CompareNoCase(a, b, false); }

bool SjisStartsWithNoCase(const char* text, const char* prefix) { return CompareNoCase(text, prefix, true) == 0; }

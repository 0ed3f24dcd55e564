#include "vnpack/cp932_text.h"

#include <cstring>

#include "common/sjis.h"
#include "vnpack/host.h"

// The length of the CP932 character at src[i], 0 when the byte starts none.
static size_t CharAt(const char* src, size_t len, size_t i, char* utf8, size_t* utf8Len) {
    unsigned char c = static_cast<unsigned char>(src[i]);
    if (c < 0x80) {
        utf8[0] = static_cast<char>(c);
        *utf8Len = 1;
        return 1;
    }
    size_t n = (IsSjisLead(c) && i + 1 < len) ? 2 : 1;
    *utf8Len = ConvertCp932Char(src + i, n, utf8, 8);
    return *utf8Len ? n : 0;
}

// Appends whole characters only; false once one does not fit.
static bool Put(char* dst, size_t dstSize, size_t* at, const char* bytes, size_t n) {
    if (*at + n >= dstSize) return false;
    memcpy(dst + *at, bytes, n);
    *at += n;
    return true;
}

// Converts len bytes; *cut tells whether dst ran out of room. Returns 1 when a byte was not CP932.
static int ConvertText(const char* src, size_t len, char* dst, size_t dstSize, InvalidStyle style, bool* cut) {
    *cut = true;
    if (dstSize == 0) return 1;
    size_t at = 0;
    int invalid = 0;
    bool room = true;
    for (size_t i = 0; i < len && room;) {
        char utf8[8];
        size_t utf8Len = 0;
        size_t n = CharAt(src, len, i, utf8, &utf8Len);
        unsigned char c = static_cast<unsigned char>(src[i]);
        bool control = n == 1 && (c < 0x20 || c == 0x7F);
        if (n == 0) invalid = 1;
        if (n == 0 || (control && style == kEscapeInvalid)) {
            if (style == kEscapeInvalid) {
                static const char kHex[] = "0123456789ABCDEF";
                char esc[4] = {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
                room = Put(dst, dstSize, &at, esc, 4);
            } else {
                room = Put(dst, dstSize, &at, "\xEF\xBF\xBD", 3);
            }
            ++i;
            continue;
        }
        room = Put(dst, dstSize, &at, utf8, utf8Len);
        i += n;
    }
    dst[at] = '\0';
    *cut = !room;
    return invalid;
}

int Cp932ToUtf8(const char* src, size_t len, char* dst, size_t dstSize, InvalidStyle style) {
    bool cut;
    return ConvertText(src, len, dst, dstSize, style, &cut);
}

int ConvertCp932ToUtf8(const char* cp932, char* dst, size_t dstSize) {
    bool cut;
    int invalid = ConvertText(cp932, strlen(cp932), dst, dstSize, kReplaceInvalid, &cut);
    return invalid || cut ? -1 : 0;
}

void FormatShownName(const char* cp932, char* dst, size_t dstSize) {
    Cp932ToUtf8(cp932, strlen(cp932), dst, dstSize, kEscapeInvalid);
}

bool IsValidCp932(const char* src, size_t len) {
    for (size_t i = 0; i < len;) {
        char utf8[8];
        size_t utf8Len;
        size_t n = CharAt(src, len, i, utf8, &utf8Len);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

// Length of the valid UTF-8 sequence at s (left bytes available), or 0.
static size_t Utf8SeqLen(const unsigned char* s, size_t left) {
    if (s[0] < 0x80) return 1;
    size_t n;
    unsigned min;
    unsigned cp;
    if ((s[0] & 0xE0) == 0xC0) {
        n = 2;
        min = 0x80;
        cp = s[0] & 0x1F;
    } else if ((s[0] & 0xF0) == 0xE0) {
        n = 3;
        min = 0x800;
        cp = s[0] & 0x0F;
    } else if ((s[0] & 0xF8) == 0xF0) {
        n = 4;
        min = 0x10000;
        cp = s[0] & 0x07;
    } else
        return 0;
    if (n > left) return 0;
    for (size_t i = 1; i < n; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

bool IsValidUtf8(const char* src, size_t len) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    for (size_t i = 0; i < len;) {
        size_t n = Utf8SeqLen(s + i, len - i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

void PrintJsonString(FILE* out, const char* utf8) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(utf8);
    size_t left = strlen(utf8);
    fputc('"', out);
    while (*s) {
        if (*s == '"' || *s == '\\') {
            fputc('\\', out);
            fputc(*s++, out);
            --left;
        } else if (*s < 0x20 || *s == 0x7F) {
            fprintf(out, "\\u%04x", *s++);
            --left;
        } else {
            size_t n = Utf8SeqLen(s, left);
            if (n == 0) n = 1;
            if (n == 1 && *s >= 0x80) {
                fputs("\\ufffd", out);
            } else {
                fwrite(s, 1, n, out);
            }
            s += n;
            left -= n;
        }
    }
    fputc('"', out);
}

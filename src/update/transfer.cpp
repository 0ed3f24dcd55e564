#include "update/transfer.h"

#include <cstring>

#include "common/sjis.h"
#include "common/str_util.h"

static const char kRegSeparator[] = "\"=\"";

void FindCdromRoot(bool (*isCdrom)(const char* root), char* root, size_t rootSize) {
    char candidate[4];
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        FormatStr(candidate, sizeof candidate, "%c:\\", letter);
        if (isCdrom(candidate)) {
            CopyStr(root, rootSize, candidate);
            return;
        }
    }
    CopyStr(root, rootSize, "E:\\");
}

// A line that outgrows the working text is refused whole: a cut value is a wrong value the game
// would read.
static int ExpandPlaceholders(const char* text, const char* drivePlaceholder, const PlaceholderValues* values, char* out,
                              size_t outSize) {
    if (CopyStr(out, outSize, text) != 0) goto tooLong;
    if (SjisFindStr(out, drivePlaceholder)) {
        char root[kMaxPathBytes];
        values->findCdromRoot(root, sizeof root);
        if (SjisReplaceFirst(out, outSize, drivePlaceholder, root) < 0) goto tooLong;
    }
    if (SjisReplaceFirst(out, outSize, "REP_INSTALL", values->installPath) < 0) goto tooLong;
    return kLineWritten;
tooLong:
    out[0] = '\0';
    return kLineTooLong;
}

int ExpandIniPlaceholders(const char* text, const PlaceholderValues* values, char* out, size_t outSize) {
    return ExpandPlaceholders(text, "REP_CDROMDRIVE", values, out, outSize);
}

int ExpandRegPlaceholders(const char* text, const PlaceholderValues* values, char* out, size_t outSize) {
    return ExpandPlaceholders(text, "REP_CDROM", values, out, outSize);
}

void UnescapeRegText(const char* text, char* out, size_t outSize) {
    size_t n = 0;
    for (const char* p = text; *p;) {
        if (*p == '\\' && *++p == '\0') break;  // the backslash goes; the character after it stays
        const char* next = SjisNext(p);
        size_t len = static_cast<size_t>(next - p);
        if (n + len >= outSize) break;
        memcpy(out + n, p, len);
        n += len;
        p = next;
    }
    out[n] = '\0';
}

// Copies the bytes [begin, end) and the text at tail; a piece that does not fit is refused.
static int CopyPieces(const char* begin, const char* end, const char* tail, char* first, size_t firstSize, char* second,
                      size_t secondSize) {
    if (CopyBytes(first, firstSize, begin, static_cast<size_t>(end - begin)) != 0) return kLineTooLong;
    if (CopyStr(second, secondSize, tail) != 0) return kLineTooLong;
    return kLineWritten;
}

int SplitIniLine(const char* line, const PlaceholderValues* values, char* key, size_t keySize, char* value,
                 size_t valueSize) {
    if (!SjisFindChar(line, '=')) return kLineNoSeparator;
    // Expanded whole, so placeholders on the key side are filled in too.
    char work[kTransferTextBytes];
    int rc = ExpandIniPlaceholders(line, values, work, sizeof work);
    if (rc != kLineWritten) return rc;
    const char* eq = SjisFindChar(work, '=');
    if (!eq) return kLineNoSeparator;  // an install path ending in a lead byte swallowed it
    return CopyPieces(work, eq, eq + 1, key, keySize, value, valueSize);
}

int SplitRegLine(const char* line, const PlaceholderValues* values, char* name, size_t nameSize, char* value,
                 size_t valueSize) {
    if (!SjisFindStr(line, kRegSeparator)) return kLineNoSeparator;
    // Unescaped first, so the backslashes of the inserted folder stay single.
    char unescaped[kTransferTextBytes];
    UnescapeRegText(line, unescaped, sizeof unescaped);
    char work[kTransferTextBytes];
    int rc = ExpandRegPlaceholders(unescaped, values, work, sizeof work);
    if (rc != kLineWritten) return rc;
    const char* sep = SjisFindStr(work, kRegSeparator);
    if (!sep) return kLineNoSeparator;
    if (sep == work) return kLineNoName;
    const char* valueStart = sep + strlen(kRegSeparator);
    if (*valueStart == '\0') return kLineNoValue;
    const char* last = valueStart;
    for (const char* p = valueStart; *p; p = SjisNext(p)) last = p;
    rc = CopyPieces(SjisNext(work), sep, "", name, nameSize, value, valueSize);
    if (rc != kLineWritten) return rc;
    return CopyBytes(value, valueSize, valueStart, static_cast<size_t>(last - valueStart)) == 0 ? kLineWritten
                                                                                                : kLineTooLong;
}

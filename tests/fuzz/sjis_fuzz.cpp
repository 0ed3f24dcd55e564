// Walks arbitrary bytes with the CP932 helpers and checks that no match starts on a second byte and
// no walk leaves the text.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/sjis.h"
#include "common/str_util.h"

static bool IsCharStart(const char* text, const char* p) {
    for (const char* s = text; *s; s = SjisNext(s)) {
        if (s == p) return true;
    }
    return false;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    char text[256];
    char needle[4] = {};
    size_t needleLen = data[0] % 4;
    if (needleLen > size - 1) needleLen = size - 1;
    memcpy(needle, data + 1, needleLen);
    CopyBytes(text, sizeof text, reinterpret_cast<const char*>(data + 1 + needleLen), size - 1 - needleLen);

    const char* sep = SjisFindLastSep(text);
    if (sep && !IsCharStart(text, sep)) abort();
    const char* bs = SjisFindChar(text, '\\');
    if (bs && !IsCharStart(text, bs)) abort();
    if (needle[0]) {
        const char* hit = SjisFindStr(text, needle);
        if (hit && (!IsCharStart(text, hit) || strncmp(hit, needle, strlen(needle)) != 0)) abort();
    }
    char copy[256];
    memcpy(copy, text, sizeof copy);
    if (SjisReplaceFirst(copy, sizeof copy, "\\", "REP") < 0 && strlen(text) + 2 < sizeof copy) abort();
    SjisReplaceChar(copy, '|', ' ');
    (void)SjisCompareNoCase(text, copy);
    return 0;
}

// Runs the [ini]/[reg] line transforms and the registry text reading on arbitrary bytes: an install
// folder up to the first LF, then one line. Checks what the pieces must add up to.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/sjis.h"
#include "common/str_util.h"
#include "update/install_lookup.h"
#include "update/transfer.h"

namespace {

const char* s_regData;
size_t s_regLen;

void Root(char* root, size_t rootSize) {
    if (rootSize < 4) abort();
    memcpy(root, "Q:\\", 4);
}

int Query(const char*, const char*, uint32_t* type, char* data, uint32_t* dataLen) {
    if (s_regLen > *dataLen) return -1;
    memcpy(data, s_regData, s_regLen);
    *type = kRegTypeSz;
    *dataLen = static_cast<uint32_t>(s_regLen);
    return 0;
}

void CheckText(const char* text, size_t size) {
    if (memchr(text, '\0', size) == nullptr) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const void* nl = memchr(bytes, '\n', size);
    size_t pathLen = nl ? static_cast<size_t>(static_cast<const char*>(nl) - bytes) : 0;
    if (pathLen >= kMaxPathBytes) return 0;
    char path[kMaxPathBytes];
    memcpy(path, bytes, pathLen);
    path[pathLen] = '\0';
    size_t lineStart = nl ? pathLen + 1 : 0;
    char line[kTransferTextBytes];
    size_t lineLen = size - lineStart < sizeof line - 1 ? size - lineStart : sizeof line - 1;
    memcpy(line, bytes + lineStart, lineLen);
    line[lineLen] = '\0';
    const PlaceholderValues values = {path, Root};

    char first[kTransferTextBytes], second[kTransferTextBytes], work[kTransferTextBytes];
    int rc = SplitIniLine(line, &values, first, sizeof first, second, sizeof second);
    if ((rc == kLineNoSeparator) && SjisFindChar(line, '=') &&
        ExpandIniPlaceholders(line, &values, work, sizeof work) == 0 && SjisFindChar(work, '=')) {
        abort();
    }
    if (rc == kLineWritten) {
        CheckText(first, sizeof first);
        CheckText(second, sizeof second);
        if (SjisFindChar(first, '=')) abort();
        if (ExpandIniPlaceholders(line, &values, work, sizeof work) != 0) abort();
        if (strlen(first) + 1 + strlen(second) != strlen(work)) abort();
    }

    // Unescaping never grows; expanding grows by what the placeholders make of themselves.
    char unescaped[kTransferTextBytes];
    UnescapeRegText(line, unescaped, sizeof unescaped);
    if (strlen(unescaped) > strlen(line)) abort();
    int expanded = ExpandRegPlaceholders(unescaped, &values, work, sizeof work);
    size_t mostGrowth = pathLen > 11 ? pathLen - 11 : 0;  // the drive root is shorter than its placeholder
    if (expanded == 0 ? strlen(work) > strlen(unescaped) + mostGrowth
                      : expanded != kLineTooLong || strlen(unescaped) + mostGrowth <= kTransferTextBytes - 1) {
        abort();
    }
    rc = SplitRegLine(line, &values, first, sizeof first, second, sizeof second);
    if (rc == kLineWritten) {
        CheckText(first, sizeof first);
        CheckText(second, sizeof second);
        // The first character and the last one dropped: one or two bytes each.
        size_t dropped = strlen(work) - (strlen(first) + 3 + strlen(second));
        if (expanded != 0 || dropped < 2 || dropped > 4) abort();
    } else if (rc != kLineNoSeparator && rc != kLineTooLong && rc != kLineNoName && rc != kLineNoValue) {
        abort();
    }

    // The same bytes as a stored registry text.
    s_regData = bytes;
    s_regLen = size;
    char out[kMaxPathBytes];
    if (ReadRegString(Query, "G", "L", "V", "dflt", out, sizeof out) == 0) {
        CheckText(out, sizeof out);
        if (strncmp(out, bytes, strlen(out)) != 0) abort();
    }
    ReadRegInt(Query, "G", "L", "V", 0);
    return 0;
}

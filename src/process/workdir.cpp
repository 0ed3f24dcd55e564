#include "process/workdir.h"

#include <cstring>

#include "common/sjis.h"
#include "common/str_util.h"

static const size_t kMaxPartBytes = 255;

char* EnsureTrailingBackslash(char* path, size_t pathSize) {
    size_t n = strlen(path);
    bool ends = n > 0 && path[n - 1] == '\\' && !(n > 1 && IsSjisLead(static_cast<unsigned char>(path[n - 2])));
    if (ends) return path;
    if (n + 2 > pathSize) return nullptr;
    path[n] = '\\';
    path[n + 1] = '\0';
    return path;
}

int FormatWorkFolderName(uint32_t ticks, char* out, size_t outSize) {
    // The tick count wraps after 49.7 days; past 24.9 days it reads as negative.
    int32_t value = static_cast<int32_t>(ticks);
    return FormatStr(out, outSize, "TempGPInstallFolder_%09d", static_cast<int>(value));
}

int CreateWorkFolderNamed(const char* tempDir, uint32_t ticks, CreateFolderFn create, void* ctx, char* out, size_t outSize) {
    char name[32];
    for (int i = 0; i < kWorkFolderNames; ++i) {
        // Unsigned, so the names run on through the wrap of the tick count.
        if (FormatWorkFolderName(ticks + static_cast<uint32_t>(i), name, sizeof name) != 0) break;
        if (CopyStr(out, outSize, tempDir) != 0 || AppendStr(out, outSize, name) != 0) break;
        int found = create(ctx, out);
        if (found == kFolderMade) return 0;
        if (found != kFolderTaken) break;
    }
    if (outSize > 0) out[0] = '\0';
    return -1;
}

int JoinMatchPath(const char* pattern, const char* entryName, char* out, size_t outSize) {
    const char* sep = SjisFindLastSep(pattern);
    size_t dirLen = sep ? static_cast<size_t>(sep - pattern) + 1 : 0;
    if (dirLen == 0 && pattern[0] != '\0' && pattern[1] == ':') dirLen = 2;  // "C:*.txt"
    if (dirLen > kMaxPartBytes + 2 || strlen(entryName) > kMaxPartBytes) return -1;
    if (CopyBytes(out, outSize, pattern, dirLen) != 0) return -1;
    return AppendStr(out, outSize, entryName);
}

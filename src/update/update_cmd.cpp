#include "update/update_cmd.h"

#include "common/sjis.h"
#include "common/str_util.h"

// Started by a bare name, the system would look in the updater's own folder (where the player
// downloaded it) before the current folder, so a stray file of that name there would run instead.
int FormatInstalledPath(const char* installPath, const char* name, char* out, size_t outSize) {
    // No trail byte is 0x3A, so a ':' second byte always marks a drive.
    bool absolute = name[0] == '\\' || name[0] == '/' || (name[0] != '\0' && name[1] == ':');
    if (absolute) return CopyStr(out, outSize, name);
    const char* sep = SjisFindLastSep(installPath);
    bool endsInSep = sep && sep[1] == '\0';
    return FormatStr(out, outSize, endsInSep ? "%s%s" : "%s\\%s", installPath, name);
}

// vnpack env: the [ini]/[reg] preview. Every decision comes from the updater's own transforms; this
// file only feeds them a sample folder and says what came out.
#include "vnpack/env_transfer.h"

#include <cstring>
#include <initializer_list>

#include "common/sjis.h"
#include "common/str_util.h"
#include "config/settings.h"
#include "update/install_lookup.h"
#include "update/transfer.h"
#include "vnpack/cp932_text.h"
#include "vnpack/env_analysis.h"

namespace {

constexpr size_t kLongestFolder = kMaxPathBytes - 1;  // what the lookup can return

// A machine without a CD-ROM drive, the usual case today: the updater then uses E:\.
bool NoCdrom(const char*) { return false; }
void SampleCdromRoot(char* root, size_t rootSize) { FindCdromRoot(NoCdrom, root, rootSize); }

struct LinePreview {
    int status;                       // TransferLineStatus with the sample folder
    char first[kTransferTextBytes];   // key or name
    char second[kTransferTextBytes];  // value
    int longestFolder;                // the longest folder (bytes) with which the line is still written, or -1: any
};

int Split(int section, const char* line, const char* folder, LinePreview* p) {
    const PlaceholderValues values = {folder, SampleCdromRoot};
    if (section == kIni) return SplitIniLine(line, &values, p->first, sizeof p->first, p->second, sizeof p->second);
    return SplitRegLine(line, &values, p->first, sizeof p->first, p->second, sizeof p->second);
}

bool FitsWithFolderOf(int section, const char* line, size_t bytes) {
    char folder[kMaxPathBytes];
    memset(folder, 'x', bytes);
    folder[bytes] = '\0';
    LinePreview scratch;
    return Split(section, line, folder, &scratch) != kLineTooLong;
}

void PreviewLine(int section, const char* line, const char* installDir, LinePreview* p) {
    p->status = Split(section, line, installDir, p);
    p->longestFolder = -1;
    if (FitsWithFolderOf(section, line, kLongestFolder)) return;
    size_t fits = 0, fails = kLongestFolder;  // an empty folder only shrinks the line
    while (fails - fits > 1) {
        size_t mid = (fits + fails) / 2;
        (FitsWithFolderOf(section, line, mid) ? fits : fails) = mid;
    }
    p->longestFolder = static_cast<int>(fits);
}

const char* SkipReason(int section, int status) {
    switch (status) {
    case kLineNoSeparator: return section == kIni ? "no \"=\"" : "no separator \"=\" (only string values are written)";
    case kLineTooLong: return "longer than 511 bytes once the placeholders are filled in";
    case kLineNoName: return "the separator \"=\" begins the line, so no name ends at it";
    case kLineNoValue: return "nothing after the separator \"=\", so no closing quote to drop";
    default: return "";
    }
}

bool RegistryOff() { return IsSettingOff(GetRegGlobal()); }

}  // namespace

bool DescribeTransferSkip(int section, const char* line, const char* installDir, char* warning, size_t warningSize) {
    if (section != kIni && section != kReg) return false;
    LinePreview p;
    PreviewLine(section, line, installDir, &p);
    const char* name = section == kIni ? "[ini]" : "[reg]";
    if (p.status == kLineNoSeparator) {
        // Worded as before the preview existed, for scripts that look for it.
        FormatStr(warning, warningSize, "%s line without %s: the updater skips it: %s", name,
                  section == kIni ? "\"=\"" : "the separator \"=\" (only string values are written)", ShowEnvLine(line));
    } else if (p.status != kLineWritten) {
        FormatStr(warning, warningSize, "%s line %s with the game in %s: the updater skips it: %s", name,
                  SkipReason(section, p.status), ShowEnvText(installDir), ShowEnvLine(line));
    } else if (p.longestFolder >= 0) {
        FormatStr(warning, warningSize,
                  "%s line grows past 511 bytes when the game's folder is longer than %d bytes: the updater "
                  "then skips it: %s",
                  name, p.longestFolder, ShowEnvLine(line));
    } else {
        return false;
    }
    return true;
}

void PrintTransferPreview(FILE* out, const char* installDir) {
    char root[kMaxPathBytes];
    SampleCdromRoot(root, sizeof root);
    fprintf(out,
            "\nWhat the [ini] and [reg] lines write, with the game in \"%s\" (--install-dir) and %s for the "
            "CD-ROM drive:\n",
            ShowEnvText(installDir), root);
    const char* iniFile = GetIniFile();
    fprintf(out, "  INI file \"%s\"%s, section [%s]:%s\n", ShowEnvText(iniFile),
            SjisFindLastSep(iniFile) || SjisFindChar(iniFile, ':') ? "" : " (in the Windows folder)",
            ShowEnvText(GetIniSection()), IniList() ? "" : " nothing");
    LinePreview p;
    for (const SectionLine* l = IniList(); l; l = l->next) {
        PreviewLine(kIni, l->text, installDir, &p);
        if (p.status == kLineWritten) {
            fprintf(out, "    %s = \"%s\"\n", ShowEnvText(p.first), ShowEnvText(p.second));
        } else {
            fprintf(out, "    skipped (%s): %s\n", SkipReason(kIni, p.status), ShowEnvText(l->text));
        }
    }
    char key[kRegKeyPathBytes];
    FormatRegKeyPath(GetRegGlobal(), GetRegLocal(), key, sizeof key);
    if (RegistryOff()) {
        fprintf(out, "  Registry: nothing (REG_GLOBAL begins with \"-\")\n");
        return;
    }
    fprintf(out, "  Registry key HKEY_CURRENT_USER\\%s:%s\n", ShowEnvText(key), RegList() ? "" : " nothing");
    for (const SectionLine* l = RegList(); l; l = l->next) {
        PreviewLine(kReg, l->text, installDir, &p);
        if (p.status != kLineWritten) {
            fprintf(out, "    skipped (%s): %s\n", SkipReason(kReg, p.status), ShowEnvText(l->text));
        } else if (p.first[0] == '\0') {
            fprintf(out, "    (default) = \"%s\"\n", ShowEnvText(p.second));
        } else {
            fprintf(out, "    \"%s\" = \"%s\"\n", ShowEnvText(p.first), ShowEnvText(p.second));
        }
    }
}

void PrintTransferPreviewJson(FILE* out, const char* installDir) {
    char root[kMaxPathBytes];
    SampleCdromRoot(root, sizeof root);
    fputs("{\n    \"installDir\": ", out);
    PrintEnvJsonText(out, installDir);
    fputs(", \"cdromRoot\": ", out);
    PrintEnvJsonText(out, root);
    fputs(",\n    \"ini\": {\"file\": ", out);
    PrintEnvJsonText(out, GetIniFile());
    fputs(", \"section\": ", out);
    PrintEnvJsonText(out, GetIniSection());
    fputs(", \"entries\": [", out);
    char path[kRegKeyPathBytes];
    FormatRegKeyPath(GetRegGlobal(), GetRegLocal(), path, sizeof path);
    char key[kRegKeyPathBytes + 32];
    FormatStr(key, sizeof key, "HKEY_CURRENT_USER\\%s", path);
    for (int section : {kIni, kReg}) {
        if (section == kReg) {
            fputs("]},\n    \"reg\": {\"key\": ", out);
            PrintEnvJsonText(out, key);
            fprintf(out, ", \"written\": %s, \"entries\": [", RegistryOff() ? "false" : "true");
        }
        for (const SectionLine* l = GetSectionList(section); l; l = l->next) {
            LinePreview p;
            PreviewLine(section, l->text, installDir, &p);
            fprintf(out, "\n      {\"line\": ");
            PrintEnvJsonText(out, l->text);
            fputs(section == kIni ? ", \"key\": " : ", \"name\": ", out);
            bool written = p.status == kLineWritten;
            if (written) {
                PrintEnvJsonText(out, p.first);
            } else {
                fputs("null", out);
            }
            fputs(", \"value\": ", out);
            if (written) {
                PrintEnvJsonText(out, p.second);
            } else {
                fputs("null", out);
            }
            fputs(", \"skipped\": ", out);
            if (written) {
                fputs("null", out);
            } else {
                PrintJsonString(out, SkipReason(section, p.status));
            }
            fputs(", \"longestFolder\": ", out);
            if (p.longestFolder >= 0) {
                fprintf(out, "%d", p.longestFolder);
            } else {
                fputs("null", out);
            }
            fprintf(out, "}%s", l->next ? "," : "\n    ");
        }
    }
    fputs("]}\n  }", out);
}

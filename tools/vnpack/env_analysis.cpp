// The analysis of vnpack env. It watches the updater's two readers and turns what they report into
// warnings; every rule of reading stays in the readers.
#include "vnpack/env_analysis.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "common/alloc.h"
#include "common/grow_array.h"
#include "common/sjis.h"
#include "common/str_util.h"
#include "config/sections.h"
#include "vnpack/cp932_text.h"
#include "vnpack/env_transfer.h"

const EnvNamedSetting kEnvNamedSettings[] = {
    {kRegGlobalKey, "registry key, first name; \"-\" turns the [reg] transfer off"},
    {kRegLocalKey, "registry key, second name"},
    {kIniFileKey, "INI file that receives the [ini] lines"},
    {kIniSectionKey, "section of that INI file"},
    {kTitleBarKey, "the updater's title"},
    {kInstToKey, "read, no effect"},
    {kInstFolKey, "read, no effect"},
    {kExeNameKey, "the game, started after the update"},
    {kKeyFileKey, "file that must exist in the game's folder"},
    {kChkRegKey, "registry value holding the installed version"},
    {kChkRegVerKey, "lowest installed version that may be updated"},
    {kInstReadmeKey, "read-me caption; \"-\" means no read-me"},
    {kInstReadmeFileKey, "read-me file"},
};
const int kEnvNamedCount = static_cast<int>(sizeof kEnvNamedSettings / sizeof kEnvNamedSettings[0]);

namespace {

// Where a warning arose, most significant first: the file's bytes, then piece by piece (the
// section reader's remarks before the settings reader's, the line's length last), then the
// remarks on the reading as a whole, then those on the values. The reports sort by line.
enum WarningGroup { kGroupBytes, kGroupPieces, kGroupSummary, kGroupValues };
enum WarningSide { kSideSections, kSideSettings, kSideLine };

// What the section reader did with each piece, for the settings reader's pass.
enum PieceVerdict : uint8_t { kPieceOther = 0, kPieceOutside, kPieceInSection };

struct Watch {
    EnvAnalysis* an;
    uint8_t* verdicts;  // per piece: a PieceVerdict, plus the section for kPieceInSection
    size_t verdictCount;
    uint32_t seq;
    // The section pass.
    int sectionsEndLine;
    // The file's lines, put together from the pieces of the section pass.
    char* lineText;
    size_t lineLen;
    size_t lineCapacity;
    bool noMemory;
    int badLines;
    bool anyHigh;
    bool utf8;
    // The settings pass.
    int settingsEndLine;
    int settingsEndHow;
    int unreadOthers;
    int unreadFirst;
};

uint64_t OrderOf(int group, size_t piece, int side, uint32_t seq) {
    if (piece > 0xFFFFFFFu) piece = 0xFFFFFFFu;
    return static_cast<uint64_t>(group) << 62 | static_cast<uint64_t>(piece) << 34 | static_cast<uint64_t>(side) << 32 | seq;
}

// Keeps the kMaxEnvWarnings that arose first, whatever order the two passes find them in.
void Warn(Watch* w, int line, int group, size_t piece, int side, const char* fmt, ...) VN_PRINTF_FORMAT(6, 7);
void Warn(Watch* w, int line, int group, size_t piece, int side, const char* fmt, ...) {
    EnvAnalysis* an = w->an;
    uint64_t order = OrderOf(group, piece, side, w->seq++);
    EnvWarning* slot = nullptr;
    if (an->warningCount < kMaxEnvWarnings) {
        slot = &an->warnings[an->warningCount++];
    } else {
        ++an->warningsDropped;
        EnvWarning* last = &an->warnings[0];
        for (int i = 1; i < an->warningCount; ++i) {
            if (an->warnings[i].order > last->order) last = &an->warnings[i];
        }
        if (order > last->order) return;
        slot = last;
    }
    slot->line = line;
    slot->order = order;
    va_list args;
    va_start(args, fmt);
    FormatStrV(slot->text, sizeof slot->text, fmt, args);
    va_end(args);
}

char* Show(const char* cp932, size_t len) {
    static char s_ring[4][kEnvShownBytes];
    static int s_next;
    char* out = s_ring[s_next++ % 4];
    Cp932ToUtf8(cp932, len, out, kEnvShownBytes, kEscapeInvalid);
    return out;
}

int FindNamed(const char* key) {
    for (int i = 0; i < kEnvNamedCount; ++i) {
        if (strcmp(kEnvNamedSettings[i].key, key) == 0) return i;
    }
    return -1;
}

int FindNamedNoCase(const char* key) {
    for (int i = 0; i < kEnvNamedCount; ++i) {
        if (SjisCompareNoCase(kEnvNamedSettings[i].key, key) == 0) return i;
    }
    return -1;
}

// The section a piece is stored in, or -1.
int SectionOf(const Watch* w, size_t piece) {
    if (piece >= w->verdictCount || w->verdicts[piece] < kPieceInSection) return -1;
    return w->verdicts[piece] - kPieceInSection;
}

bool IsOutside(const Watch* w, size_t piece) { return piece < w->verdictCount && w->verdicts[piece] == kPieceOutside; }

void SetVerdict(Watch* w, size_t piece, int verdict) {
    if (piece < w->verdictCount) w->verdicts[piece] = static_cast<uint8_t>(verdict);
}

// The encoding of one whole line of the file, its LF taken off.
void CheckLineBytes(Watch* w, int line) {
    const char* text = w->lineText;
    size_t len = w->lineLen;
    for (size_t i = 0; i < len; ++i) w->anyHigh |= static_cast<unsigned char>(text[i]) >= 0x80;
    if (!IsValidUtf8(text, len)) w->utf8 = false;  // no UTF-8 sequence holds an LF
    if (!IsValidCp932(text, len) && ++w->badLines <= 5) {
        char shown[kEnvLineBytes];
        CopyBytes(shown, sizeof shown, text, len);
        Warn(w, line, kGroupBytes, 0, 0, "not valid CP932: %s", ShowEnvLine(shown));
    }
    w->lineLen = 0;
}

void OnPiece(Watch* w, const EnvEvent* e) {
    if (e->piece == 0 && e->len >= 3 && memcmp(e->text, "\xEF\xBB\xBF", 3) == 0) {
        Warn(w, 1, kGroupBytes, 0, 0,
             "the file begins with a UTF-8 byte-order mark: save it as CP932 (Shift JIS) "
             "without one");
    }
    void* text = w->lineText;
    while (!w->noMemory && w->lineLen + e->len > w->lineCapacity) {
        w->noMemory = GrowArray(&text, w->lineCapacity, &w->lineCapacity, 1) != 0;
    }
    w->lineText = static_cast<char*>(text);
    if (w->noMemory) return;
    memcpy(w->lineText + w->lineLen, e->text, e->len);
    w->lineLen += e->len;
    if (!e->endsLine) return;
    size_t lineBytes = w->lineLen - 1;
    --w->lineLen;
    CheckLineBytes(w, e->line);
    if (e->pieceInLine > 0) {
        Warn(w, e->line, kGroupPieces, e->piece, kSideLine,
             "the line is %zu bytes long: both readers take it as %d lines of at most 511 bytes", lineBytes,
             e->pieceInLine + 1);
    }
}

void OnInputEnded(Watch* w, const EnvEvent* e) {
    if (w->lineLen > 0) {
        size_t lineBytes = w->lineLen;
        CheckLineBytes(w, e->line);
        if (e->pieceInLine > 1) {
            Warn(w, e->line, kGroupPieces, e->piece, kSideLine,
                 "the line is %zu bytes long: both readers take it as %d lines of at most 511 bytes", lineBytes,
                 e->pieceInLine);
        }
    }
    if (w->badLines > 5) Warn(w, 0, kGroupBytes, 0, 0, "%d more lines are not valid CP932", w->badLines - 5);
    if (w->anyHigh && w->badLines > 0 && w->utf8) {
        Warn(w, 0, kGroupBytes, 0, 0,
             "the file looks like UTF-8, but the updater reads CP932 (Shift JIS): save it in that encoding");
    }
    if (e->eofByte) {
        Warn(w, e->line, kGroupBytes, 0, 0,
             "byte 0x1A ends the file for both readers: the %zu bytes after it are never read", e->unread);
    }
}

// A line the section reader took as a raw line: stored in section, or dropped (-1).
void OnRawLine(Watch* w, const EnvEvent* e, int section) {
    for (int i = 0; i < kSectionCount; ++i) {
        if (SjisStartsWithNoCase(e->text, SectionHeader(i))) {
            Warn(w, e->line, kGroupPieces, e->piece, kSideSections,
                 "\"%s\" is no section header (headers are lower case): %s", ShowEnvLine(e->text),
                 section >= 0 ? "it is stored as a line of the open section" : "the line is ignored");
        }
    }
    // The transfer's own transforms judge the lines it will write.
    char skip[kEnvShownBytes + 256];
    if (DescribeTransferSkip(section, e->text, w->an->installDir, skip, sizeof skip)) {
        Warn(w, e->line, kGroupPieces, e->piece, kSideSections, "%s", skip);
    }
}

void OnSectionEvent(Watch* w, const EnvEvent* e) {
    switch (e->kind) {
    case kEnvPieceRead: OnPiece(w, e); break;
    case kEnvInputEnded: OnInputEnded(w, e); break;
    case kSectionLineKept:
        SetVerdict(w, e->piece, kPieceInSection + e->section);
        OnRawLine(w, e, e->section);
        break;
    case kSectionLineDropped:
        SetVerdict(w, e->piece, kPieceOutside);
        OnRawLine(w, e, -1);
        break;
    case kSectionsEnded: w->sectionsEndLine = e->line; break;
    case kSectionUnread:
        if (e->how == kSectionLineRaw) SetVerdict(w, e->piece, kPieceOutside);
        if (e->how == kSectionLineHeader) {
            Warn(w, e->line, kGroupPieces, e->piece, kSideSections,
                 "[%s] is never read: the section reader stopped at the line beginning with \"EOF\" on line %d",
                 SectionName(e->section), w->sectionsEndLine);
        }
        break;
    }
}

const char* SettingsEndText(const Watch* w) {
    return w->settingsEndHow == kSettingsEndMarker ? "at [EOF] on" : "after 400 lines, on";
}

// "[EOF]" is a line of the section it stands in, whether or not it ends the settings there.
void NoteEofInSection(Watch* w, const EnvEvent* e, bool endsSettings) {
    int section = SectionOf(w, e->piece);
    if (section < 0) return;
    Warn(w, e->line, kGroupPieces, e->piece, kSideSections, "\"[EOF]\" inside [%s] is stored as a line of the section%s",
         SectionName(section), endsSettings ? ", and it ends the settings here" : "");
}

void OnStored(Watch* w, const EnvEvent* e) {
    EnvAnalysis* an = w->an;
    EnvTableRow* row = &an->rows[an->rowCount++];
    int section = SectionOf(w, e->piece);
    row->line = e->line;
    row->section = section;
    CopyStr(row->key, sizeof row->key, e->key);
    CopyStr(row->value, sizeof row->value, e->value);
    int named = FindNamed(e->key);
    if (named >= 0 && section >= 0) {
        Warn(w, e->line, kGroupPieces, e->piece, kSideSettings,
             "this line of [%s] is also read as the setting %s = \"%s\"; end the settings with [EOF] before the "
             "sections",
             SectionName(section), e->key, ShowEnvText(e->value));
    } else if (named < 0 && section < 0 && FindNamedNoCase(e->key) >= 0) {
        Warn(w, e->line, kGroupPieces, e->piece, kSideSettings, "\"%s\" is not %s: keys are case-sensitive",
             ShowEnvText(e->key), kEnvNamedSettings[FindNamedNoCase(e->key)].key);
    }
}

void OnSkipped(Watch* w, const EnvEvent* e) {
    if (!e->key || FindNamed(e->key) < 0 || SectionOf(w, e->piece) >= 0) return;
    if (e->how == kSettingNoValue || e->how == kSettingFarValue) {
        Warn(w, e->line, kGroupPieces, e->piece, kSideSettings, "%s has no value%s: the line is dropped", e->key,
             e->how == kSettingFarValue ? " within 99 blanks after the key" : "");
    } else if (e->how == kSettingIndented) {
        Warn(w, e->line, kGroupPieces, e->piece, kSideSettings,
             "%s is indented: a line beginning with a blank is no setting", e->key);
    }
}

void OnUnread(Watch* w, const EnvEvent* e) {
    if (e->how == kSettingEnd) NoteEofInSection(w, e, false);
    // Headers, closing lines and ";" comments are the sections' business, not lost settings.
    if (e->how != kSettingEntry || !IsOutside(w, e->piece)) return;
    if (FindNamed(e->key) >= 0) {
        Warn(w, e->line, kGroupPieces, e->piece, kSideSettings, "%s is never read: the settings end %s line %d", e->key,
             SettingsEndText(w), w->settingsEndLine);
    } else if (w->unreadOthers++ == 0) {
        w->unreadFirst = e->line;
    }
}

void OnSettingEvent(Watch* w, const EnvEvent* e) {
    switch (e->kind) {
    case kSettingStored: OnStored(w, e); break;
    case kSettingSkipped: OnSkipped(w, e); break;
    case kSettingsEnded:
        w->settingsEndLine = e->line;
        w->settingsEndHow = e->how;
        if (e->how == kSettingsEndMarker) NoteEofInSection(w, e, true);
        break;
    case kSettingUnread: OnUnread(w, e); break;
    }
}

void NotifySections(void* ctx, const EnvEvent* e) { OnSectionEvent(static_cast<Watch*>(ctx), e); }
void NotifySettings(void* ctx, const EnvEvent* e) { OnSettingEvent(static_cast<Watch*>(ctx), e); }

// How many bytes of key's value the program keeps in its 128-byte buffer; *cut when that is not all.
size_t GetKeptBytes(const SettingEntry* e, bool* cut) {
    char buf[kSettingBytes];
    GetSetting(e->key, buf, sizeof buf, "");
    size_t kept = strlen(buf);
    *cut = kept < strlen(e->value);
    return kept;
}

// Warnings about the values the updater will use.
void CheckValues(Watch* w) {
    for (int i = 0; i < kEnvNamedCount; ++i) {
        const char* key = kEnvNamedSettings[i].key;
        const SettingEntry* e = FindSetting(key);
        if (!e) continue;
        int line = GetLatestEnvLine(w->an, key);
        bool cut;
        size_t kept = GetKeptBytes(e, &cut);
        if (cut) {
            const char* p = e->value;
            while (p < e->value + kept) p = SjisNext(p);
            bool split = p != e->value + kept;
            bool readme = strcmp(key, kInstReadmeKey) == 0 || strcmp(key, kInstReadmeFileKey) == 0;
            Warn(w, line, kGroupValues, 0, 0, "%s is %zu bytes long: %s its first %zu bytes%s", key, strlen(e->value),
                 readme ? "the menu uses" : "the updater uses", kept,
                 split ? ", cutting a double-byte character in two" : "");
        }
        if (strcmp(key, kChkRegVerKey) == 0) {
            bool plain;
            int32_t read = ParseSettingInt(e->value, &plain);
            if (!plain) {
                Warn(w, line, kGroupValues, 0, 0, "CHKREGVER \"%s\" is no plain number: the updater reads it as %d",
                     ShowEnvText(e->value), read);
            }
        }
    }
    if (RegList() && IsSettingOff(GetRegGlobal())) {
        Warn(w, 0, kGroupValues, 0, 0, "[reg] has lines but REG_GLOBAL is \"%s\": the registry is not written",
             ShowEnvText(GetRegGlobal()));
    }
    if (IniList() && (strcmp(GetIniFile(), "-") == 0 || strcmp(GetIniSection(), "-") == 0)) {
        Warn(w, 0, kGroupValues, 0, 0,
             "[ini] has lines but INI_FILE or INI_SECTION is left at \"-\": the lines go to that name");
    }
}

// By line, the remarks on the file as a whole last; on one line, in the order they arose.
int CompareWarnings(const void* a, const void* b) {
    const EnvWarning* x = static_cast<const EnvWarning*>(a);
    const EnvWarning* y = static_cast<const EnvWarning*>(b);
    unsigned lx = static_cast<unsigned>(x->line - 1);  // line 0 sorts last
    unsigned ly = static_cast<unsigned>(y->line - 1);
    if (lx != ly) return lx < ly ? -1 : 1;
    if (x->order != y->order) return x->order < y->order ? -1 : 1;
    return 0;
}

}  // namespace

char* ShowEnvText(const char* cp932) { return Show(cp932, strlen(cp932)); }

const char* ShowEnvLine(const char* cp932) {
    const char* end = cp932;
    while (*end && end - cp932 < 60) end = SjisNext(end);
    if (*end == '\0') return ShowEnvText(cp932);
    char* out = Show(cp932, static_cast<size_t>(end - cp932));
    AppendStr(out, kEnvShownBytes, "...");
    return out;
}

int GetLatestEnvLine(const EnvAnalysis* an, const char* key) {
    for (int i = an->rowCount - 1; i >= 0; --i) {
        if (strcmp(an->rows[i].key, key) == 0) return an->rows[i].line;
    }
    return 0;
}

EnvNamedValue GetEnvNamedValue(const EnvAnalysis* an, int index) {
    static char s_readme[kSettingBytes];
    static char s_readmeFile[kSettingBytes];
    const char* key = kEnvNamedSettings[index].key;
    const SettingEntry* e = FindSetting(key);
    EnvNamedValue v = {};
    v.isDefault = e == nullptr;
    v.line = GetLatestEnvLine(an, key);
    if (e) GetKeptBytes(e, &v.cut);
    switch (index) {
    case 0: v.text = GetRegGlobal(); break;
    case 1: v.text = GetRegLocal(); break;
    case 2: v.text = GetIniFile(); break;
    case 3: v.text = GetIniSection(); break;
    case 4: v.text = GetTitleBar(); break;
    case 5: v.text = GetInstTo(); break;
    case 6: v.text = GetInstFol(); break;
    case 7: v.text = GetExeName(); break;
    case 8: v.text = GetKeyFile(); break;
    case 9: v.text = GetChkReg(); break;
    case 10:
        v.isInteger = true;
        v.integer = GetChkRegVer();
        break;
    case 11: v.text = GetSetting(kInstReadmeKey, s_readme, sizeof s_readme, kInstReadmeDefault); break;
    case 12: v.text = GetSetting(kInstReadmeFileKey, s_readmeFile, sizeof s_readmeFile, kInstReadmeFileDefault); break;
    }
    return v;
}

int AnalyseEnv(const unsigned char* data, size_t size, const char* installDir, EnvAnalysis* an) {
    memset(an, 0, sizeof *an);
    an->installDir = installDir;
    ResetSettings();
    ResetSections();
    int rc = -1;
    Watch w = {};
    w.an = an;
    w.utf8 = true;
    // A piece holds at least one byte.
    w.verdictCount = size;
    w.verdicts = static_cast<uint8_t*>(AllocChecked(size ? size : 1));
    EnvReader reader;
    EnvObserver sections = {NotifySections, &w};
    EnvObserver settings = {NotifySettings, &w};
    if (!w.verdicts) goto done;
    memset(w.verdicts, kPieceOther, size);
    // The section reader first: the settings reader's remarks depend on where a line stands.
    OpenEnvBytes(&reader, data, size);
    WatchEnvReader(&reader, &sections);
    if (ParseSections(&reader, &an->openSection) == kSectionsNoMemory) goto done;
    OpenEnvBytes(&reader, data, size);
    WatchEnvReader(&reader, &settings);
    if (ParseSettings(&reader) != 0 || w.noMemory) goto done;
    if (w.unreadOthers > 0) {
        Warn(&w, w.unreadFirst, kGroupSummary, 0, 0,
             "%d key/value line%s from here on %s never read: the settings end %s line %d", w.unreadOthers,
             w.unreadOthers > 1 ? "s" : "", w.unreadOthers > 1 ? "are" : "is", SettingsEndText(&w), w.settingsEndLine);
    }
    CheckValues(&w);
    qsort(an->warnings, static_cast<size_t>(an->warningCount), sizeof an->warnings[0], CompareWarnings);
    rc = 0;
done:
    FreeChecked(w.verdicts);
    FreeChecked(w.lineText);
    return rc;
}

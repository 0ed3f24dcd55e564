// vnpack env: shows a studio how the updater will read an install.env, and warns about the traps.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/alloc.h"
#include "common/sjis.h"
#include "common/str_util.h"
#include "config/sections.h"
#include "config/settings.h"
#include "update/install_lookup.h"
#include "vnpack/cp932_text.h"
#include "vnpack/env_check.h"
#include "vnpack/env_transfer.h"
#include "vnpack/pack_names.h"
#include "vnpack/vnpack.h"

namespace {

constexpr size_t kMaxEnvFileBytes = 64u << 20;
constexpr int kMaxWarnings = 200;
constexpr size_t kUtf8Bytes = 4 * kEnvLineBytes + 16;  // room for every byte as \xNN

// Keys in the order the report lists them. Cut: the buffer the value is read into where it matters.
struct NamedKey {
    const char* key;
    const char* role;
};

const NamedKey kNamedKeys[] = {
    {"REG_GLOBAL", "registry key, first name; \"-\" turns the [reg] transfer off"},
    {"REG_LOCAL", "registry key, second name"},
    {"INI_FILE", "INI file that receives the [ini] lines"},
    {"INI_SECTION", "section of that INI file"},
    {"TITLEBAR", "the updater's title"},
    {"INSTTO", "read, no effect"},
    {"INSTFOL", "read, no effect"},
    {"EXENAME", "the game, started after the update"},
    {"KEYFILE", "file that must exist in the game's folder"},
    {"CHKREG", "registry value holding the installed version"},
    {"CHKREGVER", "lowest installed version that may be updated"},
    {"INSTREADME", "read-me caption; \"-\" means no read-me"},
    {"INSTREADMEFL", "read-me file"},
};

struct TableRow {
    int line;
    int section;  // the section this line sits in for the section reader, or -1
    char key[kEnvLineBytes];
    char value[kEnvLineBytes];
};

struct Warning {
    int line;  // 0: the file as a whole
    char text[kUtf8Bytes + 256];
};

struct Analysis {
    TableRow rows[kMaxSettingLines];  // file order
    int rowCount;
    Warning warnings[kMaxWarnings];
    int warningCount;
    int warningsDropped;
    int openSection;  // left open at the end, or -1
};

Analysis* s_an;
char s_installDir[kInstallPathBytes];  // CP932, for the [ini]/[reg] preview

void Warn(int line, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void Warn(int line, const char* fmt, ...) {
    if (s_an->warningCount == kMaxWarnings) {
        ++s_an->warningsDropped;
        return;
    }
    Warning* w = &s_an->warnings[s_an->warningCount++];
    w->line = line;
    va_list args;
    va_start(args, fmt);
    FormatStrV(w->text, sizeof w->text, fmt, args);
    va_end(args);
}

// CP932 bytes for a message: UTF-8 with odd bytes escaped. Several may be live in one call.
char* Show(const char* cp932, size_t len) {
    static char s_ring[4][kUtf8Bytes];
    static int s_next;
    char* out = s_ring[s_next++ % 4];
    Cp932ToUtf8(cp932, len, out, kUtf8Bytes, kEscapeInvalid);
    return out;
}
char* Show(const char* cp932) { return Show(cp932, strlen(cp932)); }

// The same, cut to its first 60 bytes at a character boundary, for quoting a line.
const char* ShowShort(const char* cp932) {
    const char* end = cp932;
    while (*end && end - cp932 < 60) end = SjisNext(end);
    if (*end == '\0') return Show(cp932);
    char* out = Show(cp932, static_cast<size_t>(end - cp932));
    AppendStr(out, kUtf8Bytes, "...");
    return out;
}

int FindNamedKey(const char* key) {
    for (size_t i = 0; i < sizeof kNamedKeys / sizeof kNamedKeys[0]; ++i) {
        if (strcmp(kNamedKeys[i].key, key) == 0) return static_cast<int>(i);
    }
    return -1;
}

int FindNamedKeyNoCase(const char* key) {
    for (size_t i = 0; i < sizeof kNamedKeys / sizeof kNamedKeys[0]; ++i) {
        if (SjisCompareNoCase(kNamedKeys[i].key, key) == 0) return static_cast<int>(i);
    }
    return -1;
}

bool StartsWithNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix) {
        char a = *text >= 'a' && *text <= 'z' ? static_cast<char>(*text - 32) : *text;
        char b = *prefix >= 'a' && *prefix <= 'z' ? static_cast<char>(*prefix - 32) : *prefix;
        if (a != b) return false;
    }
    return true;
}

const char* const kHeaders[kSectionCount] = {"[delfiles]", "[delfiles_user]", "[ini]", "[reg]"};

// The line the latest entry of key came from, or 0.
int LatestLine(const char* key) {
    for (int i = s_an->rowCount - 1; i >= 0; --i) {
        if (strcmp(s_an->rows[i].key, key) == 0) return s_an->rows[i].line;
    }
    return 0;
}

// Checks the file line by line as bytes: encoding, a UTF-8 mark, bytes hidden behind 0x1A.
void CheckBytes(const unsigned char* data, size_t size) {
    size_t end = size;
    const void* eof = memchr(data, 0x1A, size);
    if (eof) end = static_cast<size_t>(static_cast<const unsigned char*>(eof) - data);
    if (size >= 3 && memcmp(data, "\xEF\xBB\xBF", 3) == 0) {
        Warn(1, "the file begins with a UTF-8 byte-order mark: save it as CP932 (Shift JIS) without one");
    }
    int line = 1;
    int badLines = 0;
    bool anyHigh = false;
    for (size_t start = 0; start < end;) {
        const void* nl = memchr(data + start, '\n', end - start);
        size_t stop = nl ? static_cast<size_t>(static_cast<const unsigned char*>(nl) - data) : end;
        const char* text = reinterpret_cast<const char*>(data + start);
        size_t len = stop - start;
        if (len > 0 && text[len - 1] == '\r') --len;
        for (size_t i = 0; i < len; ++i) anyHigh |= static_cast<unsigned char>(text[i]) >= 0x80;
        if (!IsValidCp932(text, len) && ++badLines <= 5) {
            char shown[kEnvLineBytes];
            CopyBytes(shown, sizeof shown, text, len);
            Warn(line, "not valid CP932: %s", ShowShort(shown));
        }
        start = stop + 1;
        ++line;
    }
    if (badLines > 5) Warn(0, "%d more lines are not valid CP932", badLines - 5);
    if (anyHigh && badLines > 0 && IsValidUtf8(reinterpret_cast<const char*>(data), end)) {
        Warn(0, "the file looks like UTF-8, but the updater reads CP932 (Shift JIS): save it in that encoding");
    }
    if (eof) {
        int at = 1;
        for (size_t i = 0; i < end; ++i) at += data[i] == '\n';
        Warn(at, "byte 0x1A ends the file for both readers: the %zu bytes after it are never read", size - end - 1);
    }
}

// Walks the pieces once, following both readers side by side.
void Analyse(const unsigned char* data, size_t size) {
    EnvReader reader;
    OpenEnvBytes(&reader, data, size);
    char piece[kEnvLineBytes];
    char work[kEnvLineBytes];
    int line = 1;
    int pieceInLine = 0;
    size_t lineLen = 0;
    int pieces = 0;
    bool kvActive = true;
    int kvStopLine = 0;
    bool kvStoppedAtEof = false;
    bool secActive = true;
    int secStopLine = 0;
    int open = -1;
    int unreadOthers = 0;
    int unreadFirst = 0;
    size_t len;
    while ((len = ReadEnvLine(&reader, piece)) != 0) {
        ++pieces;
        // The section reader first: it decides whether this piece is a line of a section.
        int inSection = -1;
        memcpy(work, piece, len + 1);
        TrimSectionLine(work);
        int section = -1;
        int secKind = ClassifySectionLine(work, &section);
        if (!secActive) {
            if (secKind == kSectionLineHeader) {
                Warn(line, "[%s] is never read: the section reader stopped at the line beginning with \"EOF\" "
                           "on line %d", SectionName(section), secStopLine);
            }
        } else if (secKind == kSectionLineStop) {
            secActive = false;
            secStopLine = line;
        } else if (secKind == kSectionLineClose) {
            open = -1;
        } else if (secKind == kSectionLineHeader) {
            open = section;
        } else if (secKind == kSectionLineRaw) {
            inSection = open;
            for (int i = 0; i < kSectionCount; ++i) {
                if (StartsWithNoCase(work, kHeaders[i])) {
                    Warn(line, "\"%s\" is no section header (headers are lower case): %s", ShowShort(work),
                         open >= 0 ? "it is stored as a line of the open section" : "the line is ignored");
                }
            }
            char skip[kUtf8Bytes + 256];
            if (DescribeTransferSkip(open, work, s_installDir, skip, sizeof skip)) Warn(line, "%s", skip);
            if (open >= 0 && strncmp(work, "[EOF]", 5) == 0) {
                Warn(line, "\"[EOF]\" inside [%s] is stored as a line of the section%s", SectionName(open),
                     kvActive ? ", and it ends the settings here" : "");
            }
        }

        // The key/value reader, or what it would have made of a line it never reads.
        memset(work, 0, sizeof work);
        memcpy(work, piece, len);
        bool indented = static_cast<unsigned char>(work[0]) <= 0x20 && work[0] != '\0';
        const char* key = nullptr;
        const char* value = nullptr;
        int kind = SplitSettingLine(work, &key, &value);
        if (kvActive && pieces > kMaxSettingLines) {
            kvActive = false;
            kvStopLine = line;
        }
        if (kvActive) {
            if (kind == kSettingEnd) {
                kvActive = false;
                kvStoppedAtEof = true;
                kvStopLine = line;
            } else if (kind == kSettingEntry) {
                TableRow* row = &s_an->rows[s_an->rowCount++];
                row->line = line;
                row->section = inSection;
                CopyStr(row->key, sizeof row->key, key);
                CopyStr(row->value, sizeof row->value, value);
                SjisReplaceChar(row->value, '|', ' ');
                int named = FindNamedKey(key);
                if (named >= 0 && inSection >= 0) {
                    Warn(line, "this line of [%s] is also read as the setting %s = \"%s\"; end the settings "
                               "with [EOF] before the sections", SectionName(inSection), key, Show(row->value));
                } else if (named < 0 && FindNamedKeyNoCase(key) >= 0 && inSection < 0) {
                    Warn(line, "\"%s\" is not %s: keys are case-sensitive", Show(key),
                         kNamedKeys[FindNamedKeyNoCase(key)].key);
                }
            } else if (kind == kSettingNoValue && FindNamedKey(work) >= 0 && inSection < 0) {
                bool far = false;
                for (size_t i = strlen(work) + 100; i < kEnvLineBytes; ++i) far |= work[i] != '\0';
                Warn(line, "%s has no value%s: the line is dropped", work,
                     far ? " within 99 blanks after the key" : "");
            } else if (kind == kSettingSkip && indented && inSection < 0) {
                char first[kEnvLineBytes];
                size_t i = 0;
                const char* p = piece;
                while (*p && static_cast<unsigned char>(*p) <= 0x20) ++p;
                while (p[i] && static_cast<unsigned char>(p[i]) > 0x20) {
                    first[i] = p[i];
                    ++i;
                }
                first[i] = '\0';
                if (FindNamedKey(first) >= 0) {
                    Warn(line, "%s is indented: a line beginning with a blank is no setting", first);
                }
            }
        } else if (kind == kSettingEntry && secKind == kSectionLineRaw && inSection < 0) {
            // Headers, closing lines and ";" comments are the sections' business, not lost settings.
            if (FindNamedKey(key) >= 0) {
                Warn(line, "%s is never read: the settings end %s line %d", key,
                     kvStoppedAtEof ? "at [EOF] on" : "after 400 lines, on", kvStopLine);
            } else if (unreadOthers++ == 0) {
                unreadFirst = line;
            }
        }

        lineLen += len;
        if (piece[len - 1] == '\n') {
            if (pieceInLine > 0) {
                Warn(line, "the line is %zu bytes long: both readers take it as %d lines of at most 511 bytes",
                     lineLen - 1, pieceInLine + 1);
            }
            ++line;
            pieceInLine = 0;
            lineLen = 0;
        } else {
            ++pieceInLine;
        }
    }
    if (pieceInLine > 1) {
        Warn(line, "the line is %zu bytes long: both readers take it as %d lines of at most 511 bytes", lineLen,
             pieceInLine);
    }
    if (unreadOthers > 0) {
        Warn(unreadFirst, "%d key/value line%s from here on %s never read: the settings end %s line %d",
             unreadOthers, unreadOthers > 1 ? "s" : "", unreadOthers > 1 ? "are" : "is",
             kvStoppedAtEof ? "at [EOF] on" : "after 400 lines, on", kvStopLine);
    }
}

// Warnings about the values the updater will use.
void CheckValues() {
    for (const NamedKey& k : kNamedKeys) {
        const SettingEntry* e = FindSetting(k.key);
        if (!e) continue;
        int line = LatestLine(k.key);
        size_t len = strlen(e->value);
        if (len > kSettingBytes - 1) {
            bool split = false;
            const char* p = e->value;
            while (p < e->value + kSettingBytes - 1) p = SjisNext(p);
            split = p != e->value + kSettingBytes - 1;
            bool readme = strcmp(k.key, kInstReadmeKey) == 0 || strcmp(k.key, kInstReadmeFileKey) == 0;
            Warn(line, "%s is %zu bytes long: %s its first 127 bytes%s", k.key, len,
                 readme ? "the menu uses" : "the updater uses",
                 split ? ", cutting a double-byte character in two" : "");
        }
        if (strcmp(k.key, "CHKREGVER") == 0) {
            const char* p = e->value;
            while (*p == ' ') ++p;
            if (*p == '+' || *p == '-') ++p;
            const char* digits = p;
            while (*p >= '0' && *p <= '9') ++p;
            if (p == digits || *p != '\0' || p - digits > 9) {
                Warn(line, "CHKREGVER \"%s\" is no plain number: the updater reads it as %d", Show(e->value),
                     GetSettingInt("CHKREGVER", 0));
            }
        }
    }
    if (RegList() && GetRegGlobal()[0] == '-') {
        Warn(0, "[reg] has lines but REG_GLOBAL is \"%s\": the registry is not written", Show(GetRegGlobal()));
    }
    if (IniList() && (strcmp(GetIniFile(), "-") == 0 || strcmp(GetIniSection(), "-") == 0)) {
        Warn(0, "[ini] has lines but INI_FILE or INI_SECTION is left at \"-\": the lines go to that name");
    }
}

// In file order, the remarks on the file as a whole last; stable, so a line's remarks keep their order.
void SortWarnings() {
    static Warning s_held;
    Warning* w = s_an->warnings;
    for (int i = 1; i < s_an->warningCount; ++i) {
        unsigned key = static_cast<unsigned>(w[i].line - 1);  // line 0 sorts last
        if (static_cast<unsigned>(w[i - 1].line - 1) <= key) continue;
        s_held = w[i];
        int j = i;
        for (; j > 0 && static_cast<unsigned>(w[j - 1].line - 1) > key; --j) w[j] = w[j - 1];
        w[j] = s_held;
    }
}

struct NamedValue {
    const char* text;  // null: none
    bool isDefault;
    int line;
};

NamedValue ValueOf(int i) {
    const char* key = kNamedKeys[i].key;
    static char s_readme[kSettingBytes];
    static char s_readmeFile[kSettingBytes];
    NamedValue v = {nullptr, FindSetting(key) == nullptr, LatestLine(key)};
    switch (i) {
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
        case 10: v.text = nullptr; break;  // an integer
        case 11: v.text = GetSetting(kInstReadmeKey, s_readme, sizeof s_readme, kInstReadmeDefault); break;
        case 12:
            v.text = GetSetting(kInstReadmeFileKey, s_readmeFile, sizeof s_readmeFile, kInstReadmeFileDefault);
            break;
    }
    return v;
}

const int kNamedCount = static_cast<int>(sizeof kNamedKeys / sizeof kNamedKeys[0]);
const int kChkRegVerIndex = 10;

void PrintText(FILE* out, const char* path) {
    fprintf(out, "%s: how the updater reads it\n\n", path);
    fprintf(out, "Settings table, in lookup order (the latest line first), %d entr%s:\n", s_an->rowCount,
            s_an->rowCount == 1 ? "y" : "ies");
    for (int i = s_an->rowCount - 1; i >= 0; --i) {
        const TableRow* r = &s_an->rows[i];
        int latest = LatestLine(r->key);
        fprintf(out, "  line %4d  %-14s \"%s\"", r->line, Show(r->key), Show(r->value));
        if (latest != r->line) fprintf(out, "  (hidden by line %d)", latest);
        if (r->section >= 0) fprintf(out, "  (a line of [%s])", SectionName(r->section));
        fputc('\n', out);
    }
    fputs("\nNamed settings, as the updater will use them:\n", out);
    for (int i = 0; i < kNamedCount; ++i) {
        NamedValue v = ValueOf(i);
        char where[32];
        if (v.isDefault) {
            CopyStr(where, sizeof where, "default");
        } else {
            FormatStr(where, sizeof where, "line %d", v.line);
        }
        fprintf(out, "  %-13s %-8s ", kNamedKeys[i].key, where);
        if (i == kChkRegVerIndex) {
            fprintf(out, "%d", GetChkRegVer());
        } else if (!v.text) {
            fputs("(none)", out);
        } else {
            fprintf(out, "\"%s\"", Show(v.text));
        }
        fprintf(out, "  (%s)\n", kNamedKeys[i].role);
    }
    fprintf(out, "  %-13s %-8s \"%s\"  (window caption and single-copy guard)\n", "title", "", Show(UpdaterTitle()));
    fputs("\nSections:\n", out);
    for (int s = 0; s < kSectionCount; ++s) {
        int n = 0;
        for (const SectionLine* l = GetSectionList(s); l; l = l->next) ++n;
        fprintf(out, "  [%s] %d line%s%s\n", SectionName(s), n, n == 1 ? "" : "s", n ? ":" : "");
        for (const SectionLine* l = GetSectionList(s); l; l = l->next) fprintf(out, "    %s\n", Show(l->text));
    }
    PrintTransferPreview(out, s_installDir);
    if (s_an->warningCount == 0) {
        fputs("\nNo warnings.\n", out);
        return;
    }
    fprintf(out, "\nWarnings (%d):\n", s_an->warningCount + s_an->warningsDropped);
    for (int i = 0; i < s_an->warningCount; ++i) {
        const Warning* w = &s_an->warnings[i];
        if (w->line) {
            fprintf(out, "  line %d: %s\n", w->line, w->text);
        } else {
            fprintf(out, "  %s\n", w->text);
        }
    }
    if (s_an->warningsDropped) fprintf(out, "  ... and %d more\n", s_an->warningsDropped);
}

void PrintJsonCp932(FILE* out, const char* cp932) {
    static char s_utf8[kUtf8Bytes];
    Cp932ToUtf8(cp932, strlen(cp932), s_utf8, sizeof s_utf8, kReplaceInvalid);
    PrintJsonString(out, s_utf8);
}

void PrintJson(FILE* out, const char* path, const char* stopReason) {
    fputs("{\n  \"file\": ", out);
    PrintJsonString(out, path);
    fputs(",\n  \"updaterStops\": ", out);
    if (stopReason) {
        fputs("{\"section\": ", out);
        PrintJsonString(out, SectionName(s_an->openSection));
        fputs(", \"reason\": ", out);
        PrintJsonString(out, stopReason);
        fputs("}", out);
    } else {
        fputs("null", out);
    }
    fputs(",\n  \"table\": [", out);
    for (int i = s_an->rowCount - 1; i >= 0; --i) {
        const TableRow* r = &s_an->rows[i];
        fprintf(out, "%s\n    {\"line\": %d, \"key\": ", i == s_an->rowCount - 1 ? "" : ",", r->line);
        PrintJsonCp932(out, r->key);
        fputs(", \"value\": ", out);
        PrintJsonCp932(out, r->value);
        fputs(", \"section\": ", out);
        if (r->section >= 0) {
            PrintJsonString(out, SectionName(r->section));
        } else {
            fputs("null", out);
        }
        fputs("}", out);
    }
    fputs("\n  ],\n  \"settings\": {", out);
    for (int i = 0; i < kNamedCount; ++i) {
        NamedValue v = ValueOf(i);
        fprintf(out, "%s\n    \"%s\": {\"value\": ", i ? "," : "", kNamedKeys[i].key);
        if (i == kChkRegVerIndex) {
            fprintf(out, "%d", GetChkRegVer());
        } else if (v.text) {
            PrintJsonCp932(out, v.text);
        } else {
            fputs("null", out);
        }
        fprintf(out, ", \"default\": %s, \"line\": ", v.isDefault ? "true" : "false");
        if (v.isDefault) {
            fputs("null", out);
        } else {
            fprintf(out, "%d", v.line);
        }
        const SettingEntry* e = FindSetting(kNamedKeys[i].key);
        fprintf(out, ", \"cut\": %s}", e && strlen(e->value) > kSettingBytes - 1 ? "true" : "false");
    }
    fputs("\n  },\n  \"updaterTitle\": ", out);
    PrintJsonCp932(out, UpdaterTitle());
    fputs(",\n  \"sections\": {", out);
    for (int s = 0; s < kSectionCount; ++s) {
        fprintf(out, "%s\n    \"%s\": [", s ? "," : "", SectionName(s));
        for (const SectionLine* l = GetSectionList(s); l; l = l->next) {
            PrintJsonCp932(out, l->text);
            if (l->next) fputs(", ", out);
        }
        fputs("]", out);
    }
    fputs("\n  },\n  \"transfer\": ", out);
    PrintTransferPreviewJson(out, s_installDir);
    fputs(",\n  \"warnings\": [", out);
    for (int i = 0; i < s_an->warningCount; ++i) {
        const Warning* w = &s_an->warnings[i];
        fprintf(out, "%s\n    {\"line\": ", i ? "," : "");
        if (w->line) {
            fprintf(out, "%d", w->line);
        } else {
            fputs("null", out);
        }
        fputs(", \"text\": ", out);
        PrintJsonString(out, w->text);
        fputs("}", out);
    }
    fprintf(out, "\n  ],\n  \"warningsLeftOut\": %d\n}\n", s_an->warningsDropped);
}

// Reads the whole file. Returns 0, or an exit code after the message.
int ReadEnvFile(const char* path, unsigned char** data, size_t* size) {
    *data = nullptr;
    *size = 0;
    FILE* f = fopen(path, "rb");
    if (!f) return Fail(kExitBadInput, path, "cannot open it");
    int rc = kExitBadInput;
    long end = -1;
    unsigned char* buf = nullptr;
    if (fseek(f, 0, SEEK_END) == 0) end = ftell(f);
    if (end < 0 || fseek(f, 0, SEEK_SET) != 0) {
        rc = Fail(kExitBadInput, path, "cannot read it");
        goto done;
    }
    if (static_cast<unsigned long>(end) > kMaxEnvFileBytes) {
        rc = Fail(kExitBadInput, path, "%ld bytes: too large for an install.env", end);
        goto done;
    }
    buf = static_cast<unsigned char*>(AllocChecked(static_cast<size_t>(end) + 1));
    if (!buf) {
        rc = kExitUsage;
        goto done;
    }
    if (fread(buf, 1, static_cast<size_t>(end), f) != static_cast<size_t>(end)) {
        FreeChecked(buf);
        rc = Fail(kExitBadInput, path, "cannot read it");
        goto done;
    }
    *data = buf;
    *size = static_cast<size_t>(end);
    rc = 0;
done:
    fclose(f);
    return rc;
}

}  // namespace

int RunEnv(int argc, char** argv) {
    const char* path = nullptr;
    bool json = false;
    CopyStr(s_installDir, sizeof s_installDir, kSampleInstallDir);
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (strcmp(argv[i], "--install-dir") == 0 && i + 1 < argc) {
            if (ConvertUtf8ToCp932(argv[++i], s_installDir, sizeof s_installDir) != 0 || s_installDir[0] == '\0') {
                return Fail(kExitUsage, nullptr, "--install-dir: a folder of 1 to 259 bytes in CP932 is needed");
            }
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return UsageError("env");
        } else if (path) {
            return UsageError("env");
        } else {
            path = argv[i];
        }
    }
    if (!path) return UsageError("env");
    unsigned char* data;
    size_t size;
    int rc = ReadEnvFile(path, &data, &size);
    if (rc != 0) return rc;

    s_an = static_cast<Analysis*>(AllocChecked(sizeof(Analysis)));
    if (!s_an) {
        FreeChecked(data);
        return kExitUsage;
    }
    memset(s_an, 0, sizeof *s_an);
    ResetSettings();
    ResetSections();
    EnvReader reader;
    OpenEnvBytes(&reader, data, size);
    int open = -1;
    if (ParseSettings(&reader) != 0) rc = kExitUsage;
    OpenEnvBytes(&reader, data, size);
    int status = ParseSections(&reader, &open);
    if (status == kSectionsNoMemory) rc = kExitUsage;
    if (rc == 0) {
        CheckBytes(data, size);
        Analyse(data, size);
        s_an->openSection = open;
        CheckValues();
        SortWarnings();
        char reason[1024];
        bool stops = CheckEnvForUpdater(data, size, reason, sizeof reason) != 0;
        if (json) {
            PrintJson(stdout, path, stops ? reason : nullptr);
        } else {
            PrintText(stdout, path);
        }
        fflush(stdout);
        if (stops) rc = Fail(kExitBadInput, path, "%s", reason);
    }
    ResetSettings();
    ResetSections();
    FreeChecked(s_an);
    s_an = nullptr;
    FreeChecked(data);
    return rc;
}

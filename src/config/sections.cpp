#include "config/sections.h"

#include <cstring>

#include "common/alloc.h"
#include "common/str_util.h"

struct SectionInfo {
    const char* header;
    const char* name;
};

static const SectionInfo kSections[kSectionCount] = {
    {"[delfiles]", "delfiles"},
    {"[delfiles_user]", "delfiles_user"},
    {"[ini]", "ini"},
    {"[reg]", "reg"},
};

// Each line is one block: the node, then its text.
static SectionLine* s_first[kSectionCount];
static SectionLine* s_last[kSectionCount];

static bool StartsWith(const char* text, const char* prefix) { return strncmp(text, prefix, strlen(prefix)) == 0; }

void TrimSectionLine(char* line) {
    size_t len = strlen(line);
    while (len > 0 && static_cast<unsigned char>(line[len - 1]) <= 0x20) line[--len] = '\0';
}

int ClassifySectionLine(const char* line, int* section) {
    if (line[0] == '\0' || StartsWith(line, "//") || line[0] == ';') return kSectionLineSkip;
    if (StartsWith(line, "EOF")) return kSectionLineStop;
    if (line[0] == '-') return kSectionLineClose;
    for (int i = 0; i < kSectionCount; ++i) {
        if (StartsWith(line, kSections[i].header)) {
            *section = i;
            return kSectionLineHeader;
        }
    }
    return kSectionLineRaw;
}

static void ClearList(int section) {
    SectionLine* line = s_first[section];
    while (line) {
        SectionLine* next = const_cast<SectionLine*>(line->next);
        FreeChecked(line);
        line = next;
    }
    s_first[section] = s_last[section] = nullptr;
}

static int AppendLine(int section, const char* text) {
    size_t len = strlen(text);
    SectionLine* line = static_cast<SectionLine*>(AllocChecked(sizeof(SectionLine) + len + 1));
    if (!line) return -1;
    char* copy = reinterpret_cast<char*>(line + 1);
    memcpy(copy, text, len + 1);
    line->text = copy;
    line->next = nullptr;
    if (s_last[section]) {
        s_last[section]->next = line;
    } else {
        s_first[section] = line;
    }
    s_last[section] = line;
    return 0;
}

static void TellSection(EnvReader* reader, int kind, int how, int section, const char* line) {
    EnvEvent e = {};
    e.kind = kind;
    e.how = how;
    e.section = section;
    e.text = line;
    e.len = line ? strlen(line) : 0;
    TellEnvObserver(reader, &e);
}

static int WalkSections(EnvReader* reader, bool store, int* openSection) {
    char line[kEnvLineBytes];
    int open = -1;
    bool stopped = false;
    while (ReadEnvLine(reader, line) != 0) {
        TrimSectionLine(line);
        int section = -1;
        int kind = ClassifySectionLine(line, &section);
        if (stopped) {
            TellSection(reader, kSectionUnread, kind, section, line);
        } else if (kind == kSectionLineStop) {
            TellSection(reader, kSectionsEnded, kind, open, line);
            // A watcher hears how the rest would have been taken; nothing more is stored.
            if (!reader->observer) break;
            stopped = true;
        } else if (kind == kSectionLineSkip) {
            TellSection(reader, kSectionLineSkipped, kind, -1, line);
        } else if (kind == kSectionLineClose) {
            TellSection(reader, kSectionClosed, kind, open, line);
            open = -1;
        } else if (kind == kSectionLineHeader) {
            // A repeated header starts its list afresh.
            if (store) ClearList(section);
            open = section;
            TellSection(reader, kSectionOpened, kind, section, line);
        } else if (open < 0) {
            TellSection(reader, kSectionLineDropped, kind, -1, line);
        } else {
            if (store && AppendLine(open, line) != 0) {
                *openSection = -1;
                return kSectionsNoMemory;
            }
            TellSection(reader, kSectionLineKept, kind, open, line);
        }
    }
    *openSection = open;
    return open >= 0 ? kSectionsOpen : kSectionsOk;
}

int ParseSections(EnvReader* reader, int* openSection) { return WalkSections(reader, true, openSection); }

int CheckSections(EnvReader* reader, int* openSection) { return WalkSections(reader, false, openSection); }

void FormatSectionsFailure(int status, const char* path, int section, char* buf, size_t bufSize) {
    if (status == kSectionsOpen) {
        // The message names the file "設定.env" whatever its real name.
        FormatStr(buf, bufSize, "[設定.env]の[%s]が終了していません", SectionName(section));
    } else {
        FormatStr(buf, bufSize, "[%s]ファイルを開けませんでした。", path);
    }
}

void ResetSections() {
    for (int i = 0; i < kSectionCount; ++i) ClearList(i);
}

const char* SectionHeader(int section) { return section >= 0 && section < kSectionCount ? kSections[section].header : ""; }

const char* SectionName(int section) { return section >= 0 && section < kSectionCount ? kSections[section].name : ""; }

const SectionLine* GetSectionList(int section) {
    return section >= 0 && section < kSectionCount ? s_first[section] : nullptr;
}

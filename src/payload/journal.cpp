#include "payload/journal.h"

#include <cstring>

#include "common/alloc.h"
#include "common/grow_array.h"
#include "common/sjis.h"
#include "common/str_util.h"

const char kStageJournalName[] = "~vnjournal.tmp";

// The journal is text, one step a line, each written before the step it names:
//   D <name>          a folder this run creates
//   T <id> <name>     the new file for <name> is written to ~vn<id>.tmp beside it
//   C                 every file checked out and no destination is in use: the moves begin
//   A <id> <aside>    the entry with temporary <id> moves into place, its old file first to
//                     ~vn<aside>.tmp, or "-" when there is none
//   U                 a move failed: this run undoes the commit
// Names are relative to the game folder; ids are five upper-case hex digits.
static const char kJournalHeader[] = "vnupdate journal 1";

int FormatJournalPath(const char* folder, char* dst, size_t dstSize) {
    return FormatStr(dst, dstSize, "%s\\%s", folder, kStageJournalName);
}

// A name below the game folder as the journal may hold it: one the payload could have given, with
// no control byte that could end a line, and not the journal itself.
bool IsJournalName(const char* folder, const char* rel, bool file) {
    for (const char* p = rel; *p; ++p) {
        if (static_cast<unsigned char>(*p) < 0x20) return false;
    }
    if (CheckPayloadName(rel) != kPayloadOk || SjisCompareNoCase(rel, kStageJournalName) == 0) return false;
    char path[kPayloadNameBytes];
    char temp[kPayloadNameBytes];
    if (JoinPayloadPath(folder, rel, path, sizeof path) != 0) return false;
    return !file || FormatStagePath(path, 0, temp, sizeof temp) == 0;
}

// Appends one line to the journal file, creating it with its header first. Returns 0 or -1.
int WriteJournalLine(StageJournal* journal, const char* line) {
    char path[kPayloadNameBytes];
    char text[sizeof kJournalHeader + kJournalLineBytes];
    if (FormatJournalPath(journal->folder, path, sizeof path) != 0) return -1;
    if (FormatStr(text, sizeof text, "%s%s%s\n", journal->journaled ? "" : kJournalHeader, journal->journaled ? "" : "\n",
                  line) != 0)
        return -1;
    journal->journaled = true;  // even a failed write may have left part of the file
    return journal->fs->appendFile(journal->ctx, path, text, strlen(text));
}

int EndStageJournal(StageJournal* journal) {
    if (!journal->journaled) return 0;
    if (journal->unclean) return -1;
    char path[kPayloadNameBytes];
    char aside[kPayloadNameBytes];
    // An old file still aside is the next run's to delete: the journal is how it knows it is ours.
    for (size_t i = 0; i < journal->count; ++i) {
        const StageEntry* e = &journal->entries[i];
        if (e->hasAside && FormatStagePath(e->dest, e->asideId, aside, sizeof aside) == 0 && StagePathExists(journal, aside))
            return -1;
    }
    if (FormatJournalPath(journal->folder, path, sizeof path) != 0) return -1;
    if (StagePathExists(journal, path) && journal->fs->removeFile(journal->ctx, path) != 0) return -1;
    journal->journaled = false;
    return 0;
}

// Five upper-case hex digits, as the journal writes them.
static int ParseJournalId(const char* s, uint32_t* id) {
    uint32_t v = 0;
    for (int i = 0; i < 5; ++i) {
        if (!((s[i] >= '0' && s[i] <= '9') || (s[i] >= 'A' && s[i] <= 'F'))) return -1;
        v = v * 16 + static_cast<uint32_t>(s[i] <= '9' ? s[i] - '0' : s[i] - 'A' + 10);
    }
    *id = v;
    return 0;
}

struct JournalParse {
    uint8_t* used;  // a bit per id: each names one file
    size_t cursor;  // aside lines come in entry order
};

static int UseId(StageJournal* journal, JournalParse* parse, uint32_t id) {
    uint8_t bit = static_cast<uint8_t>(1u << (id & 7));
    if (parse->used[id >> 3] & bit) return -1;
    parse->used[id >> 3] |= bit;
    return ReserveStageId(journal, id);
}

static int ParseJournalLine(StageJournal* journal, JournalParse* parse, const char* line) {
    uint32_t id = 0;
    uint32_t aside = 0;
    char path[kPayloadNameBytes];
    if (strcmp(line, "C") == 0) {
        if (journal->committing) return -1;
        journal->committing = true;
        return 0;
    }
    if (strcmp(line, "U") == 0) {
        if (!journal->committing || journal->undoing) return -1;
        journal->undoing = true;
        return 0;
    }
    if (line[0] == 'A' && line[1] == ' ') {
        if (!journal->committing || journal->undoing) return -1;
        if (ParseJournalId(line + 2, &id) != 0 || line[7] != ' ') return -1;
        bool none = strcmp(line + 8, "-") == 0;
        if (!none && (ParseJournalId(line + 8, &aside) != 0 || line[13] != '\0')) return -1;
        while (parse->cursor < journal->count && journal->entries[parse->cursor].tempId != id) ++parse->cursor;
        if (parse->cursor == journal->count || (!none && UseId(journal, parse, aside) != 0)) return -1;
        StageEntry* e = &journal->entries[parse->cursor++];
        e->begun = true;
        e->asideId = aside;
        e->asideNamed = !none;
        return 0;
    }
    if (journal->committing) return -1;  // folders and files are all entered before the commit
    if (line[0] == 'D' && line[1] == ' ') {
        if (!IsJournalName(journal->folder, line + 2, false)) return -1;
        JoinPayloadPath(journal->folder, line + 2, path, sizeof path);
        return AddFolderEntry(journal, path);
    }
    if (line[0] == 'T' && line[1] == ' ') {
        if (ParseJournalId(line + 2, &id) != 0 || line[7] != ' ') return -1;
        if (!IsJournalName(journal->folder, line + 8, true) || UseId(journal, parse, id) != 0) return -1;
        void* items = journal->entries;
        if (GrowArray(&items, journal->count, &journal->capacity, sizeof *journal->entries) != 0) return -1;
        journal->entries = static_cast<StageEntry*>(items);
        StageEntry* e = &journal->entries[journal->count++];
        memset(e, 0, sizeof *e);
        JoinPayloadPath(journal->folder, line + 8, e->dest, sizeof e->dest);
        e->tempId = id;
        return 0;
    }
    return -1;
}

int ParseStageJournal(const char* bytes, size_t n, StageJournal* journal) {
    int rc = -1;
    size_t pos = 0;
    bool header = false;
    JournalParse parse = {static_cast<uint8_t*>(AllocChecked(kStageIdCount / 8)), 0};
    if (!parse.used) return -1;
    memset(parse.used, 0, kStageIdCount / 8);
    journal->journaled = true;
    while (pos < n) {
        const char* line = bytes + pos;
        const char* end = static_cast<const char*>(memchr(line, '\n', n - pos));
        if (!end) break;  // torn by a kill while it was written: its step was never taken
        size_t len = static_cast<size_t>(end - line);
        char text[kJournalLineBytes];
        pos += len + 1;
        if (len >= sizeof text || memchr(line, '\0', len)) goto done;
        memcpy(text, line, len);
        text[len] = '\0';
        if (!header) {
            if (strcmp(text, kJournalHeader) != 0) goto done;
            header = true;
        } else if (ParseJournalLine(journal, &parse, text) != 0) {
            goto done;
        }
    }
    // A journal cut inside its header was written by a run that had not begun a step.
    if (!header && (n > sizeof kJournalHeader || memcmp(bytes, kJournalHeader, n) != 0)) goto done;
    rc = 0;
done:
    FreeChecked(parse.used);
    return rc;
}

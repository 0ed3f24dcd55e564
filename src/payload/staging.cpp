#include "payload/staging.h"

#include <cstring>

#include "common/alloc.h"
#include "common/grow_array.h"
#include "common/sjis.h"
#include "common/str_util.h"
#include "payload/journal.h"

static StageStepHook s_stepHook;

void SetStageStepHook(StageStepHook hook) { s_stepHook = hook; }

void ReachStageStep(const char* step, uint32_t n) {
    if (s_stepHook) s_stepHook(step, n);
}

void InitStageJournal(StageJournal* journal, const StageFs* fs, void* ctx, const char* folder, uint32_t seed) {
    memset(journal, 0, sizeof *journal);
    journal->fs = fs;
    journal->ctx = ctx;
    CopyStr(journal->folder, sizeof journal->folder, folder);
    journal->seed = seed % kStageIdCount;
}

void FreeStageJournal(StageJournal* journal) {
    FreeChecked(journal->entries);
    FreeChecked(journal->folders);
    FreeChecked(journal->reserved);
    memset(journal, 0, sizeof *journal);
}

static int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The id of a path whose file name has the temporary form (in any case), or -1.
static int64_t FindStageId(const char* path) {
    const char* sep = SjisFindLastChar(path, '\\');
    const char* name = sep ? sep + 1 : path;
    if (strlen(name) != 12 || SjisCompareNoCase(name + 8, kStageSuffix) != 0) return -1;
    if ((name[0] != '~') || (name[1] | 0x20) != 'v' || (name[2] | 0x20) != 'n') return -1;
    int64_t id = 0;
    for (int i = 3; i < 8; ++i) {
        int digit = HexValue(name[i]);
        if (digit < 0) return -1;
        id = id * 16 + digit;
    }
    return id;
}

static bool IsIssued(const StageJournal* journal, uint32_t id) {
    return (id - journal->seed) % kStageIdCount < journal->issued;
}

static bool IsReserved(const StageJournal* journal, uint32_t id) {
    for (size_t i = 0; i < journal->reservedCount; ++i) {
        if (journal->reserved[i] == id) return true;
    }
    return false;
}

int ReserveStageId(StageJournal* journal, uint32_t id) {
    void* items = journal->reserved;
    if (GrowArray(&items, journal->reservedCount, &journal->reservedCapacity, sizeof *journal->reserved) != 0) return -1;
    journal->reserved = static_cast<uint32_t*>(items);
    journal->reserved[journal->reservedCount++] = id;
    return 0;
}

// Hands out the next id whose name beside dest is free. Ids are never reused within a run, so a
// temporary name cannot meet another one of this run even after its file has moved.
static int TakeStageId(StageJournal* journal, const char* dest, uint32_t* id, char* path, size_t pathSize) {
    while (journal->issued < kStageIdCount) {
        uint32_t next = (journal->seed + journal->issued++) % kStageIdCount;
        if (IsReserved(journal, next)) continue;
        if (FormatStagePath(dest, next, path, pathSize) != 0) return -1;
        bool readOnly = false;
        if (journal->fs->getKind(journal->ctx, path, &readOnly) != kStageMissing) continue;
        *id = next;
        return 0;
    }
    return -1;
}

// A payload name of the temporary form must not be one this run has written to already; an id
// not handed out yet is kept from being handed out.
static int ReserveStageName(StageJournal* journal, const char* dest) {
    int64_t found = FindStageId(dest);
    if (found < 0) return 0;
    uint32_t id = static_cast<uint32_t>(found);
    if (IsIssued(journal, id)) {
        char path[kPayloadNameBytes];
        for (size_t i = 0; i < journal->count; ++i) {
            const StageEntry* e = &journal->entries[i];
            if (FormatStagePath(e->dest, e->tempId, path, sizeof path) == 0 && SjisCompareNoCase(path, dest) == 0) return -1;
        }
        return 0;
    }
    if (IsReserved(journal, id)) return 0;
    return ReserveStageId(journal, id);
}

// path relative to the game folder, or null when it does not lie below it.
static const char* RelativeName(const StageJournal* journal, const char* path) {
    size_t n = strlen(journal->folder);
    if (strncmp(path, journal->folder, n) != 0 || path[n] != '\\') return nullptr;
    return path + n + 1;
}

int AddStagedFile(StageJournal* journal, const char* dest, char* temp, size_t tempSize) {
    const char* rel = RelativeName(journal, dest);
    if (!rel || !IsJournalName(journal->folder, rel, true)) return -1;
    if (ReserveStageName(journal, dest) != 0) return -1;
    void* items = journal->entries;
    if (GrowArray(&items, journal->count, &journal->capacity, sizeof *journal->entries) != 0) return -1;
    journal->entries = static_cast<StageEntry*>(items);
    StageEntry* e = &journal->entries[journal->count];
    memset(e, 0, sizeof *e);
    if (CopyStr(e->dest, sizeof e->dest, dest) != 0) return -1;
    if (TakeStageId(journal, dest, &e->tempId, temp, tempSize) != 0) return -1;
    char line[kJournalLineBytes];
    if (FormatStr(line, sizeof line, "T %05X %s", static_cast<unsigned>(e->tempId), rel) != 0) return -1;
    if (WriteJournalLine(journal, line) != 0) return -1;
    e->state = kStageWritten;
    ++journal->count;
    return 0;
}

int AddFolderEntry(StageJournal* journal, const char* path) {
    void* items = journal->folders;
    if (GrowArray(&items, journal->folderCount, &journal->folderCapacity, sizeof *journal->folders) != 0) return -1;
    journal->folders = static_cast<char(*)[kPayloadNameBytes]>(items);
    if (CopyStr(journal->folders[journal->folderCount], kPayloadNameBytes, path) != 0) return -1;
    ++journal->folderCount;
    return 0;
}

int AddCreatedFolder(StageJournal* journal, const char* path) {
    const char* rel = RelativeName(journal, path);
    char line[kJournalLineBytes];
    if (!rel || !IsJournalName(journal->folder, rel, false)) return -1;
    if (FormatStr(line, sizeof line, "D %s", rel) != 0 || WriteJournalLine(journal, line) != 0) return -1;
    return AddFolderEntry(journal, path);
}

bool StagePathExists(const StageJournal* journal, const char* path) {
    bool readOnly = false;
    return journal->fs->getKind(journal->ctx, path, &readOnly) != kStageMissing;
}

// Puts one entry back: the new file goes, the old one returns. Returns 0, or -1 when the entry
// could not be undone (its old file then stays at the aside name).
static int UndoEntry(StageJournal* journal, StageEntry* e) {
    const StageFs* fs = journal->fs;
    char temp[kPayloadNameBytes];
    char aside[kPayloadNameBytes];
    FormatStagePath(e->dest, e->tempId, temp, sizeof temp);
    FormatStagePath(e->dest, e->asideId, aside, sizeof aside);
    int rc = 0;
    if (e->state == kStagePlaced) {
        // The old file can only return once the new one has left its place.
        if (fs->removeFile(journal->ctx, e->dest) != 0) return -1;
        e->state = kStageGone;
    } else if (e->state == kStageWritten) {
        // The file may never have been opened; a temporary left behind is not the game's data.
        if (StagePathExists(journal, temp) && fs->removeFile(journal->ctx, temp) != 0)
            rc = -1;
        else
            e->state = kStageGone;
    }
    if (e->hasAside) {
        if (fs->rename(journal->ctx, aside, e->dest) != 0) return -1;
        e->hasAside = false;
    }
    return rc;
}

// Removes this run's folders, deepest first. One the player has put something into stays.
static int RemoveCreatedFolders(StageJournal* journal) {
    int rc = 0;
    for (size_t i = journal->folderCount; i-- > 0;) {
        if (StagePathExists(journal, journal->folders[i]) && journal->fs->removeDir(journal->ctx, journal->folders[i]) != 0)
            rc = -1;
    }
    journal->folderCount = 0;
    return rc;
}

int RollBackStaged(StageJournal* journal) {
    int rc = 0;
    // Once the moves began, the next run must undo rather than finish them if this one is killed.
    if (journal->committing && !journal->undoing) {
        if (WriteJournalLine(journal, "U") != 0) rc = -1;
        journal->undoing = true;
    }
    // Backwards, so that a name the payload holds twice gets its first old file back last.
    for (size_t i = journal->count; i > 0; --i) {
        if (UndoEntry(journal, &journal->entries[i - 1]) != 0) rc = -1;
    }
    if (RemoveCreatedFolders(journal) != 0) rc = -1;
    if (rc != 0) journal->unclean = true;
    return rc;
}

// A destination that is a folder, read-only or in use (a running game, a library it loaded) cannot
// be replaced: finding out before anything moves keeps the folder whole.
static int CheckReplaceable(StageJournal* journal, const char* dest) {
    bool readOnly = false;
    int kind = journal->fs->getKind(journal->ctx, dest, &readOnly);
    if (kind == kStageMissing) return 0;
    // Some systems let an administrator replace a read-only file: refuse it here instead.
    if (kind == kStageFolder || readOnly) return -1;
    return journal->fs->openExclusive(journal->ctx, dest);
}

// Moves one staged file into place, its old file aside first. Returns 0 or -1.
static int PlaceEntry(StageJournal* journal, StageEntry* e, uint32_t* moves) {
    const StageFs* fs = journal->fs;
    char temp[kPayloadNameBytes];
    char aside[kPayloadNameBytes];
    bool replaces = StagePathExists(journal, e->dest);
    if (!e->begun) {
        char line[kJournalLineBytes];
        char asideText[8] = "-";
        if (replaces) {
            if (TakeStageId(journal, e->dest, &e->asideId, aside, sizeof aside) != 0) return -1;
            FormatStr(asideText, sizeof asideText, "%05X", static_cast<unsigned>(e->asideId));
        }
        FormatStr(line, sizeof line, "A %05X %s", static_cast<unsigned>(e->tempId), asideText);
        if (WriteJournalLine(journal, line) != 0) return -1;
        e->begun = true;
        e->asideNamed = replaces;
    }
    if (replaces) {
        // A journaled aside name taken meanwhile by something else is not ours to overwrite; a
        // destination that appeared since the moves began is not ours either.
        if (!e->asideNamed || FormatStagePath(e->dest, e->asideId, aside, sizeof aside) != 0 ||
            StagePathExists(journal, aside))
            return -1;
        ReachStageStep("move", ++*moves);
        if (fs->rename(journal->ctx, e->dest, aside) != 0) return -1;
        e->hasAside = true;
    }
    if (FormatStagePath(e->dest, e->tempId, temp, sizeof temp) != 0) return -1;
    ReachStageStep("move", ++*moves);
    if (fs->rename(journal->ctx, temp, e->dest) != 0) return -1;
    e->state = kStagePlaced;
    return 0;
}

// Deletes the old files of a finished commit; one whose destination is missing is the only copy
// of that file and stays. Returns 0, or -1 when one is left.
static int DeleteAsides(StageJournal* journal) {
    char aside[kPayloadNameBytes];
    int rc = 0;
    for (size_t i = 0; i < journal->count; ++i) {
        StageEntry* e = &journal->entries[i];
        if (!e->asideNamed || FormatStagePath(e->dest, e->asideId, aside, sizeof aside) != 0) continue;
        if (!StagePathExists(journal, aside)) continue;
        if (!StagePathExists(journal, e->dest) || journal->fs->removeFile(journal->ctx, aside) != 0)
            rc = -1;
        else
            e->hasAside = false;
    }
    return rc;
}

// The moves of a commit, from the first entry not yet placed. Returns 0 or -1.
static int PlaceAll(StageJournal* journal) {
    uint32_t moves = 0;
    for (size_t i = 0; i < journal->count; ++i) {
        StageEntry* e = &journal->entries[i];
        if (e->state == kStageWritten && PlaceEntry(journal, e, &moves) != 0) return -1;
    }
    return 0;
}

int CommitStaged(StageJournal* journal) {
    for (size_t i = 0; i < journal->count; ++i) {
        if (CheckReplaceable(journal, journal->entries[i].dest) != 0) goto fail;
    }
    if (journal->count > 0 && WriteJournalLine(journal, "C") != 0) goto fail;
    journal->committing = journal->count > 0;
    if (PlaceAll(journal) != 0) goto fail;
    // Old files that stay (the journal then stays too) are removed by the next run.
    DeleteAsides(journal);
    journal->folderCount = 0;
    return 0;
fail:
    RollBackStaged(journal);
    return -1;
}

// Marks what the disk shows: a file whose temporary is gone was placed (or, while undoing, was
// either placed or already undone); an old file at its aside name sits there.
static void FindEntryStates(StageJournal* journal) {
    char temp[kPayloadNameBytes];
    char aside[kPayloadNameBytes];
    for (size_t i = 0; i < journal->count; ++i) {
        StageEntry* e = &journal->entries[i];
        FormatStagePath(e->dest, e->tempId, temp, sizeof temp);
        // While undoing, a file whose moves never began was never placed: its temporary is gone
        // because the undoing removed it.
        e->state = StagePathExists(journal, temp)    ? kStageWritten
                   : (e->begun || !journal->undoing) ? kStagePlaced
                                                     : kStageGone;
        e->hasAside = e->asideNamed && FormatStagePath(e->dest, e->asideId, aside, sizeof aside) == 0 &&
                      StagePathExists(journal, aside);
    }
}

// Before the commit: only temporary files and new folders exist, and go.
static int DiscardStaged(StageJournal* journal) {
    FindEntryStates(journal);
    int rc = 0;
    for (size_t i = 0; i < journal->count; ++i) {
        if (journal->entries[i].state == kStagePlaced) journal->entries[i].state = kStageGone;  // never made
    }
    for (size_t i = journal->count; i-- > 0;) {
        if (UndoEntry(journal, &journal->entries[i]) != 0) rc = -1;
    }
    // A folder the player has put something into since stays, and is no longer this run's.
    RemoveCreatedFolders(journal);
    return rc;
}

// The commit began: every file checked out, so it is finished, unless the interrupted run had
// begun undoing it.
static int FinishStaged(StageJournal* journal) {
    FindEntryStates(journal);
    if (journal->undoing) {
        for (size_t i = journal->count; i-- > 0;) {
            StageEntry* e = &journal->entries[i];
            // A placed file without an old one at its aside name was new, unless it was undone
            // already (then its destination is gone, or holds the old file back from its aside).
            if (e->state == kStagePlaced && (!StagePathExists(journal, e->dest) || (!e->hasAside && e->asideNamed)))
                e->state = kStageGone;
            if (e->state == kStageWritten && e->hasAside && StagePathExists(journal, e->dest)) return -1;
        }
        int rc = 0;
        for (size_t i = journal->count; i-- > 0;) {
            if (UndoEntry(journal, &journal->entries[i]) != 0) rc = -1;
        }
        RemoveCreatedFolders(journal);
        return rc;
    }
    for (size_t i = 0; i < journal->count; ++i) {
        StageEntry* e = &journal->entries[i];
        if (e->state == kStageWritten && CheckReplaceable(journal, e->dest) != 0) return -1;
    }
    if (PlaceAll(journal) != 0) return -1;
    return DeleteAsides(journal);
}

int RecoverStaged(const StageFs* fs, void* ctx, const char* folder, uint32_t seed) {
    char path[kPayloadNameBytes];
    bool readOnly = false;
    if (FormatJournalPath(folder, path, sizeof path) != 0) return -1;
    int kind = fs->getKind(ctx, path, &readOnly);
    if (kind == kStageMissing) return 0;
    if (kind != kStageFile) return -1;
    char* bytes = nullptr;
    size_t n = 0;
    if (fs->loadFile(ctx, path, kStageJournalMaxBytes, &bytes, &n) != 0) return -1;
    StageJournal journal;
    InitStageJournal(&journal, fs, ctx, folder, seed);
    int rc = ParseStageJournal(bytes, n, &journal);
    FreeChecked(bytes);
    if (rc == 0) rc = journal.committing ? FinishStaged(&journal) : DiscardStaged(&journal);
    if (rc == 0 && fs->removeFile(ctx, path) != 0) rc = -1;
    FreeStageJournal(&journal);
    return rc;
}

#include "payload/staging.h"

#include <cstring>

#include "common/alloc.h"
#include "common/sjis.h"
#include "common/str_util.h"

static const char kStagePrefix[] = "~vn";
static const char kStageSuffix[] = ".tmp";

void InitStageJournal(StageJournal* journal, const StageFs* fs, void* ctx, uint32_t seed) {
    memset(journal, 0, sizeof *journal);
    journal->fs = fs;
    journal->ctx = ctx;
    journal->seed = seed % kStageIdCount;
}

void FreeStageJournal(StageJournal* journal) {
    FreeChecked(journal->entries);
    FreeChecked(journal->folders);
    FreeChecked(journal->reserved);
    memset(journal, 0, sizeof *journal);
}

// Makes room for one more element in a growing array. Returns 0 or -1.
static int GrowArray(void** items, size_t count, size_t* capacity, size_t itemSize) {
    if (count < *capacity) return 0;
    size_t more = *capacity ? *capacity * 2 : 64;
    void* grown = AllocChecked(more * itemSize);
    if (!grown) return -1;
    if (count) memcpy(grown, *items, count * itemSize);
    FreeChecked(*items);
    *items = grown;
    *capacity = more;
    return 0;
}

// Length of dest's folder part, without the separator.
static size_t FolderLength(const char* dest) {
    const char* sep = SjisFindLastChar(dest, '\\');
    return sep ? static_cast<size_t>(sep - dest) : 0;
}

int FormatStagePath(const char* dest, uint32_t id, char* dst, size_t dstSize) {
    size_t folder = FolderLength(dest);
    char name[16];
    FormatStr(name, sizeof name, "%s%05X%s", kStagePrefix, static_cast<unsigned>(id % kStageIdCount),
              kStageSuffix);
    if (folder == 0) return CopyStr(dst, dstSize, name);
    if (CopyBytes(dst, dstSize, dest, folder + 1) != 0) return -1;  // the separator too
    return AppendStr(dst, dstSize, name);
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
            if (FormatStagePath(e->dest, e->tempId, path, sizeof path) == 0 &&
                SjisCompareNoCase(path, dest) == 0)
                return -1;
        }
        return 0;
    }
    if (IsReserved(journal, id)) return 0;
    void* items = journal->reserved;
    if (GrowArray(&items, journal->reservedCount, &journal->reservedCapacity, sizeof *journal->reserved) != 0)
        return -1;
    journal->reserved = static_cast<uint32_t*>(items);
    journal->reserved[journal->reservedCount++] = id;
    return 0;
}

int AddStagedFile(StageJournal* journal, const char* dest, char* temp, size_t tempSize) {
    if (ReserveStageName(journal, dest) != 0) return -1;
    void* items = journal->entries;
    if (GrowArray(&items, journal->count, &journal->capacity, sizeof *journal->entries) != 0) return -1;
    journal->entries = static_cast<StageEntry*>(items);
    StageEntry* e = &journal->entries[journal->count];
    memset(e, 0, sizeof *e);
    if (CopyStr(e->dest, sizeof e->dest, dest) != 0) return -1;
    if (TakeStageId(journal, dest, &e->tempId, temp, tempSize) != 0) return -1;
    e->state = kStageWritten;
    ++journal->count;
    return 0;
}

int AddCreatedFolder(StageJournal* journal, const char* path) {
    void* items = journal->folders;
    if (GrowArray(&items, journal->folderCount, &journal->folderCapacity, sizeof *journal->folders) != 0)
        return -1;
    journal->folders = static_cast<char(*)[kPayloadNameBytes]>(items);
    if (CopyStr(journal->folders[journal->folderCount], kPayloadNameBytes, path) != 0) return -1;
    ++journal->folderCount;
    return 0;
}

int CheckStagePaths(PayloadReader* reader, const char* dest) {
    PayloadRecord rec;
    char path[kPayloadNameBytes];
    char temp[kPayloadNameBytes];
    for (;;) {
        int got = ReadPayloadRecord(reader, &rec);
        if (got <= 0) return got;
        if (JoinPayloadPath(dest, rec.name, path, sizeof path) != 0 ||
            (!rec.isDir && FormatStagePath(path, 0, temp, sizeof temp) != 0)) {
            reader->error = kPayloadLongPath;
            return -1;
        }
        if (!rec.isDir && SkipPayloadRecord(reader, &rec) != 0) return -1;
    }
}

// Puts one entry back: the new file goes, the old one returns. Returns 0, or -1 when the entry
// could not be undone (its old file then stays at the aside name).
static int UndoEntry(StageJournal* journal, StageEntry* e) {
    const StageFs* fs = journal->fs;
    char temp[kPayloadNameBytes];
    char aside[kPayloadNameBytes];
    FormatStagePath(e->dest, e->tempId, temp, sizeof temp);
    FormatStagePath(e->dest, e->asideId, aside, sizeof aside);
    bool readOnly = false;
    int rc = 0;
    if (e->state == kStagePlaced) {
        // The old file can only return once the new one has left its place.
        if (fs->removeFile(journal->ctx, e->dest) != 0) return -1;
        e->state = kStageGone;
    } else if (e->state == kStageWritten) {
        // The file may never have been opened; a temporary left behind is not the game's data.
        if (fs->getKind(journal->ctx, temp, &readOnly) != kStageMissing && fs->removeFile(journal->ctx, temp) != 0)
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

int RollBackStaged(StageJournal* journal) {
    int rc = 0;
    // Backwards, so that a name the payload holds twice gets its first old file back last.
    for (size_t i = journal->count; i-- > 0;) {
        if (UndoEntry(journal, &journal->entries[i]) != 0) rc = -1;
    }
    for (size_t i = journal->folderCount; i-- > 0;) {
        if (journal->fs->removeDir(journal->ctx, journal->folders[i]) != 0) rc = -1;
    }
    journal->folderCount = 0;
    return rc;
}

// Moves one staged file into place, its old file aside first. Returns 0 or -1.
static int PlaceEntry(StageJournal* journal, StageEntry* e) {
    const StageFs* fs = journal->fs;
    char temp[kPayloadNameBytes];
    char aside[kPayloadNameBytes];
    bool readOnly = false;
    int kind = fs->getKind(journal->ctx, e->dest, &readOnly);
    // Some systems let an administrator replace a read-only file: refuse it here instead.
    if (kind == kStageFolder || (kind == kStageFile && readOnly)) return -1;
    if (kind == kStageFile) {
        if (TakeStageId(journal, e->dest, &e->asideId, aside, sizeof aside) != 0) return -1;
        if (fs->rename(journal->ctx, e->dest, aside) != 0) return -1;
        e->hasAside = true;
    }
    if (FormatStagePath(e->dest, e->tempId, temp, sizeof temp) != 0) return -1;
    if (fs->rename(journal->ctx, temp, e->dest) != 0) return -1;
    e->state = kStagePlaced;
    return 0;
}

int CommitStaged(StageJournal* journal) {
    for (size_t i = 0; i < journal->count; ++i) {
        if (PlaceEntry(journal, &journal->entries[i]) != 0) {
            RollBackStaged(journal);
            return -1;
        }
    }
    char aside[kPayloadNameBytes];
    for (size_t i = 0; i < journal->count; ++i) {
        StageEntry* e = &journal->entries[i];
        if (!e->hasAside) continue;
        FormatStagePath(e->dest, e->asideId, aside, sizeof aside);
        if (journal->fs->removeFile(journal->ctx, aside) == 0) e->hasAside = false;
    }
    journal->count = 0;
    journal->folderCount = 0;
    return 0;
}

#pragma once
// Staged replacement of the files an update installs. Each file is written to a temporary name
// beside its destination; only when every record has checked out are the files moved into place,
// each old file first moved aside and deleted once every move has succeeded. On any failure the
// journal undoes what this run did, so the folder is left as it was. The platform supplies the few
// file-system calls, so the whole algorithm runs natively under test.
#include <cstddef>
#include <cstdint>

#include "payload/payload_format.h"

// Path kinds as getKind reports them.
enum StageKind {
    kStageMissing = 0,
    kStageFile = 1,
    kStageFolder = 2,
};

struct StageFs {
    // The kind of path, and for a file whether it carries the read-only attribute.
    int (*getKind)(void* ctx, const char* path, bool* readOnly);
    // Renames a file within its folder; fails (-1) when `to` exists.
    int (*rename)(void* ctx, const char* from, const char* to);
    int (*removeFile)(void* ctx, const char* path);
    // Removes a folder only when it is empty.
    int (*removeDir)(void* ctx, const char* path);
};

enum StageEntryState {
    kStageWritten = 0,  // the new file is at (or being written to) its temporary name
    kStagePlaced = 1,   // the new file is at its destination
    kStageGone = 2,     // the new file was removed again
};

struct StageEntry {
    char dest[kPayloadNameBytes];
    uint32_t tempId;
    uint32_t asideId;
    bool hasAside;  // the old file sits at its aside name
    uint8_t state;
};

struct StageJournal {
    const StageFs* fs;
    void* ctx;
    StageEntry* entries;
    size_t count;
    size_t capacity;
    char (*folders)[kPayloadNameBytes];  // created by this run, parents before children
    size_t folderCount;
    size_t folderCapacity;
    uint32_t* reserved;  // ids that payload names of the temporary form use: never handed out
    size_t reservedCount;
    size_t reservedCapacity;
    uint32_t seed;
    uint32_t issued;     // ids handed out so far, counting from seed
};

const uint32_t kStageIdCount = 0x100000;  // five hex digits

// seed picks the first id tried, so two runs rarely probe the same names.
void InitStageJournal(StageJournal* journal, const StageFs* fs, void* ctx, uint32_t seed);
void FreeStageJournal(StageJournal* journal);

// Walks every record of an open payload without inflating it and checks that each file's joined
// destination and temporary paths fit in 259 bytes. Returns 0, or -1 with reader->error set
// (kPayloadLongPath for a path that does not fit). The caller reopens the reader afterwards.
int CheckStagePaths(PayloadReader* reader, const char* dest);

// "folder\~vnXXXXX.tmp" for dest's folder and id into dst. Returns 0, or -1 when it does not fit.
int FormatStagePath(const char* dest, uint32_t id, char* dst, size_t dstSize);

// Enters a file to be written to dest and returns the temporary path to write it to. Returns 0,
// or -1 when no free name is left, memory runs out, or dest is a temporary name of this run.
int AddStagedFile(StageJournal* journal, const char* dest, char* temp, size_t tempSize);

// Records a folder this run created, to be removed if the update fails. Returns 0 or -1.
int AddCreatedFolder(StageJournal* journal, const char* path);

// Moves every staged file into place and deletes the old files. Returns 0, or -1 after undoing
// everything (as RollBackStaged) when a destination is a folder, read-only, or cannot be moved.
// Old files that cannot be deleted after a full success stay under their aside names.
int CommitStaged(StageJournal* journal);

// Removes the new files, puts every old file back and removes the folders this run created
// (deepest first, only when empty). An old file that cannot be put back stays at its aside name;
// nothing that is the only copy of a file is ever deleted. Returns 0 when the folder is as it was,
// -1 when something could not be undone.
int RollBackStaged(StageJournal* journal);

#pragma once
// Staged replacement of the files an update installs. Each file is written to a temporary name
// beside its destination; only when every record has checked out and no destination is in use are
// the files moved into place, each old file first moved aside and deleted once every move has
// succeeded. On any failure this run's own steps are undone, so the folder is left as it was.
// A journal file in the game folder, written ahead of every step, lets the next run finish or undo
// an update that was killed half-way. The platform supplies the few file-system calls, so the whole
// algorithm runs natively under test.
#include <cstddef>
#include <cstdint>

#include "payload/extract.h"
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
    // Creates a folder. 0 or -1; a folder that could not be made fails the first file inside it.
    int (*createDir)(void* ctx, const char* path);
    // Opens an existing file for writing without sharing and closes it: 0, or -1 when it is in use
    // (a running program, a loaded library, an open handle) or cannot be written.
    int (*openExclusive)(void* ctx, const char* path);
    // Appends n bytes to the file, creating it, and hands them to the system before returning, so
    // they survive the process being killed. 0 or -1.
    int (*appendFile)(void* ctx, const char* path, const char* bytes, size_t n);
    // Reads a whole file of at most maxBytes into a block from AllocChecked that the caller frees.
    // Returns 0, or -1 when it cannot be read or is larger.
    int (*loadFile)(void* ctx, const char* path, size_t maxBytes, char** bytes, size_t* n);
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
    bool begun;       // its moves were journaled: what the next run finds tells how far they got
    bool asideNamed;  // asideId was chosen (and journaled) for the old file
    bool hasAside;    // the old file sits at its aside name
    uint8_t state;
};

struct StageJournal {
    const StageFs* fs;
    void* ctx;
    char folder[kPayloadNameBytes];  // the game folder: the journal file's home, names are below it
    bool journaled;                  // the journal file may exist
    bool committing;                 // the commit began: the next run finishes it
    bool undoing;                    // the commit failed and is being undone
    bool unclean;                    // something could not be undone: the journal stays
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
    uint32_t issued;  // ids handed out so far, counting from seed
};

extern const char kStageJournalName[];  // "~vnjournal.tmp", directly in the game folder
const size_t kStageJournalMaxBytes = 16u << 20;

// seed picks the first id tried, so two runs rarely probe the same names. folder is the game
// folder (no trailing backslash); every path handed in lies below it.
void InitStageJournal(StageJournal* journal, const StageFs* fs, void* ctx, const char* folder, uint32_t seed);
void FreeStageJournal(StageJournal* journal);

// Enters a file to be written to dest, journals it, and returns the temporary path to write it to.
// Returns 0, or -1 when no free name is left, memory runs out, the journal cannot be written, or
// dest is a temporary name of this run or the journal itself.
int AddStagedFile(StageJournal* journal, const char* dest, char* temp, size_t tempSize);

// Records (and journals) a folder this run created, to be removed if the update fails. 0 or -1.
int AddCreatedFolder(StageJournal* journal, const char* path);

// Checks that every destination can be replaced, then moves every staged file into place and
// deletes the old files. Returns 0, or -1 after undoing everything (as RollBackStaged) when a
// destination is a folder, read-only, in use, or cannot be moved. Old files that cannot be deleted
// after a full success stay under their aside names.
int CommitStaged(StageJournal* journal);

// Removes the new files, puts every old file back and removes the folders this run created
// (deepest first, only when empty). An old file that cannot be put back stays at its aside name;
// nothing that is the only copy of a file is ever deleted. Returns 0 when the folder is as it was,
// -1 when something could not be undone.
int RollBackStaged(StageJournal* journal);

// Removes the journal file once its run has ended cleanly. Returns 0, or -1 when it stays because
// something of the run is left for the next one (an old file aside, a step not undone).
int EndStageJournal(StageJournal* journal);

// Reads a journal file's bytes into an initialised, empty journal: its folders, its files with
// their temporary and aside ids, and whether the commit began. A torn last line is ignored, since
// its step was never taken. Returns 0, or -1 for bytes this program did not write: a bad header or
// line, an id out of range or given twice, or a name that is unsafe or leaves the folder.
int ParseStageJournal(const char* bytes, size_t n, StageJournal* journal);

// Finishes or undoes what an interrupted run left in folder, as its journal file tells: before the
// commit, its temporary files and empty folders go; after, the commit is completed. Then the
// journal file goes. Returns 0 (also when there is no journal), or -1 when the journal is not ours
// or a step failed: the journal then stays for the next run.
int RecoverStaged(const StageFs* fs, void* ctx, const char* folder, uint32_t seed);

// The whole update of folder from an open payload: recovers what an interrupted run left, extracts
// every record to a temporary name through fileOps (which are handed the temporary paths and ctx;
// fs is handed fsCtx), and commits, or undoes everything. Returns 0, or -1 with the folder as it
// was and result->error set.
int RunStagedExtraction(PayloadReader* reader, const char* folder, const StageFs* fs, void* fsCtx, const ExtractOps* fileOps,
                        void* ctx, uint32_t seed, ExtractResult* result);

// Tests may pause the run at a chosen step: step is "block" after the nth block went to a temporary
// file, "written" after the nth temporary file checked out, "move" before the nth rename of the
// commit. The shipped program sets no hook.
typedef void (*StageStepHook)(const char* step, uint32_t n);
void SetStageStepHook(StageStepHook hook);
void ReachStageStep(const char* step, uint32_t n);

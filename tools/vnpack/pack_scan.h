#pragma once
// vnpack build's view of the folder it packs: one entry for each file and folder, in record order.
#include <cstddef>
#include <cstdint>

#include "payload/payload_format.h"
#include "vnpack/host.h"

// Record order, which start-up depends on: top-level files (the setup files among them), then every
// folder, parents before children, then the files inside folders.
enum EntryGroup { kGroupTopFile = 0, kGroupDir = 1, kGroupInnerFile = 2 };

struct BuildEntry {
    char name[kPayloadNameBytes];  // the record's CP932 name
    char path[kHostPathBytes];     // the source on disk, for reading and for messages
    uint64_t size;
    uint64_t time;
    int group;
};

struct EntryList {
    BuildEntry* items;
    size_t count;
    size_t capacity;
};


// Adds an entry for every file and folder below dir, with the last-write times clamped to epoch
// (seconds) when clamp is set. A symbolic link is refused, or with followLinks packed as what it
// points to while that stays inside dir. Returns kExitOk, or the exit code after the message.
int ScanBuildTree(const char* dir, bool clamp, int64_t epoch, bool followLinks, EntryList* list);
// --add-stop-folder NAME\SUB: an empty folder two levels deep, where start-up's walk ends.
int AddStopFolder(const char* arg, EntryList* list);
// Sorts the entries into record order and refuses two names that differ only in case.
int SortBuildEntries(EntryList* list);

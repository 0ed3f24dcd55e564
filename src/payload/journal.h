#pragma once
// The journal file of a staged update, between staging.cpp, which takes the steps, and journal.cpp,
// which writes and reads their lines.
#include <cstddef>
#include <cstdint>

#include "payload/staging.h"

const size_t kJournalLineBytes = kPayloadNameBytes + 16;

// "folder\~vnjournal.tmp" into dst. Returns 0, or -1 when it does not fit.
int FormatJournalPath(const char* folder, char* dst, size_t dstSize);
// Whether rel (below folder) may stand in a journal line; file says it names a file, whose
// temporary name must fit as well.
bool IsJournalName(const char* folder, const char* rel, bool file);
// Appends one line to the journal file, creating it with its header first. Returns 0 or -1.
int WriteJournalLine(StageJournal* journal, const char* line);

// The staging's own bookkeeping, which reading a journal back fills in. Each returns 0 or -1.
int ReserveStageId(StageJournal* journal, uint32_t id);
int AddFolderEntry(StageJournal* journal, const char* path);
bool StagePathExists(const StageJournal* journal, const char* path);

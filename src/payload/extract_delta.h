#pragma once
// The delta side of the extraction walk. Before anything is written, each installed file that
// deltas apply to is hashed once and the delta it takes is chosen, so a player whose version no
// delta fits is refused with the folder untouched; the walk then applies what was chosen.
#include <cstddef>
#include <cstdint>

#include "payload/extract.h"

struct DeltaPlan {
    uint32_t* picks;  // payload positions of the chosen delta records, ascending
    size_t count;
    size_t capacity;
    size_t next;  // the first pick the walk has not reached
};

// Reads the payload from where reader stands to its end marker and puts it back there. Returns 0,
// or -1 with result->error kPayloadOldMismatch (or kPayloadNoMemory) and result->name the file.
// Damage is left for the walk to find where it stands, so the walk fails as it would without
// deltas.
int PlanPayloadDeltas(PayloadReader* reader, const char* dest, const ExtractOps* ops, void* ctx, DeltaPlan* plan,
                      ExtractResult* result);

// One delta record at payload position at, the reader at its data. Applies it when it is the
// plan's next pick (made set), else passes over it; with ops->openOld null only its structure is
// checked (made set). Returns 0, or -1 with reader->error set.
int ExtractDelta(PayloadReader* reader, uint32_t at, const char* path, const PayloadRecord* rec, const ExtractOps* ops,
                 void* ctx, DeltaPlan* plan, bool* made);

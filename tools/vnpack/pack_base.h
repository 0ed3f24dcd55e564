#pragma once
// vnpack build --base: what travels for one file, given the folders players have. Each distinct
// old content gets a delta when that is smaller than the whole record; the whole record also
// travels when some player's folder lacks the file, a delta would not be smaller, or the studio
// asks for it (--fallback-whole).
#include <cstddef>
#include <cstdint>

#include "vnpack/pack_compress.h"

const size_t kMaxBases = 16;

struct BasePlan {
    uint8_t* deltas[kMaxBases];  // delta record data, one per distinct old content (AllocChecked)
    size_t deltaSizes[kMaxBases];
    size_t count;
    bool whole;      // the whole record travels too
    bool unchanged;  // every base holds these very bytes: nothing need travel
};

// rel is the file's path below each base ('/' separators). wholeBytes is the whole record's
// stream length. Returns 0 with *plan filled (FreeBasePlan releases it), or -1 after printing why.
int PlanBaseRecords(const char* const* bases, size_t baseCount, const char* rel, const uint8_t* data, size_t size,
                    size_t wholeBytes, bool fallbackWhole, const PackOptions* pack, BasePlan* plan);
void FreeBasePlan(BasePlan* plan);

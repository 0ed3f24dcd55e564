#pragma once
// The packer's differ: a delta record's data (payload/delta.h) that turns old into new. It finds
// every range of new that stands anywhere in old (moved, shifted or in place) with a rolling hash
// over old's blocks, and carries the rest as added bytes.
#include <cstddef>
#include <cstdint>

#include "vnpack/pack_compress.h"

// Makes the delta's data into *body (AllocChecked; the caller frees it). Returns 0, or -1 when
// memory or compression failed.
int MakeDelta(const uint8_t* old, size_t oldSize, const uint8_t* neu, size_t newSize, const PackOptions* pack,
              uint8_t** body, size_t* bodySize);

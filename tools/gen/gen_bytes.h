#pragma once
// Little-endian fields appended to a file being built in memory, for the build-time generators.
#include <cstdint>
#include <vector>

#include "common/le_bytes.h"

inline void AppendLe16(std::vector<uint8_t>* out, uint16_t v) {
    uint8_t b[2];
    PutLe16(b, v);
    out->insert(out->end(), b, b + 2);
}

inline void AppendLe32(std::vector<uint8_t>* out, uint32_t v) {
    uint8_t b[4];
    PutLe32(b, v);
    out->insert(out->end(), b, b + 4);
}

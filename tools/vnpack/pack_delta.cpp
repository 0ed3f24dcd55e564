#include "vnpack/pack_delta.h"

#include <cstdint>
#include <cstring>

#include "common/alloc.h"
#include "common/sha256.h"
#include "payload/delta.h"

// A range of new is found when it holds one whole indexed window of old: old is indexed every
// kStep bytes, so every common range of kWindow + kStep - 1 bytes or more is found wherever it
// moved. Shorter common ranges are found where they continue the last copy's alignment (a few
// bytes changed in place). A copy costs a few bytes, so shorter matches than kMinMatch are added.
// Short windows keep an archive's index entries apart: a window within one entry's name would
// be found in many entries, one reaching into its size field only in its own.
static const size_t kWindow = 16;
static const size_t kStep = 8;
static const size_t kMinMatch = 24;
static const uint32_t kHashMul = 0x01000193u;

struct DeltaOut {
    uint8_t* bytes;
    size_t used;
    size_t capacity;
    uint64_t lastCopyEnd;
};

static void PutCopy(DeltaOut* out, uint64_t from, size_t len) {
    out->used += FormatDeltaCopy(out->lastCopyEnd, from, static_cast<uint32_t>(len), out->bytes + out->used);
    out->lastCopyEnd = from + len;
}

// The bytes before a copy: patched over the old bytes they replace when the copy continues the
// last one's alignment (changed in place), else added.
static void PutGap(DeltaOut* out, const uint8_t* old, const uint8_t* bytes, size_t len, uint64_t nextCopy) {
    if (len == 0) return;
    if (nextCopy != out->lastCopyEnd + len) {
        out->used += FormatDeltaAdd(static_cast<uint32_t>(len), out->bytes + out->used);
        memcpy(out->bytes + out->used, bytes, len);
        out->used += len;
        return;
    }
    out->used += FormatDeltaPatch(static_cast<uint32_t>(len), out->bytes + out->used);
    const uint8_t* was = old + out->lastCopyEnd;
    for (size_t i = 0; i < len; ++i) out->bytes[out->used + i] = static_cast<uint8_t>(bytes[i] - was[i]);
    out->used += len;
    out->lastCopyEnd += len;
}

static uint32_t HashWindow(const uint8_t* p) {
    uint32_t h = 0;
    for (size_t i = 0; i < kWindow; ++i) h = h * kHashMul + p[i];
    return h;
}

static size_t Bucket(uint32_t h, int bits) { return (h * 0x9E3779B1u) >> (32 - bits); }

static size_t MatchForward(const uint8_t* a, const uint8_t* b, size_t limit) {
    size_t n = 0;
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

// Finds the copies and adds; out has room for the worst case.
static void FindRanges(const uint8_t* old, size_t oldSize, const uint8_t* neu, size_t newSize, const uint32_t* table,
                       int bits, DeltaOut* out) {
    uint32_t outFactor = 1;  // kHashMul to the power kWindow - 1, to roll the oldest byte out
    for (size_t i = 1; i < kWindow; ++i) outFactor *= kHashMul;
    size_t addStart = 0;
    size_t pos = 0;
    uint64_t alignOld = 0;  // where the last copy's alignment puts pos in old
    bool rolled = false;
    uint32_t h = 0;
    while (pos + kMinMatch <= newSize) {
        size_t from = 0;
        size_t len = 0;
        size_t back = 0;
        uint64_t aligned = alignOld + (pos - addStart);
        if (aligned + kMinMatch <= oldSize && memcmp(old + aligned, neu + pos, kMinMatch) == 0) {
            from = aligned;
            len = MatchForward(old + from, neu + pos, (oldSize - from < newSize - pos) ? oldSize - from : newSize - pos);
        }
        if (len == 0 && pos + kWindow <= newSize) {
            h = rolled ? (h - neu[pos - 1] * outFactor) * kHashMul + neu[pos + kWindow - 1] : HashWindow(neu + pos);
            rolled = true;
            uint32_t entry = table[Bucket(h, bits)];
            if (entry != 0) {
                size_t cand = entry - 1;
                if (memcmp(old + cand, neu + pos, kWindow) == 0) {
                    size_t limit = oldSize - cand < newSize - pos ? oldSize - cand : newSize - pos;
                    len = MatchForward(old + cand, neu + pos, limit);
                    while (back < pos - addStart && back < cand && old[cand - back - 1] == neu[pos - back - 1]) ++back;
                    if (len + back < kMinMatch) len = 0;
                    from = cand;
                }
            }
        }
        if (len == 0) {
            ++pos;
            continue;
        }
        PutGap(out, old, neu + addStart, pos - back - addStart, from - back);
        PutCopy(out, from - back, len + back);
        pos += len;
        addStart = pos;
        alignOld = from + len;
        rolled = false;
    }
    PutGap(out, old, neu + addStart, newSize - addStart, UINT64_MAX);
}

int MakeDelta(const uint8_t* old, size_t oldSize, const uint8_t* neu, size_t newSize, const PackOptions* pack,
              uint8_t** body, size_t* bodySize) {
    int rc = -1;
    int bits = 10;
    while ((static_cast<size_t>(1) << bits) < oldSize / kStep && bits < 30) ++bits;
    uint32_t* table = static_cast<uint32_t*>(AllocChecked(sizeof(uint32_t) << bits));
    DeltaOut out = {nullptr, 0, 0, 0};
    // Worst case: every copy is kMinMatch long and costs a full instruction, between one-byte adds.
    out.capacity = newSize + (newSize / kMinMatch + 2) * 2 * kDeltaOpMaxBytes + 1;
    out.bytes = static_cast<uint8_t*>(AllocChecked(out.capacity));
    PackItem item = {nullptr, 0, nullptr, 0};
    DeltaHeader header;
    Sha256 sha;
    if (!table || !out.bytes) goto done;
    memset(table, 0, sizeof(uint32_t) << bits);
    for (size_t p = 0; p + kWindow <= oldSize; p += kStep) {
        table[Bucket(HashWindow(old + p), bits)] = static_cast<uint32_t>(p + 1);
    }
    FindRanges(old, oldSize, neu, newSize, table, bits, &out);
    out.bytes[out.used++] = kDeltaEnd;
    item.data = out.bytes;
    item.size = out.used;
    if (PackStreams(pack, &item, 1, 0, out.used) != 0) goto done;
    header.oldSize = static_cast<uint32_t>(oldSize);
    header.newSize = static_cast<uint32_t>(newSize);
    InitSha256(&sha);
    UpdateSha256(&sha, old, oldSize);
    FinishSha256(&sha, header.oldHash);
    InitSha256(&sha);
    UpdateSha256(&sha, neu, newSize);
    FinishSha256(&sha, header.newHash);
    *bodySize = kDeltaHeaderBytes + item.packedSize;
    *body = static_cast<uint8_t*>(AllocChecked(*bodySize));
    if (!*body) goto done;
    FormatDeltaHeader(&header, *body);
    memcpy(*body + kDeltaHeaderBytes, item.packed, item.packedSize);
    rc = 0;
done:
    FreeChecked(table);
    FreeChecked(out.bytes);
    FreeChecked(item.packed);
    return rc;
}

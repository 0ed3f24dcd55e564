#include "payload/extract_delta.h"

#include <cstring>

#include "common/grow_array.h"
#include "common/str_util.h"

static int NullSink(void*, const uint8_t*, size_t, uint32_t, uint32_t) { return 0; }

namespace {

// The run of delta records (and the whole record after them) that one file's name shares.
struct DeltaGroup {
    char name[kPayloadNameBytes];  // empty when no run is open
    bool fits;                     // a delta fits the installed file, or the whole record travels
    bool hashed;                   // the installed file was read to its end
    uint64_t oldSize;
    uint8_t oldHash[kSha256Bytes];
};

// Hashes the installed file; one that is missing or cannot be read fits no delta. Returns
// kPayloadOk or kPayloadNoMemory.
int OpenGroup(const char* dest, const PayloadRecord* rec, const ExtractOps* ops, void* ctx, DeltaGroup* group) {
    memset(group, 0, sizeof *group);
    CopyStr(group->name, sizeof group->name, rec->name);
    char path[kPayloadNameBytes];
    if (JoinPayloadPath(dest, rec->name, path, sizeof path) != 0) return kPayloadOk;  // the walk refuses it
    if (ops->openOld(ctx, path, rec, &group->oldSize) != 0) return kPayloadOk;
    int hashed = HashDeltaSource(ops->readOld, ctx, group->oldSize, group->oldHash);
    if (ops->closeOld) ops->closeOld(ctx);
    group->hashed = hashed == kPayloadOk;
    return hashed == kPayloadNoMemory ? hashed : kPayloadOk;
}

// Reads one delta's header and passes over the rest; picks it when it is the group's first fit.
// Returns 0, or -1 on damage (left for the walk) or with *error set when no memory is left.
int PlanDelta(PayloadReader* reader, uint32_t at, const PayloadRecord* rec, DeltaGroup* group, DeltaPlan* plan, int* error) {
    DeltaHeader header;
    if (ReadDeltaHeader(reader, rec, &header) != 0 ||
        ReadPayloadBytes(reader, nullptr, rec->packedSize - static_cast<uint32_t>(kDeltaHeaderBytes)) != 0)
        return -1;
    if (group->fits || !group->hashed || group->oldSize != header.oldSize ||
        memcmp(group->oldHash, header.oldHash, kSha256Bytes) != 0)
        return 0;
    if (GrowArray(reinterpret_cast<void**>(&plan->picks), plan->count, &plan->capacity, sizeof *plan->picks) != 0) {
        *error = kPayloadNoMemory;
        return -1;
    }
    plan->picks[plan->count++] = at;
    group->fits = true;
    return 0;
}

}  // namespace

int PlanPayloadDeltas(PayloadReader* reader, const char* dest, const ExtractOps* ops, void* ctx, DeltaPlan* plan,
                      ExtractResult* result) {
    const uint32_t startPos = reader->pos, startConsumed = reader->consumed;
    DeltaGroup group;
    memset(&group, 0, sizeof group);
    PayloadRecord rec;
    int error = kPayloadOk;
    for (;;) {
        uint32_t at = reader->pos;
        int got = ReadPayloadRecord(reader, &rec);
        if (got < 0) break;
        if (group.name[0] && (got == 0 || strcmp(rec.name, group.name) != 0)) {
            if (!group.fits) {
                error = kPayloadOldMismatch;
                break;
            }
            group.name[0] = '\0';
        }
        if (got == 0) break;
        if (rec.isDelta) {
            if (!group.name[0]) error = OpenGroup(dest, &rec, ops, ctx, &group);
            if (error == kPayloadOk && PlanDelta(reader, at, &rec, &group, plan, &error) != 0) break;
            if (error != kPayloadOk) break;
            continue;
        }
        if (group.name[0]) group.fits = true;  // the whole record after the file's deltas
        if (SkipPayloadRecord(reader, &rec) != 0) break;
    }
    // A read that failed is no damage the walk would meet again.
    if (error == kPayloadOk && reader->error == kPayloadReadFailed) {
        error = kPayloadReadFailed;
        CopyStr(group.name, sizeof group.name, rec.name);
    }
    if (error != kPayloadOk) {
        result->error = error;
        CopyBytes(result->name, sizeof result->name, group.name, strnlen(group.name, sizeof group.name));
        return -1;
    }
    reader->error = kPayloadOk;
    return SeekPayloadReader(reader, startPos, startConsumed);
}

int ExtractDelta(PayloadReader* reader, uint32_t at, const char* path, const PayloadRecord* rec, const ExtractOps* ops,
                 void* ctx, DeltaPlan* plan, bool* made) {
    DeltaHeader header;
    *made = false;
    if (ReadDeltaHeader(reader, rec, &header) != 0) return -1;
    if (!ops->openOld) {
        *made = true;
        return ApplyPayloadDelta(reader, rec, &header, nullptr, nullptr, nullptr, nullptr);
    }
    if (plan->next == plan->count || plan->picks[plan->next] != at) {
        return ReadPayloadBytes(reader, nullptr, rec->packedSize - static_cast<uint32_t>(kDeltaHeaderBytes));
    }
    ++plan->next;
    PayloadRecord newRec = *rec;
    newRec.size = header.newSize;
    uint64_t size = 0;
    if (ops->openOld(ctx, path, rec, &size) != 0) {
        reader->error = kPayloadOldReadFailed;
        return -1;
    }
    int rc = -1;
    if (size != header.oldSize) {
        reader->error = kPayloadOldReadFailed;  // it changed since it was hashed
    } else if (!ops->openFile || ops->openFile(ctx, path, &newRec) == 0) {
        rc = ApplyPayloadDelta(reader, rec, &header, ops->readOld, ctx, ops->write ? ops->write : NullSink, ctx);
        if (ops->closeFile && ops->closeFile(ctx, path, &newRec, rc == 0) != 0) rc = -1;
    }
    if (ops->closeOld) ops->closeOld(ctx);
    *made = rc == 0;
    return rc;
}

#include "vnpack/pack_base.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/alloc.h"
#include "common/sha256.h"
#include "common/str_util.h"
#include "payload/payload_format.h"
#include "vnpack/host.h"
#include "vnpack/pack_delta.h"
#include "vnpack/vnpack.h"

// Reads a base's copy of the file. Returns 1 with *data, 0 when the base has no such file, -1 on
// an error (printed).
static int LoadOld(const char* path, uint8_t** data, size_t* size) {
    HostFileInfo st;
    *data = nullptr;
    if (GetHostFileInfo(path, true, &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return 0;
        Fail(kExitBadInput, path, "%s", strerror(errno));
        return -1;
    }
    if (!st.isFile) return 0;
    if (st.size >= kPayloadSizeLimit) return 0;  // no player holds such a file
    *size = static_cast<size_t>(st.size);
    *data = static_cast<uint8_t*>(AllocChecked(*size ? *size : 1));
    FILE* in = *data ? OpenHostFile(path, "rb") : nullptr;
    size_t got = in ? fread(*data, 1, *size, in) : 0;
    if (in) fclose(in);
    if (got != *size) {
        FreeChecked(*data);
        *data = nullptr;
        Fail(kExitBadInput, path, "cannot read the base's file");
        return -1;
    }
    return 1;
}

void FreeBasePlan(BasePlan* plan) {
    for (size_t i = 0; i < plan->count; ++i) FreeChecked(plan->deltas[i]);
    memset(plan, 0, sizeof *plan);
}

int PlanBaseRecords(const char* const* bases, size_t baseCount, const char* rel, const uint8_t* data, size_t size,
                    size_t wholeBytes, bool fallbackWhole, const PackOptions* pack, BasePlan* plan) {
    uint8_t seen[kMaxBases][kSha256Bytes];
    size_t seenCount = 0;
    uint8_t newHash[kSha256Bytes];
    Sha256 sha;
    memset(plan, 0, sizeof *plan);
    plan->whole = fallbackWhole;
    InitSha256(&sha);
    UpdateSha256(&sha, data, size);
    FinishSha256(&sha, newHash);
    bool allSame = true;
    for (size_t b = 0; b < baseCount; ++b) {
        char path[4096];
        uint8_t* old = nullptr;
        size_t oldSize = 0;
        if (FormatStr(path, sizeof path, "%s%c%s", bases[b], GetHostPathSep(), rel) != 0) {
            Fail(kExitUsage, bases[b], "path too long");
            goto fail;
        }
        int got = LoadOld(path, &old, &oldSize);
        if (got < 0) goto fail;
        if (got == 0) {
            plan->whole = true;  // players of this version have no such file
            allSame = false;
            continue;
        }
        uint8_t oldHash[kSha256Bytes];
        InitSha256(&sha);
        UpdateSha256(&sha, old, oldSize);
        FinishSha256(&sha, oldHash);
        if (oldSize != size || memcmp(oldHash, newHash, kSha256Bytes) != 0) allSame = false;
        bool known = false;
        for (size_t i = 0; i < seenCount; ++i) known = known || memcmp(seen[i], oldHash, kSha256Bytes) == 0;
        if (!known) {
            memcpy(seen[seenCount++], oldHash, kSha256Bytes);
            uint8_t* body = nullptr;
            size_t bodySize = 0;
            if (MakeDelta(old, oldSize, data, size, pack, &body, &bodySize) != 0) {
                FreeChecked(old);
                Fail(kExitUsage, path, "delta failed (out of memory?)");
                goto fail;
            }
            // A delta record carries the same header as the whole one: only the data counts.
            if (bodySize < wholeBytes) {
                plan->deltas[plan->count] = body;
                plan->deltaSizes[plan->count++] = bodySize;
            } else {
                FreeChecked(body);
                plan->whole = true;
            }
        }
        FreeChecked(old);
    }
    if (allSame) {
        FreeBasePlan(plan);
        plan->unchanged = true;
    }
    return 0;
fail:
    FreeBasePlan(plan);
    return -1;
}

#include "payload/extract.h"

#include <cstring>

#include "common/str_util.h"
#include "common/alloc.h"
#include "common/sjis.h"
#include "payload/extract_delta.h"

// Length of dest's folder part, without the separator.
static size_t FolderLength(const char* dest) {
    const char* sep = SjisFindLastChar(dest, '\\');
    return sep ? static_cast<size_t>(sep - dest) : 0;
}

int FormatStagePath(const char* dest, uint32_t id, char* dst, size_t dstSize) {
    size_t folder = FolderLength(dest);
    char name[16];
    FormatStr(name, sizeof name, "%s%05X%s", kStagePrefix, static_cast<unsigned>(id % kStageIdCount), kStageSuffix);
    if (folder == 0) return CopyStr(dst, dstSize, name);
    if (CopyBytes(dst, dstSize, dest, folder + 1) != 0) return -1;  // the separator too
    return AppendStr(dst, dstSize, name);
}

static int FailWalk(ExtractResult* result, const PayloadRecord* rec, int error) {
    result->error = error;
    // A refused name may fill its buffer without a terminator.
    CopyBytes(result->name, sizeof result->name, rec->name, strnlen(rec->name, sizeof rec->name));
    return -1;
}

static int NullSink(void*, const uint8_t*, size_t, uint32_t, uint32_t) { return 0; }

static int ExtractFile(PayloadReader* reader, const char* path, const PayloadRecord* rec, uint8_t* blocks,
                       const ExtractOps* ops, void* ctx) {
    if (ops->openFile && ops->openFile(ctx, path, rec) != 0) return -1;
    int rc = InflatePayloadRecord(reader, rec, blocks, blocks + kPayloadBlockBytes, ops->write ? ops->write : NullSink, ctx);
    if (ops->closeFile && ops->closeFile(ctx, path, rec, rc == 0) != 0) rc = -1;
    return rc;
}

// The walk itself; deltas apply as plan says.
static int Walk(PayloadReader* reader, const char* dest, int mode, const ExtractOps* ops, void* ctx, DeltaPlan* plan,
                uint8_t* blocks, ExtractResult* result) {
    PayloadRecord rec;
    char path[kPayloadNameBytes];
    char temp[kPayloadNameBytes];
    char group[kPayloadNameBytes] = "";  // the file whose deltas are being met
    bool groupDone = false;              // one of its records made it
    for (;;) {
        uint32_t at = reader->pos;
        int got = ReadPayloadRecord(reader, &rec);
        if (got < 0) return FailWalk(result, &rec, reader->error);
        if (group[0] && (got == 0 || strcmp(rec.name, group) != 0)) {
            if (!groupDone && ops->openOld) {
                result->error = kPayloadOldMismatch;
                CopyStr(result->name, sizeof result->name, group);
                return -1;
            }
            group[0] = '\0';
            groupDone = false;
        }
        if (got == 0) return 0;
        if (mode == kExtractSetupFiles) {
            int step = FindSetupStep(&rec);
            if (step == kSetupStop) {
                result->stopped = true;
                CopyStr(result->name, sizeof result->name, rec.name);
                return 0;
            }
            if (step == kSetupFail) return FailWalk(result, &rec, kPayloadSetupInFolder);
            if (step == kSetupSkip) {
                if (SkipPayloadRecord(reader, &rec) != 0) return FailWalk(result, &rec, reader->error);
                continue;
            }
        }
        // The update writes each file to a temporary name beside it first: that must fit as well.
        if (JoinPayloadPath(dest, rec.name, path, sizeof path) != 0 ||
            (mode == kExtractAll && !rec.isDir && FormatStagePath(path, 0, temp, sizeof temp) != 0)) {
            return FailWalk(result, &rec, kPayloadLongPath);
        }
        if (rec.isDir) {
            if (ops->createDir && ops->createDir(ctx, path, &rec) != 0) {
                return FailWalk(result, &rec, kPayloadSinkFailed);
            }
            continue;
        }
        if (mode == kExtractAll && rec.isDelta && !group[0]) CopyStr(group, sizeof group, rec.name);
        if (rec.isDelta || (groupDone && ops->openOld)) {
            bool made = false;
            int rc =
                rec.isDelta ? ExtractDelta(reader, at, path, &rec, ops, ctx, plan, &made) : SkipPayloadRecord(reader, &rec);
            if (rc != 0) return FailWalk(result, &rec, reader->error != kPayloadOk ? reader->error : kPayloadSinkFailed);
            if (made) {
                groupDone = true;
                ++result->files;
            }
            continue;
        }
        if (group[0]) groupDone = true;  // the whole record of a file no delta fitted
        if (ExtractFile(reader, path, &rec, blocks, ops, ctx) != 0) {
            return FailWalk(result, &rec, reader->error != kPayloadOk ? reader->error : kPayloadSinkFailed);
        }
        ++result->files;
    }
}

int RunPayloadExtraction(PayloadReader* reader, const char* dest, int mode, const ExtractOps* ops, void* ctx,
                         ExtractResult* result) {
    memset(result, 0, sizeof *result);
    DeltaPlan plan;
    memset(&plan, 0, sizeof plan);
    // One pair of blocks for every record: freeing and taking them again for each file costs more
    // than a small file's inflate.
    uint8_t* blocks = static_cast<uint8_t*>(AllocChecked(2 * kPayloadBlockBytes));
    int rc = 0;
    if (!blocks) {
        result->error = kPayloadNoMemory;
        rc = -1;
    }
    if (rc == 0 && mode == kExtractAll && ops->openOld) rc = PlanPayloadDeltas(reader, dest, ops, ctx, &plan, result);
    if (rc == 0) rc = Walk(reader, dest, mode, ops, ctx, &plan, blocks, result);
    FreeChecked(blocks);
    FreeChecked(plan.picks);
    return rc;
}

#include "payload/extract.h"

#include <cstring>

#include "common/str_util.h"
#include "common/sjis.h"

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

// The run of delta records (and the whole record after them) that one file's name shares.
struct DeltaGroup {
    char name[kPayloadNameBytes];  // empty when no run is open
    bool done;                     // one of its records made the file
    int old;                       // 0 not looked at, 1 hashed, -1 missing or unreadable
    uint64_t oldSize;
    uint8_t oldHash[kSha256Bytes];
};

// Hashes the installed file once per run of deltas.
static void HashOld(const char* path, const PayloadRecord* rec, const ExtractOps* ops, void* ctx, DeltaGroup* group) {
    if (group->old != 0) return;
    group->old = -1;
    if (ops->openOld(ctx, path, rec, &group->oldSize) != 0) return;
    if (HashDeltaSource(ops->readOld, ctx, group->oldSize, group->oldHash) == 0) group->old = 1;
    if (ops->closeOld) ops->closeOld(ctx);
}

// One delta record, the reader at its data. Applies it when the installed file is its old content.
static int ExtractDelta(PayloadReader* reader, const char* path, const PayloadRecord* rec, const ExtractOps* ops, void* ctx,
                        DeltaGroup* group, bool* made) {
    DeltaHeader header;
    *made = false;
    if (ReadDeltaHeader(reader, rec, &header) != 0) return -1;
    uint32_t rest = rec->packedSize - static_cast<uint32_t>(kDeltaHeaderBytes);
    if (!ops->openOld) {
        *made = true;
        return ApplyPayloadDelta(reader, rec, &header, nullptr, nullptr, nullptr, nullptr);
    }
    if (!group->done) HashOld(path, rec, ops, ctx, group);
    if (group->done || group->old != 1 || group->oldSize != header.oldSize ||
        memcmp(group->oldHash, header.oldHash, kSha256Bytes) != 0) {
        return ReadPayloadBytes(reader, nullptr, rest);
    }
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

static int ExtractFile(PayloadReader* reader, const char* path, const PayloadRecord* rec, const ExtractOps* ops, void* ctx) {
    if (ops->openFile && ops->openFile(ctx, path, rec) != 0) return -1;
    int rc = InflatePayloadRecord(reader, rec, ops->write ? ops->write : NullSink, ctx);
    if (ops->closeFile && ops->closeFile(ctx, path, rec, rc == 0) != 0) rc = -1;
    return rc;
}

int RunPayloadExtraction(PayloadReader* reader, const char* dest, int mode, const ExtractOps* ops, void* ctx,
                         ExtractResult* result) {
    PayloadRecord rec;
    char path[kPayloadNameBytes];
    char temp[kPayloadNameBytes];
    DeltaGroup group;
    memset(&group, 0, sizeof group);
    memset(result, 0, sizeof *result);
    for (;;) {
        int got = ReadPayloadRecord(reader, &rec);
        if (got < 0) return FailWalk(result, &rec, reader->error);
        // A file whose deltas all missed and that has no whole record cannot be updated.
        if (group.name[0] && (got == 0 || strcmp(rec.name, group.name) != 0)) {
            if (!group.done && ops->openOld) {
                result->error = kPayloadOldMismatch;
                CopyStr(result->name, sizeof result->name, group.name);
                return -1;
            }
            memset(&group, 0, sizeof group);
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
        if (mode == kExtractAll && rec.isDelta && !group.name[0]) {
            memset(&group, 0, sizeof group);
            CopyStr(group.name, sizeof group.name, rec.name);
        }
        if (rec.isDelta || (group.done && ops->openOld)) {
            bool made = false;
            int rc =
                rec.isDelta ? ExtractDelta(reader, path, &rec, ops, ctx, &group, &made) : SkipPayloadRecord(reader, &rec);
            if (rc != 0) return FailWalk(result, &rec, reader->error != kPayloadOk ? reader->error : kPayloadSinkFailed);
            if (made) {
                group.done = true;
                ++result->files;
            }
            continue;
        }
        if (group.name[0]) group.done = true;  // the whole record of a file no delta fitted
        if (ExtractFile(reader, path, &rec, ops, ctx) != 0) {
            return FailWalk(result, &rec, reader->error != kPayloadOk ? reader->error : kPayloadSinkFailed);
        }
        ++result->files;
    }
}

#include "payload/delta.h"

#include <zlib.h>

#include <cstring>

#include "common/alloc.h"
#include "common/le_bytes.h"

static const uint8_t kDeltaMagic[4] = {'V', 'N', 'd', '1'};
static const char kZlibVersion[] = "1.2.1";

static int FailDelta(PayloadReader* reader, int error) {
    if (reader->error == kPayloadOk) reader->error = error;
    return -1;
}

int ReadDeltaHeader(PayloadReader* reader, const PayloadRecord* rec, DeltaHeader* header) {
    uint8_t b[kDeltaHeaderBytes];
    if (!rec->isDelta || rec->packedSize < kDeltaHeaderBytes) return FailDelta(reader, kPayloadBadDelta);
    if (ReadPayloadBytes(reader, b, sizeof b) != 0) return -1;
    if (memcmp(b, kDeltaMagic, sizeof kDeltaMagic) != 0) return FailDelta(reader, kPayloadBadDelta);
    header->oldSize = GetLe32(b + 4);
    memcpy(header->oldHash, b + 8, kSha256Bytes);
    header->newSize = GetLe32(b + 40);
    memcpy(header->newHash, b + 44, kSha256Bytes);
    if (header->newSize >= kPayloadSizeLimit || header->oldSize >= kPayloadSizeLimit)
        return FailDelta(reader, kPayloadBadDelta);
    return 0;
}

size_t FormatDeltaHeader(const DeltaHeader* header, uint8_t* dst) {
    memcpy(dst, kDeltaMagic, sizeof kDeltaMagic);
    PutLe32(dst + 4, header->oldSize);
    memcpy(dst + 8, header->oldHash, kSha256Bytes);
    PutLe32(dst + 40, header->newSize);
    memcpy(dst + 44, header->newHash, kSha256Bytes);
    return kDeltaHeaderBytes;
}

static size_t PutVarint(uint64_t v, uint8_t* dst) {
    size_t n = 0;
    while (v >= 0x80) {
        dst[n++] = static_cast<uint8_t>(v | 0x80);
        v >>= 7;
    }
    dst[n++] = static_cast<uint8_t>(v);
    return n;
}

size_t FormatDeltaCopy(uint64_t last, uint64_t offset, uint32_t len, uint8_t* dst) {
    int64_t off = static_cast<int64_t>(offset - last);
    uint64_t zigzag = (static_cast<uint64_t>(off) << 1) ^ static_cast<uint64_t>(off >> 63);
    dst[0] = kDeltaCopy;
    size_t n = 1 + PutVarint(len, dst + 1);
    return n + PutVarint(zigzag, dst + n);
}

size_t FormatDeltaAdd(uint32_t len, uint8_t* dst) {
    dst[0] = kDeltaAdd;
    return 1 + PutVarint(len, dst + 1);
}

size_t FormatDeltaPatch(uint32_t len, uint8_t* dst) {
    dst[0] = kDeltaPatch;
    return 1 + PutVarint(len, dst + 1);
}

int HashDeltaSource(DeltaSource source, void* ctx, uint64_t size, uint8_t* hash) {
    uint8_t* block = static_cast<uint8_t*>(AllocChecked(kDeltaHashBlockBytes));
    if (!block) return kPayloadNoMemory;
    Sha256 sha;
    InitSha256(&sha);
    int rc = kPayloadOk;
    for (uint64_t pos = 0; pos < size && rc == kPayloadOk; pos += kDeltaHashBlockBytes) {
        size_t n = size - pos < kDeltaHashBlockBytes ? static_cast<size_t>(size - pos) : kDeltaHashBlockBytes;
        if (source(ctx, pos, block, n) != 0) rc = kPayloadOldReadFailed;
        if (rc == kPayloadOk) UpdateSha256(&sha, block, n);
    }
    FinishSha256(&sha, hash);
    FreeChecked(block);
    return rc;
}

namespace {

// The instruction stream, inflated a block at a time as the parser asks for bytes.
struct DeltaApply {
    PayloadReader* reader;
    uint32_t remaining;  // compressed bytes not yet read
    z_stream zs;
    uint8_t* in;
    uint8_t* plain;
    size_t plainPos;
    size_t plainEnd;
    bool ended;  // Z_STREAM_END met
    uint8_t* out;
    uint32_t outUsed;
    uint32_t written;  // bytes handed to the sink
    Sha256 sha;
    PayloadSink sink;
    void* ctx;
    int error;
};

int Fail(DeltaApply* a, int error) {
    if (a->error == kPayloadOk) a->error = error;
    return -1;
}

// Inflates the next piece of the stream into plain. 0, or -1 on damage or when input runs out.
int InflateMore(DeltaApply* a) {
    if (a->zs.avail_in == 0 && a->remaining > 0) {
        uint32_t chunk = a->remaining < kPayloadBlockBytes ? a->remaining : kPayloadBlockBytes;
        if (ReadPayloadBytes(a->reader, a->in, chunk) != 0) return Fail(a, a->reader->error);
        a->remaining -= chunk;
        a->zs.next_in = a->in;
        a->zs.avail_in = chunk;
    }
    a->zs.next_out = a->plain;
    a->zs.avail_out = kPayloadBlockBytes;
    int z = inflate(&a->zs, Z_NO_FLUSH);
    if (z == Z_STREAM_END) {
        a->ended = true;
    } else if (z != Z_OK) {
        return Fail(a, kPayloadBadDelta);  // damaged, or it ran out of input
    }
    a->plainPos = 0;
    a->plainEnd = kPayloadBlockBytes - a->zs.avail_out;
    return 0;
}

// Makes at least one plain byte available. 0, or -1 past the stream's end or on damage.
int FillPlain(DeltaApply* a) {
    while (a->plainPos == a->plainEnd) {
        if (a->ended || InflateMore(a) != 0) return Fail(a, kPayloadBadDelta);
    }
    return 0;
}

int GetByte(DeltaApply* a, uint8_t* b) {
    if (FillPlain(a) != 0) return -1;
    *b = a->plain[a->plainPos++];
    return 0;
}

int GetVarint(DeltaApply* a, int maxBytes, uint64_t* v) {
    *v = 0;
    for (int i = 0; i < maxBytes; ++i) {
        uint8_t b;
        if (GetByte(a, &b) != 0) return -1;
        *v |= static_cast<uint64_t>(b & 0x7F) << (7 * i);
        if (!(b & 0x80)) return 0;
    }
    return Fail(a, kPayloadBadDelta);
}

// Hands a full output block (or, at the end, the rest) to the sink.
int Flush(DeltaApply* a) {
    if (a->outUsed == 0) return 0;
    UpdateSha256(&a->sha, a->out, a->outUsed);
    a->written += a->outUsed;
    if (a->sink && a->sink(a->ctx, a->out, a->outUsed, a->written, a->reader->consumed) != 0) {
        return Fail(a, kPayloadSinkFailed);
    }
    a->outUsed = 0;
    return 0;
}

int Copy(DeltaApply* a, DeltaSource source, void* sourceCtx, uint64_t from, uint64_t len) {
    while (len > 0) {
        uint32_t room = kPayloadBlockBytes - a->outUsed;
        uint32_t n = len < room ? static_cast<uint32_t>(len) : room;
        if (source(sourceCtx, from, a->out + a->outUsed, n) != 0) return Fail(a, kPayloadOldReadFailed);
        a->outUsed += n;
        from += n;
        len -= n;
        if (a->outUsed == kPayloadBlockBytes && Flush(a) != 0) return -1;
    }
    return 0;
}

// Adds len bytes of the stream; with source set (a patch) each is added to the old file's byte
// at from instead.
int Add(DeltaApply* a, bool keep, uint64_t len, DeltaSource source = nullptr, void* sourceCtx = nullptr, uint64_t from = 0) {
    while (len > 0) {
        if (FillPlain(a) != 0) return -1;
        size_t avail = a->plainEnd - a->plainPos;
        uint32_t room = keep ? kPayloadBlockBytes - a->outUsed : kPayloadBlockBytes;
        size_t n = len < avail ? static_cast<size_t>(len) : avail;
        if (n > room) n = room;
        uint8_t* dst = a->out + a->outUsed;
        if (keep && source) {
            if (source(sourceCtx, from, dst, n) != 0) return Fail(a, kPayloadOldReadFailed);
            for (size_t i = 0; i < n; ++i) dst[i] = static_cast<uint8_t>(dst[i] + a->plain[a->plainPos + i]);
            from += n;
        } else if (keep) {
            memcpy(dst, a->plain + a->plainPos, n);
        }
        a->plainPos += n;
        len -= n;
        if (!keep) continue;
        a->outUsed += static_cast<uint32_t>(n);
        if (a->outUsed == kPayloadBlockBytes && Flush(a) != 0) return -1;
    }
    return 0;
}

// Runs the instructions to the end marker. produced counts what they make, checked against the
// new size before any byte of an instruction is made.
int RunInstructions(DeltaApply* a, const DeltaHeader* header, DeltaSource source, void* sourceCtx) {
    uint64_t produced = 0;
    uint64_t last = 0;
    for (;;) {
        uint8_t op;
        uint64_t len;
        if (GetByte(a, &op) != 0) return -1;
        if (op == kDeltaEnd) break;
        if ((op != kDeltaCopy && op != kDeltaAdd && op != kDeltaPatch) || GetVarint(a, 5, &len) != 0)
            return Fail(a, kPayloadBadDelta);
        if (len == 0) return Fail(a, kPayloadBadDelta);
        if (len > header->newSize - produced) return Fail(a, kPayloadDeltaRange);
        produced += len;
        if (op == kDeltaAdd) {
            if (Add(a, source != nullptr, len) != 0) return -1;
            continue;
        }
        if (op == kDeltaPatch) {
            if (len > header->oldSize - last) return Fail(a, kPayloadDeltaRange);
            if (Add(a, source != nullptr, len, source, sourceCtx, last) != 0) return -1;
            last += len;
            continue;
        }
        uint64_t zigzag;
        if (GetVarint(a, 10, &zigzag) != 0) return Fail(a, kPayloadBadDelta);
        int64_t off = static_cast<int64_t>(zigzag >> 1) ^ -static_cast<int64_t>(zigzag & 1);
        uint64_t from = last + static_cast<uint64_t>(off);
        // Unsigned: a move before the file's start wraps far past its end.
        if (from > header->oldSize || len > header->oldSize - from) return Fail(a, kPayloadDeltaRange);
        last = from + len;
        if (source && Copy(a, source, sourceCtx, from, len) != 0) return -1;
    }
    if (produced != header->newSize) return Fail(a, kPayloadDeltaRange);
    // Nothing may follow the end: neither instructions nor bytes behind the stream.
    while (a->plainPos == a->plainEnd && !a->ended) {
        if (InflateMore(a) != 0) return -1;
    }
    if (a->plainPos != a->plainEnd || a->zs.avail_in != 0 || a->remaining != 0) return Fail(a, kPayloadBadDelta);
    return 0;
}

}  // namespace

int ApplyPayloadDelta(PayloadReader* reader, const PayloadRecord* rec, const DeltaHeader* header, DeltaSource source,
                      void* sourceCtx, PayloadSink sink, void* ctx) {
    int rc = -1;
    bool started = false;
    DeltaApply a;
    memset(&a, 0, sizeof a);
    a.reader = reader;
    a.remaining = rec->packedSize - static_cast<uint32_t>(kDeltaHeaderBytes);
    a.sink = source ? sink : nullptr;
    a.ctx = ctx;
    InitSha256(&a.sha);
    a.in = static_cast<uint8_t*>(AllocChecked(kPayloadBlockBytes));
    a.plain = static_cast<uint8_t*>(AllocChecked(kPayloadBlockBytes));
    a.out = static_cast<uint8_t*>(AllocChecked(kPayloadBlockBytes));
    if (reader->error != kPayloadOk) goto done;
    if (!a.in || !a.plain || !a.out || inflateInit_(&a.zs, kZlibVersion, static_cast<int>(sizeof(z_stream))) != Z_OK) {
        Fail(&a, kPayloadNoMemory);
        goto done;
    }
    started = true;
    if (RunInstructions(&a, header, source, sourceCtx) != 0) goto done;
    if (source) {
        uint8_t hash[kSha256Bytes];
        if (Flush(&a) != 0) goto done;
        FinishSha256(&a.sha, hash);
        if (memcmp(hash, header->newHash, kSha256Bytes) != 0) {
            Fail(&a, kPayloadDeltaHash);
            goto done;
        }
    }
    rc = 0;
done:
    if (started) inflateEnd(&a.zs);
    FreeChecked(a.in);
    FreeChecked(a.plain);
    FreeChecked(a.out);
    if (rc != 0) FailDelta(reader, a.error != kPayloadOk ? a.error : kPayloadBadDelta);
    return rc;
}

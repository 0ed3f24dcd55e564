#pragma once
// A delta record's data: what the installed file must be, what it becomes, and how to make the one
// from the other. The packer writes it and the program applies it through this one module.
//
//   "VNd1"      4   magic; no zlib header starts so, so a reader that inflates it fails at once
//   old size    4   u32
//   old hash   32   SHA-256 of the content the delta applies to
//   new size    4   u32, below 2 GiB
//   new hash   32   SHA-256 of the content it makes
//   stream      -   one zlib stream to the record's end, of instructions:
//                     0x01 len off   copy len bytes of the old file from the end of the last copy
//                                    plus off (zigzag), so moved ranges cost a few bytes
//                     0x02 len bytes add the len bytes that follow
//                     0x03 len bytes patch: len bytes of the old file from the end of the last copy,
//                                    each plus the byte that follows (mod 256), so a field that
//                                    changed by the same amount everywhere (an index's offsets)
//                                    compresses; the next copy counts from their end
//                     0x00           end; then the stream ends
// Numbers are little-endian; len and off in the stream are LEB128 varints.
#include <cstddef>
#include <cstdint>

#include "common/sha256.h"
#include "payload/payload_format.h"

const size_t kDeltaHeaderBytes = 76;
const uint8_t kDeltaEnd = 0x00;
const uint8_t kDeltaCopy = 0x01;
const uint8_t kDeltaAdd = 0x02;
const uint8_t kDeltaPatch = 0x03;
const size_t kDeltaHashBlockBytes = 0x100000;
const size_t kDeltaOpMaxBytes = 1 + 5 + 10;  // the longest copy or add instruction (without its bytes)

struct DeltaHeader {
    uint32_t oldSize;
    uint8_t oldHash[kSha256Bytes];
    uint32_t newSize;
    uint8_t newHash[kSha256Bytes];
};

// Reads n bytes at offset of the old file into dst. 0, or -1 when they cannot be read in full.
typedef int (*DeltaSource)(void* ctx, uint64_t offset, uint8_t* dst, size_t n);

// Reads the header of a delta record (the reader stands at its data). Returns 0, or -1 with
// reader->error set.
int ReadDeltaHeader(PayloadReader* reader, const PayloadRecord* rec, DeltaHeader* header);

// Applies the rest of the record: copies from source, adds from the stream, writes through sink as
// InflatePayloadRecord does (whole blocks, then the rest), and checks the result's hash. With a
// null source nothing is read or written and the hash is not checked: only the structure is.
// Memory is a few fixed blocks whatever the sizes. Returns 0, or -1 with reader->error set.
int ApplyPayloadDelta(PayloadReader* reader, const PayloadRecord* rec, const DeltaHeader* header, DeltaSource source,
                      void* sourceCtx, PayloadSink sink, void* ctx);

// Hashes size bytes of source in blocks of kDeltaHashBlockBytes: few, large reads. Returns
// kPayloadOk, kPayloadNoMemory or kPayloadOldReadFailed.
int HashDeltaSource(DeltaSource source, void* ctx, uint64_t size, uint8_t* hash);

// The packer's side. Each writes one instruction into dst (kDeltaOpMaxBytes at least) and returns
// its length; last is the old offset where the previous copy ended.
size_t FormatDeltaHeader(const DeltaHeader* header, uint8_t* dst);
size_t FormatDeltaCopy(uint64_t last, uint64_t offset, uint32_t len, uint8_t* dst);
size_t FormatDeltaAdd(uint32_t len, uint8_t* dst);
size_t FormatDeltaPatch(uint32_t len, uint8_t* dst);

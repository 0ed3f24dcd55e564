// Applies arbitrary bytes as a delta record's data over an old file of its own header's size.
// Besides the sanitizers, aborts when the applier reads outside the old file or writes past the
// new size, or the structure check and the apply disagree on the structure.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "payload/delta.h"

struct Old {
    uint32_t size;
};

static int ReadOld(void* ctx, uint64_t offset, uint8_t* dst, size_t n) {
    const Old* old = static_cast<const Old*>(ctx);
    if (offset > old->size || n > old->size - offset) abort();
    for (size_t i = 0; i < n; ++i) dst[i] = static_cast<uint8_t>((offset + i) * 31);
    return 0;
}

struct Made {
    uint32_t newSize;
    uint32_t written;
};

static int Write(void* ctx, const uint8_t*, size_t n, uint32_t fileWritten, uint32_t) {
    Made* m = static_cast<Made*>(ctx);
    m->written += static_cast<uint32_t>(n);
    if (n == 0 || n > kPayloadBlockBytes || m->written != fileWritten || fileWritten > m->newSize) abort();
    return 0;
}

static int Run(const uint8_t* data, size_t size, bool apply, int* error) {
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return -2;
    *error = 0;
    PayloadReader reader;
    memset(&reader, 0, sizeof reader);
    reader.file = f;
    reader.end = static_cast<uint32_t>(size);
    reader.total = reader.end;
    PayloadRecord rec;
    memset(&rec, 0, sizeof rec);
    rec.isDelta = true;
    rec.size = kPayloadDeltaMark;
    rec.packedSize = static_cast<uint32_t>(size);
    DeltaHeader header;
    int rc = ReadDeltaHeader(&reader, &rec, &header);
    if (rc == 0 && apply && header.newSize > (4u << 20)) rc = -2;  // keeps each run quick
    if (rc == 0) {
        Old old = {header.oldSize};
        Made made = {header.newSize, 0};
        rc = ApplyPayloadDelta(&reader, &rec, &header, apply ? ReadOld : nullptr, &old, Write, &made);
        if (rc == 0 && apply && made.written != header.newSize) abort();
    }
    if (rc != -2) *error = reader.error;
    fclose(f);
    return rc;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > (1u << 20)) return 0;
    int checkError = 0, applyError = 0;
    int check = Run(data, size, false, &checkError);
    int apply = Run(data, size, true, &applyError);
    if (check == -2 || apply == -2) return 0;
    // Only the content can fail an apply that the structure check passed.
    if (check != 0 && apply == 0) abort();
    if (check == 0 && apply != 0 && applyError != kPayloadDeltaHash) abort();
    return 0;
}

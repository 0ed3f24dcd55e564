// Runs the payload reader, the inflater and both walks over arbitrary bytes, writing into memory.
// Besides the sanitizers, aborts when a sink sees more than a record's size or counts that disagree.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "payload/extract.h"
#include "payload/payload_format.h"

struct MemorySink {
    uint32_t fileBytes;
    uint32_t size;
    uint32_t lastConsumed;
    uint8_t keep[256];
};

static int OpenMemory(void* ctx, const char*, const PayloadRecord* rec) {
    MemorySink* m = static_cast<MemorySink*>(ctx);
    if (rec->isDir || rec->size >= kPayloadSizeLimit) abort();
    m->fileBytes = 0;
    m->size = rec->size;
    return 0;
}

static int WriteMemory(void* ctx, const uint8_t* bytes, size_t n, uint32_t fileWritten, uint32_t consumed) {
    MemorySink* m = static_cast<MemorySink*>(ctx);
    if (n == 0 || n > kPayloadBlockBytes) abort();
    m->fileBytes += static_cast<uint32_t>(n);
    if (m->fileBytes != fileWritten || fileWritten > m->size || consumed < m->lastConsumed) abort();
    m->lastConsumed = consumed;
    for (size_t i = 0; i < n; ++i) m->keep[i % sizeof m->keep] ^= bytes[i];
    return 0;
}

static int CloseMemory(void* ctx, const char*, const PayloadRecord*, bool ok) {
    MemorySink* m = static_cast<MemorySink*>(ctx);
    if (ok && m->fileBytes != m->size) abort();
    return 0;
}

static int CheckDir(void*, const char* path, const PayloadRecord* rec) {
    if (!rec->isDir || CheckPayloadName(rec->name) != kPayloadOk || !path[0]) abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const ExtractOps ops = {CheckDir, OpenMemory, WriteMemory, CloseMemory, nullptr, nullptr, nullptr, nullptr};
    for (int mode = kExtractAll; mode <= kExtractSetupFiles; ++mode) {
        FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
        if (!f) return 0;
        PayloadReader reader;
        MemorySink sink = {};
        ExtractResult result;
        if (OpenPayloadReader(f, &reader) == 0) {
            int rc = RunPayloadExtraction(&reader, "C:\\G", mode, &ops, &sink, &result);
            if ((rc == 0) != (result.error == kPayloadOk)) abort();
            if (reader.consumed > reader.total) abort();
        }
        fclose(f);
    }
    return 0;
}

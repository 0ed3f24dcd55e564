#include <cstring>

#include "common/alloc.h"
#include "common/le_bytes.h"
#include "image/rct.h"

static int32_t GetI32(const uint8_t* p) { return static_cast<int32_t>(GetLe32(p)); }

// Bytes from the current position to the end, or -1 when the stream cannot tell (a pipe).
static long RemainingBytes(FILE* f) {
    long here = ftell(f);
    if (here < 0 || fseek(f, 0, SEEK_END) != 0) return -1;
    long end = ftell(f);
    if (fseek(f, here, SEEK_SET) != 0) return -1;
    return end < here ? -1 : end - here;
}

int ReadRctFile(FILE* f, RctFile* out) {
    memset(out, 0, sizeof *out);
    uint8_t head[kRctHeaderBytes];
    if (fread(head, 1, sizeof head, f) != sizeof head) return kRctTruncated;
    const bool named = memcmp(head, kRctMagicNamed, kRctMagicBytes) == 0;
    if (!named && memcmp(head, kRctMagicPlain, kRctMagicBytes) != 0) return kRctBadMagic;

    const int32_t width = GetI32(head + 8);
    const int32_t height = GetI32(head + 12);
    const int32_t dataSize = GetI32(head + 16);
    if (CheckRctSize(width, height) != kRctOk || dataSize < 3) return kRctBadSize;

    if (named) {
        uint8_t lenBytes[2];
        if (fread(lenBytes, 1, 2, f) != 2) return kRctTruncated;
        size_t left = GetLe16(lenBytes);
        uint8_t skip[256];
        while (left > 0) {
            size_t part = left < sizeof skip ? left : sizeof skip;
            if (fread(skip, 1, part, f) != part) return kRctTruncated;
            left -= part;
        }
    }

    // A data size beyond the end of the file is refused before anything is allocated for it.
    const long remaining = RemainingBytes(f);
    if (remaining >= 0 && remaining < dataSize) return kRctTruncated;

    uint8_t* data = static_cast<uint8_t*>(AllocChecked(static_cast<size_t>(dataSize)));
    if (!data) return kRctNoMemory;
    if (fread(data, 1, static_cast<size_t>(dataSize), f) != static_cast<size_t>(dataSize)) {
        FreeChecked(data);
        return kRctTruncated;
    }
    out->width = width;
    out->height = height;
    out->dataSize = dataSize;
    out->data = data;
    return kRctOk;
}

void FreeRctFile(RctFile* file) {
    FreeChecked(file->data);
    file->data = nullptr;
}

int WriteRctFile(FILE* f, int32_t width, int32_t height, const char* name, size_t nameLen, const uint8_t* data,
                 size_t dataSize) {
    if (nameLen > 0xFFFF || dataSize > 0x7FFFFFFF) return -1;
    uint8_t head[kRctHeaderBytes + 2];
    memcpy(head, name ? kRctMagicNamed : kRctMagicPlain, kRctMagicBytes);
    PutLe32(head + 8, static_cast<uint32_t>(width));
    PutLe32(head + 12, static_cast<uint32_t>(height));
    PutLe32(head + 16, static_cast<uint32_t>(dataSize));
    size_t headLen = kRctHeaderBytes;
    if (name) {
        PutLe16(head + 20, static_cast<uint16_t>(nameLen));
        headLen += 2;
    }
    if (fwrite(head, 1, headLen, f) != headLen) return -1;
    if (name && fwrite(name, 1, nameLen, f) != nameLen) return -1;
    if (fwrite(data, 1, dataSize, f) != dataSize) return -1;
    return 0;
}

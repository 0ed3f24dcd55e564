// Feeds arbitrary bytes to the RCT reader and decoder: as a whole file, and as bare data for a small
// picture whose size the first two bytes choose. Whatever decodes must survive an encode and decode
// unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/alloc.h"
#include "image/rct.h"

static const int64_t kMaxFuzzPixelBytes = 3 << 20;

static void CheckRoundTrip(const uint8_t* px, int32_t w, int32_t h) {
    const size_t n = size_t{3} * static_cast<size_t>(w) * static_cast<size_t>(h);
    const size_t bound = RctEncodeBound(w, h);
    uint8_t* data = static_cast<uint8_t*>(malloc(bound));
    uint8_t* back = static_cast<uint8_t*>(malloc(n));
    size_t len = 0;
    if (EncodeRct(px, w, h, data, bound, &len) != 0) abort();
    if (DecodeRct(data, len, w, h, back, n) != kRctOk) abort();
    if (memcmp(px, back, n) != 0) abort();
    free(data);
    free(back);
}

// Decodes into a block of exactly the picture's size, so any stray write is caught.
static void DecodeOne(const uint8_t* data, size_t size, int32_t w, int32_t h) {
    const size_t n = size_t{3} * static_cast<size_t>(w) * static_cast<size_t>(h);
    uint8_t* px = static_cast<uint8_t*>(malloc(n));
    if (DecodeRct(data, size, w, h, px, n) == kRctOk) CheckRoundTrip(px, w, h);
    free(px);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (f) {
        RctFile rct;
        if (ReadRctFile(f, &rct) == kRctOk) {
            if (int64_t{3} * rct.width * rct.height <= kMaxFuzzPixelBytes) {
                DecodeOne(rct.data, static_cast<size_t>(rct.dataSize), rct.width, rct.height);
            }
            FreeRctFile(&rct);
        }
        fclose(f);
    }
    if (size >= 2) {
        // Exact-size copy of the data, so reading past it is caught too.
        uint8_t* bare = static_cast<uint8_t*>(malloc(size - 2 ? size - 2 : 1));
        memcpy(bare, data + 2, size - 2);
        DecodeOne(bare, size - 2, data[0] % 16 + 1, data[1] % 16 + 1);
        free(bare);
    }
    return 0;
}

#include <cstring>

#include "common/le_bytes.h"
#include "image/rct.h"

size_t RctEncodeBound(int32_t width, int32_t height) {
    // The worst case is one-pixel literal runs: four bytes a pixel.
    return size_t{4} * static_cast<size_t>(width) * static_cast<size_t>(height) + 16;
}

// Pixels from p on that equal the pixels dist back, overlapping as the decoder's copy does.
static size_t MatchLength(const uint8_t* pixels, size_t p, size_t dist, size_t limit) {
    const uint8_t* a = pixels + 3 * p;
    const uint8_t* b = a - 3 * dist;
    const size_t bytes = 3 * limit;
    size_t j = 0;
    while (j + 8 <= bytes) {
        uint64_t x, y;
        memcpy(&x, a + j, 8);
        memcpy(&y, b + j, 8);
        if (x != y) break;
        j += 8;
    }
    while (j < bytes && a[j] == b[j]) ++j;
    return j / 3;
}

static uint8_t* PutLiterals(uint8_t* out, const uint8_t* pixels, size_t first, size_t count) {
    while (count > 0) {
        size_t n;
        if (count >= 128) {
            n = count < size_t{kRctMaxLongLiteral} ? count : size_t{kRctMaxLongLiteral};
            *out++ = 0x7F;
            PutLe16(out, static_cast<uint16_t>(n - 128));
            out += 2;
        } else {
            n = count;
            *out++ = static_cast<uint8_t>(n - 1);
        }
        memcpy(out, pixels + 3 * first, 3 * n);
        out += 3 * n;
        first += n;
        count -= n;
    }
    return out;
}

int EncodeRct(const uint8_t* pixels, int32_t width, int32_t height, uint8_t* out, size_t outSize, size_t* outLen) {
    if (!pixels || !out || CheckRctSize(width, height) != kRctOk) return -1;
    if (outSize < RctEncodeBound(width, height)) return -1;

    int32_t offsets[kRctOffsetCount];
    BuildRctOffsets(width, offsets);
    const size_t total = static_cast<size_t>(width) * static_cast<size_t>(height);

    uint8_t* w = out;
    memcpy(w, pixels, 3);
    w += 3;
    size_t literalStart = 1;
    size_t p = 1;
    while (p < total) {
        const size_t limit = total - p < size_t{kRctMaxLongCopy} ? total - p : size_t{kRctMaxLongCopy};
        size_t bestLen = 0;
        int bestK = 0;
        for (int k = 0; k < kRctOffsetCount && bestLen < limit; ++k) {
            if (offsets[k] >= 0) continue;  // not yet decoded on narrow pictures
            const size_t dist = static_cast<size_t>(-offsets[k]) / 3;
            if (dist > p) continue;
            const size_t len = MatchLength(pixels, p, dist, limit);
            if (len > bestLen) {
                bestLen = len;
                bestK = k;
            }
        }
        if (bestLen == 0) {
            ++p;
            continue;
        }
        // Even one copied pixel (one byte) beats a literal one (three), so every match is taken.
        w = PutLiterals(w, pixels, literalStart, p - literalStart);
        if (bestLen >= 4) {
            *w++ = static_cast<uint8_t>(0x80 | (bestK << 2) | 3);
            PutLe16(w, static_cast<uint16_t>(bestLen - 4));
            w += 2;
        } else {
            *w++ = static_cast<uint8_t>(0x80 | (bestK << 2) | (bestLen - 1));
        }
        p += bestLen;
        literalStart = p;
    }
    w = PutLiterals(w, pixels, literalStart, p - literalStart);
    *outLen = static_cast<size_t>(w - out);
    return 0;
}

#include <cstring>

#include "common/le_bytes.h"
#include "image/rct.h"

const uint8_t kRctMagicPlain[kRctMagicBytes] = {0x98, 0x5A, 0x92, 0x9A, 'T', 'C', '0', '0'};
const uint8_t kRctMagicNamed[kRctMagicBytes] = {0x98, 0x5A, 0x92, 0x9A, 'T', 'C', '0', '1'};

// Pixel displacements (dx right, dy down) of the 32 copy sources: up to six pixels to the left in
// the same row, then rows one to four above.
static const int8_t kDisplacements[kRctOffsetCount][2] = {
    {-1, 0},  {-2, 0},  {-3, 0},  {-4, 0},  {-5, 0},  {-6, 0}, {3, -1},  {2, -1},  {1, -1},  {0, -1},  {-1, -1},
    {-2, -1}, {-3, -1}, {3, -2},  {2, -2},  {1, -2},  {0, -2}, {-1, -2}, {-2, -2}, {-3, -2}, {3, -3},  {2, -3},
    {1, -3},  {0, -3},  {-1, -3}, {-2, -3}, {-3, -3}, {2, -4}, {1, -4},  {0, -4},  {-1, -4}, {-2, -4},
};

const char* DescribeRctStatus(int status) {
    switch (status) {
    case kRctOk: return "no fault";
    case kRctBadMagic: return "not an RCT picture";
    case kRctBadSize: return "width, height or data size out of range";
    case kRctTruncated: return "the file is shorter than its header says";
    case kRctNoMemory: return "out of memory";
    case kRctDataShort: return "the data ends inside an item";
    case kRctCopyOutside: return "a copy reaches outside the decoded pixels";
    case kRctPastEnd: return "an item runs past the last pixel";
    default: return "unknown fault";
    }
}

int CheckRctSize(int32_t width, int32_t height) {
    if (width < 1 || height < 1 || width > kRctMaxSide || height > kRctMaxSide) return kRctBadSize;
    if (int64_t{3} * width * height > kRctMaxPixelBytes) return kRctBadSize;
    return kRctOk;
}

void BuildRctOffsets(int32_t width, int32_t offsets[kRctOffsetCount]) {
    for (int k = 0; k < kRctOffsetCount; ++k) {
        offsets[k] = 3 * kDisplacements[k][0] + 3 * width * kDisplacements[k][1];
    }
}

// Copies count bytes from dist bytes back. When the two overlap, the copy reads what it has just
// written and so repeats the last dist bytes; block copies of whole periods give the same bytes.
static void CopyBack(uint8_t* dst, size_t dist, size_t count) {
    const uint8_t* src = dst - dist;
    if (count <= 12) {
        for (size_t j = 0; j < count; ++j) dst[j] = src[j];
        return;
    }
    if (dist >= count) {
        memcpy(dst, src, count);
        return;
    }
    memcpy(dst, src, dist);
    size_t done = dist;  // always a whole number of periods, so dst repeats itself from here
    while (done < count) {
        size_t len = done < count - done ? done : count - done;
        memcpy(dst + done, dst, len);
        done += len;
    }
}

int DecodeRct(const uint8_t* data, size_t dataSize, int32_t width, int32_t height, uint8_t* pixels, size_t pixelsSize) {
    if (CheckRctSize(width, height) != kRctOk) return kRctBadSize;
    const size_t end = size_t{3} * static_cast<size_t>(width) * static_cast<size_t>(height);
    if (pixelsSize < end) return kRctBadSize;
    if (dataSize < 3) return kRctDataShort;

    int32_t offsets[kRctOffsetCount];
    BuildRctOffsets(width, offsets);

    memcpy(pixels, data, 3);
    size_t o = 3;
    size_t i = 3;
    while (o < end) {
        if (i >= dataSize) return kRctDataShort;
        const uint32_t c = data[i++];
        size_t count;
        if (c < 0x80) {
            if (c == 0x7F) {
                if (dataSize - i < 2) return kRctDataShort;
                count = 3 * (GetLe16(data + i) + 128);
                i += 2;
            } else {
                count = 3 * (c + 1);
            }
            if (count > end - o) return kRctPastEnd;
            if (count > dataSize - i) return kRctDataShort;
            memcpy(pixels + o, data + i, count);
            i += count;
            o += count;
        } else {
            const int32_t offset = offsets[(c >> 2) & 0x1F];
            if ((c & 3) == 3) {
                if (dataSize - i < 2) return kRctDataShort;
                count = 3 * (GetLe16(data + i) + 4);
                i += 2;
            } else {
                count = 3 * ((c & 3) + 1);
            }
            if (count > end - o) return kRctPastEnd;
            // On narrow pictures some entries point at or past the output: those pixels are not
            // decoded yet, so they are as wrong as a source before the picture.
            if (offset >= 0 || static_cast<size_t>(-offset) > o) return kRctCopyOutside;
            CopyBack(pixels + o, static_cast<size_t>(-offset), count);
            o += count;
        }
    }
    return kRctOk;
}

int32_t RowStride(int32_t width) { return (3 * width + 3) / 4 * 4; }

void AlignPackedRows(uint8_t* bits, int32_t width, int32_t height, int32_t stride) {
    const size_t packed = size_t{3} * static_cast<size_t>(width);
    if (packed == static_cast<size_t>(stride)) return;
    for (int32_t r = height - 1; r > 0; --r) {
        memmove(bits + static_cast<size_t>(r) * static_cast<size_t>(stride), bits + r * packed, packed);
    }
}

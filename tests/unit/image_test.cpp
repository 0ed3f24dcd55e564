#include <gtest/gtest.h>

#include "image/rct.h"
#include "support/pictures.h"
#include "support/rct_bytes.h"

namespace {

TEST(RctDecode, HandBuiltItems) {
    const struct {
        const char* what;
        int32_t w, h;
        Bytes data, expected;
    } cases[] = {
        {"1x1 is its three bytes, the rest ignored", 1, 1, Cat({Px(1), {0x00, 9, 9, 9}}), Px(1)},
        {"0x7E gives 127 literal pixels", 128, 1, Cat({Px(0), {0x7E}, Pixels(1, 127)}), Pixels(0, 128)},
        {"0x7F n is little-endian", 386, 1, Cat({Px(0), {0x7F, 1, 1}, Pixels(1, 385)}), Pixels(0, 386)},
        {"0x82 repeats it three times", 4, 1, Cat({Px(3), {0x82}}), Repeat(Px(3), 4)},
        {"long copy n counts from 4", 1, 262, Cat({Px(2), {0x83, 1, 1}}), Repeat(Px(2), 262)},
        {"overlapping copy two back repeats a pair", 5, 1, Cat({Px(1), {0x00}, Px(2), {0x86}}),
         Cat({Px(1), Px(2), Px(1), Px(2), Px(1)})},
        {"entry 6 in the last columns reads the current row", 5, 2,
         Cat({Px(0), {0x03}, Pixels(1, 4), {0x01}, Pixels(5, 2), {0x9A}}), Cat({Pixels(0, 7), Px(5), Px(6), Px(5)})},
    };
    for (const auto& c : cases) {
        Bytes out;
        EXPECT_EQ(DecodeExact(c.data, c.w, c.h, &out), kRctOk) << c.what;
        EXPECT_EQ(out, c.expected) << c.what;
    }
}

// A one-pixel copy at the last pixel must take the pixel dx to the right and dy rows down, counted
// along the packed rows, so on narrow widths (1 to 5) the entries wrap into neighbouring rows.
TEST(RctDecode, EveryEntryTakesItsDisplacement) {
    const int d[32][2] = {{-1, 0},  {-2, 0},  {-3, 0},  {-4, 0},  {-5, 0},  {-6, 0}, {3, -1},  {2, -1},
                          {1, -1},  {0, -1},  {-1, -1}, {-2, -1}, {-3, -1}, {3, -2}, {2, -2},  {1, -2},
                          {0, -2},  {-1, -2}, {-2, -2}, {-3, -2}, {3, -3},  {2, -3}, {1, -3},  {0, -3},
                          {-1, -3}, {-2, -3}, {-3, -3}, {2, -4},  {1, -4},  {0, -4}, {-1, -4}, {-2, -4}};
    for (int32_t w : {1, 2, 3, 4, 5, 8}) {
        const int32_t h = 6, last = w * h - 1;
        for (int k = 0; k < 32; ++k) {
            const long src = long{h - 1 + d[k][1]} * w + w - 1 + d[k][0];
            Bytes out, data = Cat({Px(0), {uint8_t(last - 2)}, Pixels(1, last - 1), {uint8_t(0x80 | k << 2)}});
            const bool outside = src < 0 || src >= last;  // before the picture, or not decoded yet
            ASSERT_EQ(DecodeExact(data, w, h, &out), outside ? kRctCopyOutside : kRctOk) << "w " << w << " k " << k;
            EXPECT_TRUE(outside || Bytes(out.end() - 3, out.end()) == Px(static_cast<int>(src))) << "w " << w << " k " << k;
        }
    }
}

TEST(RctDecode, MalformedDataIsRefusedWithoutStrayAccess) {
    const struct {
        const char* what;
        int32_t w, h;
        Bytes data;
        int expected;
    } cases[] = {
        {"negative height", 1, -1, Px(0), kRctBadSize},
        {"width over 16384", 16385, 1, Px(0), kRctBadSize},
        {"over 256 MiB of pixels", 16384, 5462, Px(0), kRctBadSize},
        {"data below three bytes", 1, 1, {1, 2}, kRctDataShort},
        {"no control byte for the second pixel", 2, 1, Px(0), kRctDataShort},
        {"literal run short of data", 3, 1, Cat({Px(0), {0x01}, Px(1), {1, 2}}), kRctDataShort},
        {"long literal without its count", 200, 1, Cat({Px(0), {0x7F, 0}}), kRctDataShort},
        {"long literal short of data", 200, 1, Cat({Px(0), {0x7F, 0, 0}, Pixels(1, 100)}), kRctDataShort},
        {"long copy without its count", 9, 1, Cat({Px(0), {0x83, 1}}), kRctDataShort},
        {"literal run past the last pixel", 2, 1, Cat({Px(0), {0x01}, Pixels(1, 2)}), kRctPastEnd},
        {"copy past the last pixel", 3, 1, Cat({Px(0), {0x82}}), kRctPastEnd},
        {"long copy past the last pixel", 300, 1, Cat({Px(0), {0x83, 0xFF, 0xFF}}), kRctPastEnd},
        {"copy before the picture", 4, 2, Cat({Px(0), {0x84}}), kRctCopyOutside},
        {"four rows up on the fourth row", 1, 5, Cat({Px(0), {0x01}, Pixels(1, 2), {0xF4}}), kRctCopyOutside},
    };
    Bytes out;
    for (const auto& c : cases) EXPECT_EQ(DecodeExact(c.data, c.w, c.h, &out), c.expected) << c.what;
    EXPECT_EQ(DecodeExact(Cat({Px(0), {0x80}}), 2, 1, &out, 5), kRctBadSize) << "buffer below the picture";
}

// A bitmap row holds 3 bytes a pixel, rounded up to 4 bytes (not the width to 4 pixels).
TEST(RctRows, StrideRoundsTheRowUpToFourBytes) {
    const struct { int32_t width, stride; } cases[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {7, 24}, {641, 1924}};
    for (const auto& c : cases) EXPECT_EQ(RowStride(c.width), c.stride) << "width " << c.width;
}

TEST(RctRows, AlignMovesEveryRowToItsStrideLastFirst) {
    for (int32_t w = 1; w <= 9; ++w) {
        for (int32_t h = 1; h <= 4; ++h) {
            const int32_t stride = RowStride(w);
            Bytes bits = Pixels(0, w * h);
            bits.resize(size_t{static_cast<size_t>(stride)} * h, 0xEE);
            const Bytes before(bits);
            AlignPackedRows(bits.data(), w, h, stride);
            for (int r = 0; r < h; ++r) {  // the pixels moved, the padding bytes keep what they held
                const size_t row = size_t{static_cast<size_t>(r)} * stride, pad = row + 3 * w, next = row + stride;
                EXPECT_EQ(Bytes(bits.begin() + row, bits.begin() + pad), Pixels(r * w, w)) << w << "x" << h << " row " << r;
                EXPECT_EQ(Bytes(bits.begin() + pad, bits.begin() + next), Bytes(before.begin() + pad, before.begin() + next))
                    << w << "x" << h << " padding of row " << r;
            }
        }
    }
}

TEST(RctFile, ReadsBothFormsAndRefusesBadOrCutFiles) {
    const Bytes data = Cat({Px(0), {0x80}});
    const uint8_t* plain = kRctMagicPlain;
    const struct {
        const char* what;
        Bytes file;
        int expected;
    } cases[] = {
        {"plain form", Cat({RctHeader(plain, 2, 1, 4), data}), kRctOk},
        {"bytes after the data are ignored", Cat({RctHeader(plain, 2, 1, 4), data, {1, 2, 3}}), kRctOk},
        {"named form with a name", Cat({RctHeader(kRctMagicNamed, 2, 1, 4), {3, 0, 'a', 'b', 'c'}, data}), kRctOk},
        {"name of 257 bytes", Cat({RctHeader(kRctMagicNamed, 2, 1, 4), {1, 1}, Bytes(257, 'n'), data}), kRctOk},
        {"unknown magic", Cat({{0x98, 0x5A, 0x92, 0x9A, 'T', 'C', '0', '2'}, Le32(2), Le32(1), Le32(4), data}),
         kRctBadMagic},
        {"name longer than the file", Cat({RctHeader(kRctMagicNamed, 2, 1, 4), {200, 0}, data}), kRctTruncated},
        {"data size beyond the file", Cat({RctHeader(plain, 2, 1, 5), data}), kRctTruncated},
        {"huge data size", Cat({RctHeader(plain, 2, 1, 0x7FFFFFFF), data}), kRctTruncated},
        {"data size below 3", Cat({RctHeader(plain, 1, 1, 2), {1, 2}}), kRctBadSize},
        {"height too big", Cat({RctHeader(plain, 1, 20000, 4), data}), kRctBadSize},
    };
    for (const auto& c : cases) {
        RctFile rct;
        ASSERT_EQ(ReadRctBytes(c.file, &rct), c.expected) << c.what;
        // A refused file leaves no data behind.
        EXPECT_EQ(rct.data ? Bytes(rct.data, rct.data + rct.dataSize) : Bytes(), c.expected == kRctOk ? data : Bytes())
            << c.what;
        EXPECT_TRUE(c.expected != kRctOk || (rct.width == 2 && rct.height == 1)) << c.what;
        FreeRctFile(&rct);
    }
    const Bytes named = Cat({RctHeader(kRctMagicNamed, 2, 1, 4), {2, 0, 'n', 'm'}, data});
    for (size_t cut = 0; cut < named.size(); ++cut) {
        RctFile rct;
        EXPECT_EQ(ReadRctBytes(Bytes(named.begin(), named.begin() + cut), &rct), kRctTruncated) << "cut " << cut;
    }
}

// Encodes and decodes a picture; returns the data size.
size_t RoundTrip(const Bytes& px, int32_t w, int32_t h, const char* what) {
    Bytes data, out;
    EXPECT_EQ(EncodeRctBytes(px, w, h, &data), 0) << what << " " << w << "x" << h;
    EXPECT_EQ(DecodeExact(data, w, h, &out), kRctOk) << what << " " << w << "x" << h;
    EXPECT_TRUE(out == px) << what << " " << w << "x" << h << ": decoded pixels differ";
    return data.size();
}

TEST(RctEncode, RoundTripsArePixelExact) {
    for (int32_t w = 1; w <= 7; ++w) {
        for (int32_t h = 1; h <= 6; ++h) {
            Bytes px(size_t{3} * w * h);
            // Few colours, so that copies of every reach and of overlapping runs are found.
            FillFewColourPicture(px.data(), w, h, static_cast<uint32_t>(w * 31 + h));
            RoundTrip(px, w, h, "few colours");
            FillRandomPicture(px.data(), w, h, static_cast<uint32_t>(w * 31 + h));
            RoundTrip(px, w, h, "random");
        }
    }
    Bytes noise(size_t{3} * 300 * 300), photo(size_t{3} * 640 * 480), flat(size_t{3} * 1024 * 768);
    FillRandomPicture(noise.data(), 300, 300, 7);
    FillPhotoLikePicture(photo.data(), 640, 480, 11);
    FillFlatPicture(flat.data(), 1024, 768, 10, 20, 30);
    // Random rows need more than one long literal run; a flat picture is a handful of longest copies.
    EXPECT_LT(RoundTrip(noise, 300, 300, "random"), noise.size() + 16);
    EXPECT_LT(RoundTrip(photo, 640, 480, "photo-like"), photo.size() / 2);
    EXPECT_LE(RoundTrip(flat, 1024, 768, "flat"), 3 + 3 * (1024 * 768 / 65539 + 1));
}

}  // namespace

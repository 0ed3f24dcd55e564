#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "image/rct.h"
#include "support/pictures.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A pixel whose three bytes tell it from every other pixel of a small picture.
Bytes Px(int i) {
    return {static_cast<uint8_t>(i), static_cast<uint8_t>(i * 7 + 1), static_cast<uint8_t>(200 - i)};
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Literal pixels first..first+count-1 of the Px series.
Bytes Pixels(int first, int count) {
    Bytes out;
    for (int i = 0; i < count; ++i) {
        Bytes p = Px(first + i);
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

// Decodes into a buffer of exactly 3 * w * h bytes, so the sanitizer sees any write past it; the
// data is copied to its own exact block for the same reason.
int Decode(const Bytes& data, int32_t w, int32_t h, Bytes* out) {
    out->assign(size_t{3} * w * h, 0xEE);
    std::vector<uint8_t> exact(data);
    return DecodeRct(exact.data(), exact.size(), w, h, out->data(), out->size());
}

TEST(RctDecode, HandBuiltItems) {
    struct Case {
        const char* what;
        int32_t w, h;
        Bytes data;
        Bytes expected;
    } cases[] = {
        {"1x1 is its three bytes, the rest ignored", 1, 1, Cat({Px(1), {0x00, 9, 9, 9}}), Px(1)},
        {"0x7E gives 127 literal pixels", 128, 1, Cat({Px(0), {0x7E}, Pixels(1, 127)}), Pixels(0, 128)},
        {"0x7F with n=0 gives 128", 129, 1, Cat({Px(0), {0x7F, 0, 0}, Pixels(1, 128)}), Pixels(0, 129)},
        {"0x7F with n=1 gives 129", 130, 1, Cat({Px(0), {0x7F, 1, 0}, Pixels(1, 129)}), Pixels(0, 130)},
        {"0x80 repeats the previous pixel", 2, 1, Cat({Px(3), {0x80}}), Cat({Px(3), Px(3)})},
        {"0x82 repeats it three times", 4, 1, Cat({Px(3), {0x82}}), Cat({Px(3), Px(3), Px(3), Px(3)})},
        {"long copy with n=0 copies 4", 5, 1, Cat({Px(2), {0x83, 0, 0}}), Cat({Px(2), Px(2), Px(2), Px(2), Px(2)})},
        {"long copy n counts from 4", 1, 262, Cat({Px(2), {0x83, 1, 1}}), [] {
             Bytes b;
             for (int i = 0; i < 262; ++i) b = Cat({b, Px(2)});
             return b;
         }()},
        {"overlapping copy two back repeats a pair", 5, 1, Cat({Px(1), {0x00}, Px(2), {0x86}}),
         Cat({Px(1), Px(2), Px(1), Px(2), Px(1)})},
        {"entry 6 in the last columns reads the current row", 5, 2,
         Cat({Px(0), {0x03}, Pixels(1, 4), {0x01}, Pixels(5, 2), {0x9A}}),
         Cat({Pixels(0, 7), Px(5), Px(6), Px(5)})},
        {"entry 9 copies the row above", 3, 2, Cat({Px(0), {0x01}, Pixels(1, 2), {0xA6}}),
         Cat({Pixels(0, 3), Pixels(0, 3)})},
        {"entry 29 reaches four rows up", 2, 5, Cat({Px(0), {0x06}, Pixels(1, 7), {0xF5}}),
         Cat({Pixels(0, 8), Pixels(0, 2)})},
    };
    for (const Case& c : cases) {
        Bytes out;
        EXPECT_EQ(Decode(c.data, c.w, c.h, &out), kRctOk) << c.what;
        EXPECT_EQ(out, c.expected) << c.what;
    }
}

// Every entry of the offset table, checked against its displacement in the picture: a one-pixel
// copy at column x of row y must take the pixel dx to the right and dy rows down, counted along the
// packed rows, so narrow widths (1 to 5) wrap into neighbouring rows.
TEST(RctDecode, EveryEntryTakesItsDisplacement) {
    const int dxdy[32][2] = {{-1, 0},  {-2, 0},  {-3, 0},  {-4, 0},  {-5, 0},  {-6, 0},  {3, -1},  {2, -1},
                             {1, -1},  {0, -1},  {-1, -1}, {-2, -1}, {-3, -1}, {3, -2},  {2, -2},  {1, -2},
                             {0, -2},  {-1, -2}, {-2, -2}, {-3, -2}, {3, -3},  {2, -3},  {1, -3},  {0, -3},
                             {-1, -3}, {-2, -3}, {-3, -3}, {2, -4},  {1, -4},  {0, -4},  {-1, -4}, {-2, -4}};
    for (int32_t w : {1, 2, 3, 4, 5, 7, 8}) {
        const int32_t h = 6;
        for (int k = 0; k < 32; ++k) {
            int y = h - 1, x = w - 1;  // the last pixel
            long src = static_cast<long>(y + dxdy[k][1]) * w + x + dxdy[k][0];
            const int last = w * h - 1;
            Bytes data = Cat({Px(0), {0x7F, static_cast<uint8_t>(last - 1 - 128), 0}, Pixels(1, last - 1)});
            if (last - 1 < 128) data = Cat({Px(0), {static_cast<uint8_t>(last - 2)}, Pixels(1, last - 1)});
            data.push_back(static_cast<uint8_t>(0x80 | (k << 2)));
            Bytes out;
            int rc = Decode(data, w, h, &out);
            if (src < 0 || src >= last) {
                // Before the picture, or a pixel not decoded yet (narrow pictures).
                EXPECT_EQ(rc, kRctCopyOutside) << "w " << w << " k " << k;
                continue;
            }
            ASSERT_EQ(rc, kRctOk) << "w " << w << " k " << k;
            EXPECT_EQ(Bytes(out.end() - 3, out.end()), Px(static_cast<int>(src))) << "w " << w << " k " << k;
        }
    }
}

TEST(RctDecode, MalformedDataIsRefusedWithoutStrayAccess) {
    const size_t big = static_cast<size_t>(kRctMaxPixelBytes);
    struct Case {
        const char* what;
        int32_t w, h;
        Bytes data;
        int expected;
    } cases[] = {
        {"width 0", 0, 1, Px(0), kRctBadSize},
        {"height 0", 1, 0, Px(0), kRctBadSize},
        {"negative width", -4, 1, Px(0), kRctBadSize},
        {"negative height", 1, -1, Px(0), kRctBadSize},
        {"width over 16384", 16385, 1, Px(0), kRctBadSize},
        {"height over 16384", 1, 16385, Px(0), kRctBadSize},
        {"over 256 MiB of pixels", 16384, 5462, Px(0), kRctBadSize},
        {"data below three bytes", 1, 1, {1, 2}, kRctDataShort},
        {"no control byte for the second pixel", 2, 1, Px(0), kRctDataShort},
        {"literal run short of data", 3, 1, Cat({Px(0), {0x01}, Px(1), {1, 2}}), kRctDataShort},
        {"long literal without its count", 200, 1, Cat({Px(0), {0x7F, 0}}), kRctDataShort},
        {"long literal short of data", 200, 1, Cat({Px(0), {0x7F, 0, 0}, Pixels(1, 100)}), kRctDataShort},
        {"long copy without its count", 9, 1, Cat({Px(0), {0x83, 1}}), kRctDataShort},
        {"literal run past the last pixel", 2, 1, Cat({Px(0), {0x01}, Pixels(1, 2)}), kRctPastEnd},
        {"long literal past the last pixel", 128, 1, Cat({Px(0), {0x7F, 0, 0}, Pixels(1, 128)}), kRctPastEnd},
        {"copy past the last pixel", 3, 1, Cat({Px(0), {0x82}}), kRctPastEnd},
        {"long copy past the last pixel", 300, 1, Cat({Px(0), {0x83, 0xFF, 0xFF}}), kRctPastEnd},
        {"copy before the picture", 4, 2, Cat({Px(0), {0x84}}), kRctCopyOutside},
        {"copy from the row above on the first row", 4, 2, Cat({Px(0), {0x00}, Px(1), {0xA4}}), kRctCopyOutside},
        {"four rows up on the fourth row", 1, 5, Cat({Px(0), {0x01}, Pixels(1, 2), {0xF4}}), kRctCopyOutside},
        {"entry 6 on width 1 points ahead", 1, 9, Cat({Px(0), {0x98}}), kRctCopyOutside},
        {"entry 6 on width 3 points at itself", 3, 2, Cat({Px(0), {0x01}, Pixels(1, 2), {0x98}}),
         kRctCopyOutside},
    };
    for (const Case& c : cases) {
        if (int64_t{3} * c.w * c.h > int64_t(big) || c.w <= 0 || c.h <= 0) {
            // No buffer of that size: the size check must come before any write.
            uint8_t px[3];
            Bytes data(c.data);
            EXPECT_EQ(DecodeRct(data.data(), data.size(), c.w, c.h, px, sizeof px), c.expected) << c.what;
            continue;
        }
        Bytes out;
        EXPECT_EQ(Decode(c.data, c.w, c.h, &out), c.expected) << c.what;
    }
    // A pixel buffer smaller than the picture.
    Bytes data = Cat({Px(0), {0x80}});
    uint8_t px[5];
    EXPECT_EQ(DecodeRct(data.data(), data.size(), 2, 1, px, sizeof px), kRctBadSize);
}

TEST(RctRows, AlignMovesEveryPixelToItsStride) {
    const struct {
        int32_t w, stride;
    } strides[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {256, 768}, {257, 772}};
    for (const auto& s : strides) EXPECT_EQ(RowStride(s.w), s.stride) << "width " << s.w;

    for (int32_t w = 1; w <= 9; ++w) {
        for (int32_t h = 1; h <= 4; ++h) {
            const int32_t stride = RowStride(w);
            Bytes bits(size_t{static_cast<size_t>(stride)} * h, 0xEE);
            Bytes packed = Pixels(0, w * h);
            memcpy(bits.data(), packed.data(), packed.size());
            AlignPackedRows(bits.data(), w, h, stride);
            for (int r = 0; r < h; ++r) {
                for (int x = 0; x < w; ++x) {
                    EXPECT_EQ(Bytes(bits.begin() + r * stride + 3 * x, bits.begin() + r * stride + 3 * x + 3),
                              Px(r * w + x))
                        << "w " << w << " h " << h << " row " << r << " x " << x;
                }
            }
        }
    }
}

TEST(RctRows, OnePixelWideRowsMoveLastFirst) {
    // Rows 0, 1, 2 at bytes 0, 3, 6 go to 0, 4, 8; moving row 1 first would overwrite row 2. The
    // padding bytes 3 and 7 keep what they held.
    Bytes bits = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0};
    AlignPackedRows(bits.data(), 1, 3, 4);
    EXPECT_EQ(bits, (Bytes{1, 2, 3, 4, 4, 5, 6, 8, 7, 8, 9, 0}));
}

// A whole file in a temporary stream, read back as the program reads it.
int ReadBytes(const Bytes& file, RctFile* out) {
    FILE* f = tmpfile();
    if (!f) return 99;
    if (!file.empty()) fwrite(file.data(), 1, file.size(), f);
    rewind(f);
    int rc = ReadRctFile(f, out);
    fclose(f);
    return rc;
}

Bytes Le32(int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    return {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
            static_cast<uint8_t>(u >> 24)};
}

Bytes Magic(const uint8_t* m) { return Bytes(m, m + kRctMagicBytes); }

Bytes Header(const uint8_t* magic, int32_t w, int32_t h, int32_t size) {
    return Cat({Magic(magic), Le32(w), Le32(h), Le32(size)});
}

TEST(RctFile, ReadsBothFormsAndRefusesBadHeaders) {
    const Bytes data = Cat({Px(0), {0x80}});
    struct Case {
        const char* what;
        Bytes file;
        int expected;
    } cases[] = {
        {"plain form", Cat({Header(kRctMagicPlain, 2, 1, 4), data}), kRctOk},
        {"bytes after the data are ignored", Cat({Header(kRctMagicPlain, 2, 1, 4), data, {1, 2, 3}}), kRctOk},
        {"named form with an empty name", Cat({Header(kRctMagicNamed, 2, 1, 4), {0, 0}, data}), kRctOk},
        {"named form with a name", Cat({Header(kRctMagicNamed, 2, 1, 4), {3, 0}, {'a', 'b', 'c'}, data}), kRctOk},
        {"unknown magic with valid sizes",
         Cat({{0x98, 0x5A, 0x92, 0x9A, 'T', 'C', '0', '2'}, Le32(2), Le32(1), Le32(4), data}), kRctBadMagic},
        {"header cut short", Bytes(Magic(kRctMagicPlain)), kRctTruncated},
        {"name longer than the file", Cat({Header(kRctMagicNamed, 2, 1, 4), {200, 0}, data}), kRctTruncated},
        {"name length cut short", Cat({Header(kRctMagicNamed, 2, 1, 4), {0}}), kRctTruncated},
        {"data size beyond the file", Cat({Header(kRctMagicPlain, 2, 1, 5), data}), kRctTruncated},
        {"huge data size", Cat({Header(kRctMagicPlain, 2, 1, 0x7FFFFFFF), data}), kRctTruncated},
        {"data size below 3", Cat({Header(kRctMagicPlain, 1, 1, 2), {1, 2}}), kRctBadSize},
        {"negative data size", Cat({Header(kRctMagicPlain, 1, 1, -1), data}), kRctBadSize},
        {"width 0", Cat({Header(kRctMagicPlain, 0, 1, 4), data}), kRctBadSize},
        {"height too big", Cat({Header(kRctMagicPlain, 1, 20000, 4), data}), kRctBadSize},
    };
    for (const Case& c : cases) {
        RctFile rct;
        ASSERT_EQ(ReadBytes(c.file, &rct), c.expected) << c.what;
        if (c.expected != kRctOk) {
            EXPECT_EQ(rct.data, nullptr) << c.what;
            continue;
        }
        EXPECT_EQ(rct.width, 2);
        EXPECT_EQ(rct.height, 1);
        ASSERT_EQ(rct.dataSize, 4);
        EXPECT_EQ(Bytes(rct.data, rct.data + 4), data) << c.what;
        FreeRctFile(&rct);
    }
}

TEST(RctFile, EveryCutOfAFileIsRefused) {
    const Bytes file = Cat({Header(kRctMagicNamed, 2, 1, 4), {2, 0, 'n', 'm'}, Px(0), {0x80}});
    for (size_t cut = 0; cut < file.size(); ++cut) {
        RctFile rct;
        EXPECT_EQ(ReadBytes(Bytes(file.begin(), file.begin() + cut), &rct), kRctTruncated) << "cut " << cut;
    }
}

// Encodes and decodes a picture; returns the data size, or 0 after a failed expectation.
size_t RoundTrip(const Bytes& px, int32_t w, int32_t h, const std::string& what) {
    Bytes data(RctEncodeBound(w, h));
    size_t len = 0;
    EXPECT_EQ(EncodeRct(px.data(), w, h, data.data(), data.size(), &len), 0) << what;
    data.resize(len);
    Bytes out;
    EXPECT_EQ(Decode(data, w, h, &out), kRctOk) << what;
    EXPECT_TRUE(out == px) << what << ": decoded pixels differ";
    return out == px ? len : 0;
}

TEST(RctEncode, RoundTripsArePixelExact) {
    for (int32_t w = 1; w <= 7; ++w) {
        for (int32_t h = 1; h <= 6; ++h) {
            Bytes px(size_t{3} * w * h);
            // Few colours, so that copies of every reach and of overlapping runs are found.
            uint32_t seed = static_cast<uint32_t>(w * 31 + h);
            for (size_t i = 0; i < px.size(); i += 3) {
                uint8_t v = static_cast<uint8_t>(NextRandom(&seed) % 3);
                px[i] = px[i + 1] = px[i + 2] = v;
            }
            RoundTrip(px, w, h, "few colours " + std::to_string(w) + "x" + std::to_string(h));
            FillRandomPicture(px.data(), w, h, seed);
            RoundTrip(px, w, h, "random " + std::to_string(w) + "x" + std::to_string(h));
        }
    }
    // Random pixels over 65663 in a row need more than one long literal run.
    Bytes noise(size_t{3} * 300 * 300);
    FillRandomPicture(noise.data(), 300, 300, 7);
    size_t len = RoundTrip(noise, 300, 300, "random 300x300");
    EXPECT_LT(len, noise.size() + 16);

    Bytes photo(size_t{3} * 640 * 480);
    FillPhotoLikePicture(photo.data(), 640, 480, 11);
    len = RoundTrip(photo, 640, 480, "photo-like 640x480");
    EXPECT_LT(len, photo.size() / 2);

    // A flat picture is a handful of long copies of the maximum length.
    Bytes flat(size_t{3} * 1024 * 768);
    FillFlatPicture(flat.data(), 1024, 768, 10, 20, 30);
    len = RoundTrip(flat, 1024, 768, "flat 1024x768");
    EXPECT_LE(len, 3 + 3 * (1024 * 768 / 65539 + 1));
}

TEST(RctEncode, RefusesWhatItCannotEncode) {
    uint8_t px[6] = {};
    uint8_t out[64];
    size_t len;
    EXPECT_EQ(EncodeRct(px, 0, 1, out, sizeof out, &len), -1);
    EXPECT_EQ(EncodeRct(px, 2, 1, out, RctEncodeBound(2, 1) - 1, &len), -1);
}

}  // namespace

#pragma once
// Byte builders and runners for the RCT picture tests, native and under Wine. No checks here: the
// tests make them.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "common/le_bytes.h"
#include "image/rct.h"
#include "support/payload_writer.h"
#include "support/pictures.h"

using Bytes = std::vector<uint8_t>;

// A pixel whose three bytes tell it from every other pixel of a small picture.
inline Bytes Px(int i) { return {static_cast<uint8_t>(i), static_cast<uint8_t>(i * 7 + 1), static_cast<uint8_t>(200 - i)}; }

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Pixels first..first+count-1 of the Px series.
inline Bytes Pixels(int first, int count) {
    Bytes out;
    for (int i = 0; i < count; ++i) out = Cat({out, Px(first + i)});
    return out;
}

inline Bytes Repeat(const Bytes& part, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i) out = Cat({out, part});
    return out;
}

inline Bytes Le32(int32_t v) {
    Bytes out(4);
    PutLe32(out.data(), static_cast<uint32_t>(v));
    return out;
}

inline Bytes RctHeader(const uint8_t* magic, int32_t w, int32_t h, int32_t size) {
    return Cat({Bytes(magic, magic + kRctMagicBytes), Le32(w), Le32(h), Le32(size)});
}

// Decodes into a buffer of exactly 3 * w * h bytes (room bytes when given, 3 when the size is out of
// range anyway), with the data copied to its own exact block, so the sanitizer sees any stray access.
inline int DecodeExact(const Bytes& data, int32_t w, int32_t h, Bytes* out, size_t room = 0) {
    const bool sane = w > 0 && h > 0 && int64_t{3} * w * h <= kRctMaxPixelBytes;
    out->assign(room ? room : sane ? size_t{3} * static_cast<size_t>(w) * static_cast<size_t>(h) : 3, 0xEE);
    Bytes exact(data);
    return DecodeRct(exact.data(), exact.size(), w, h, out->data(), out->size());
}

// Grey pixels of three shades at random.
inline void FillFewColourPicture(uint8_t* px, int32_t w, int32_t h, uint32_t seed) {
    for (size_t i = 0; i < size_t{3} * static_cast<size_t>(w) * static_cast<size_t>(h); i += 3) {
        px[i] = px[i + 1] = px[i + 2] = static_cast<uint8_t>(NextRandom(&seed) % 3);
    }
}

// A whole file read back from a temporary stream, as the program reads it.
inline int ReadRctBytes(const Bytes& file, RctFile* out) {
    FILE* f = OpenTestBytes(file);
    if (!f) return 99;
    int rc = ReadRctFile(f, out);
    fclose(f);
    return rc;
}

// EncodeRct into a vector sized to the data; its status.
inline int EncodeRctBytes(const Bytes& px, int32_t w, int32_t h, Bytes* data) {
    data->assign(RctEncodeBound(w, h), 0);
    size_t len = 0;
    int rc = EncodeRct(px.data(), w, h, data->data(), data->size(), &len);
    data->resize(len);
    return rc;
}

// A photo-like picture saved as an RCT file (the named form when name is not null); its pixels, or
// nothing when it could not be written.
inline Bytes WriteRctPicture(const char* path, int32_t w, int32_t h, const char* name) {
    Bytes px(size_t{3} * static_cast<size_t>(w) * static_cast<size_t>(h)), data;
    FillPhotoLikePicture(px.data(), w, h, static_cast<uint32_t>(w * h));
    FILE* f = fopen(path, "wb");
    if (!f) return Bytes();
    bool ok = EncodeRctBytes(px, w, h, &data) == 0 &&
              WriteRctFile(f, w, h, name, name ? strlen(name) : 0, data.data(), data.size()) == 0;
    return fclose(f) == 0 && ok ? px : Bytes();
}

// A file's bytes, or nothing.
inline Bytes LoadTestBytes(const char* path) {
    Bytes out;
    FILE* f = fopen(path, "rb");
    if (!f) return out;
    for (int c; (c = fgetc(f)) != EOF;) out.push_back(static_cast<uint8_t>(c));
    fclose(f);
    return out;
}

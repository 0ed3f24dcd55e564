#pragma once
// Runners and PNG helpers for the tests of `vnpack rct`. No checks here: the tests make them.
#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/alloc.h"
#include "support/rct_bytes.h"
#include "support/verb_run.h"
#include "vnpack/png_io.h"
#include "vnpack/vnpack.h"

// Runs `vnpack rct ARGS...`; its exit code.
inline int RunRctVerb(std::vector<std::string> args) { return RunVerb(RunRct, args).rc; }

// A PNG's pixels as vnpack loads them (packed blue-green-red), or nothing when it cannot.
inline Bytes LoadPngPixels(const std::string& path, int32_t* w, int32_t* h) {
    uint8_t* px = nullptr;
    char err[256];
    if (LoadPngBgr(path.c_str(), &px, w, h, err, sizeof err) != 0) return Bytes();
    Bytes out(px, px + size_t{3} * static_cast<size_t>(*w) * static_cast<size_t>(*h));
    FreeChecked(px);
    return out;
}

// Packed blue-green-red pixels saved as a PNG; false when that failed.
inline bool SavePngPixels(const std::string& path, const Bytes& px, int32_t w, int32_t h) {
    char err[256];
    return SavePngBgr(path.c_str(), px.data(), w, h, err, sizeof err) == 0;
}

// One row of red-green-blue-alpha pixels saved as a PNG; false when that failed.
inline bool SaveRgbaRow(const std::string& path, const Bytes& rgba) {
    png_image png;
    memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(rgba.size() / 4);
    png.height = 1;
    png.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&png, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}

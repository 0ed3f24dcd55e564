#include "vnpack/png_io.h"

#include <png.h>

#include <cstring>

#include "common/alloc.h"
#include "common/str_util.h"
#include "image/rct.h"

int LoadPngBgr(const char* path, uint8_t** pixels, int32_t* width, int32_t* height, char* err, size_t errSize) {
    *pixels = nullptr;
    png_image png;
    memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path)) {
        FormatStr(err, errSize, "not a readable PNG (%s)", png.message);
        return -1;
    }
    if (png.width > 0x7FFFFFFF || png.height > 0x7FFFFFFF ||
        CheckRctSize(static_cast<int32_t>(png.width), static_cast<int32_t>(png.height)) != kRctOk) {
        FormatStr(err, errSize, "%ux%u pixels is more than an RCT picture holds", png.width, png.height);
        png_image_free(&png);
        return -1;
    }
    const int32_t w = static_cast<int32_t>(png.width);
    const int32_t h = static_cast<int32_t>(png.height);
    const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
    // Straight (not premultiplied) 8-bit colour with its alpha, flattened here on white.
    png.format = PNG_FORMAT_BGRA;
    uint8_t* bgra = static_cast<uint8_t*>(AllocChecked(count * 4));
    uint8_t* bgr = static_cast<uint8_t*>(AllocChecked(count * 3));
    if (!bgra || !bgr) {
        CopyStr(err, errSize, "out of memory");
        goto fail;
    }
    if (!png_image_finish_read(&png, nullptr, bgra, 0, nullptr)) {
        FormatStr(err, errSize, "damaged PNG (%s)", png.message);
        goto fail;
    }
    for (size_t i = 0; i < count; ++i) {
        const unsigned a = bgra[4 * i + 3];
        for (int c = 0; c < 3; ++c) {
            bgr[3 * i + c] = static_cast<uint8_t>((bgra[4 * i + c] * a + 255 * (255 - a) + 127) / 255);
        }
    }
    FreeChecked(bgra);
    *pixels = bgr;
    *width = w;
    *height = h;
    return 0;
fail:
    png_image_free(&png);
    FreeChecked(bgra);
    FreeChecked(bgr);
    return -1;
}

static void DescribeBgr(png_image* png, int32_t width, int32_t height) {
    memset(png, 0, sizeof *png);
    png->version = PNG_IMAGE_VERSION;
    png->width = static_cast<png_uint_32>(width);
    png->height = static_cast<png_uint_32>(height);
    png->format = PNG_FORMAT_BGR;
}

int SavePngBgr(const char* path, const uint8_t* pixels, int32_t width, int32_t height, char* err, size_t errSize) {
    png_image png;
    DescribeBgr(&png, width, height);
    if (!png_image_write_to_file(&png, path, 0, pixels, 0, nullptr)) {
        FormatStr(err, errSize, "cannot write (%s)", png.message);
        return -1;
    }
    return 0;
}

size_t MeasurePngBgr(const uint8_t* pixels, int32_t width, int32_t height) {
    png_image png;
    DescribeBgr(&png, width, height);
    png_alloc_size_t size = 0;
    if (!png_image_write_get_memory_size(png, size, 0, pixels, 0, nullptr)) return 0;
    return static_cast<size_t>(size);
}

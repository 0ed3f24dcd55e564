#pragma once
// PNG pictures as packed blue-green-red rows, the layout RCT pictures decode to.
#include <cstddef>
#include <cstdint>

// Reads path into a new buffer (AllocChecked, 3 * width * height bytes) with any alpha flattened
// on white. Returns 0, or -1 with a reason in err.
int LoadPngBgr(const char* path, uint8_t** pixels, int32_t* width, int32_t* height, char* err, size_t errSize);

// Writes packed pixels as an 8-bit RGB PNG at libpng's default settings. 0, or -1 with a reason.
int SavePngBgr(const char* path, const uint8_t* pixels, int32_t width, int32_t height, char* err, size_t errSize);

// The size in bytes of that PNG, or 0 when it cannot be made.
size_t MeasurePngBgr(const uint8_t* pixels, int32_t width, int32_t height);

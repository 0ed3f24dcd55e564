#pragma once
// Reads an image's pixels back through GDI, for the Windows tests of RCT pictures.
#include <windows.h>

#include <cstring>

#include "image/bitmap_win.h"
#include "support/rct_bytes.h"

// The pixels as GDI gives them back, packed (3 * width bytes a row, top-down), or nothing when
// GetDIBits fails. GDI's rows are 4-byte aligned whatever the image believes its stride is.
inline Bytes ReadBackPixels(const BitmapImage* image) {
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image->width;
    info.bmiHeader.biHeight = -image->height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const size_t row = size_t{3} * static_cast<size_t>(image->width), gdiStride = (row + 3) / 4 * 4;
    Bytes rows(gdiStride * static_cast<size_t>(image->height), 0xEE), packed;
    HDC dc = CreateCompatibleDC(nullptr);
    int lines = GetDIBits(dc, image->bitmap, 0, static_cast<UINT>(image->height), rows.data(), &info, DIB_RGB_COLORS);
    DeleteDC(dc);
    if (lines != image->height) return Bytes();
    for (size_t r = 0; r < static_cast<size_t>(image->height); ++r) {
        packed.insert(packed.end(), rows.begin() + r * gdiStride, rows.begin() + r * gdiStride + row);
    }
    return packed;
}

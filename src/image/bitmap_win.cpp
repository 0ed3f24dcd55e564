#include "image/bitmap_win.h"

#include <cstring>

#include "common/alloc.h"
#include "image/rct.h"

static_assert(sizeof(BITMAPINFOHEADER) == 40, "a bare header without colour table");

BitmapImage* CreateBitmapImage(int32_t width, int32_t height) {
    BitmapImage* image = static_cast<BitmapImage*>(AllocChecked(sizeof(BitmapImage)));
    if (!image) return nullptr;
    memset(image, 0, sizeof *image);
    image->width = width;
    image->height = height < 0 ? -height : height;
    image->stride = RowStride(width);

    image->info = static_cast<BITMAPINFO*>(AllocChecked(sizeof(BITMAPINFOHEADER)));
    if (!image->info) {
        FreeChecked(image);
        return nullptr;
    }
    memset(image->info, 0, sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER* header = &image->info->bmiHeader;
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = -height;  // negative: rows run top to bottom
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biCompression = BI_RGB;

    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    image->bitmap = CreateDIBSection(dc, image->info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dc) DeleteDC(dc);
    // Callers write straight into the pixel memory, so an image without it is no image.
    if (!image->bitmap || !bits) {
        if (image->bitmap) DeleteObject(image->bitmap);
        FreeChecked(image->info);
        FreeChecked(image);
        return nullptr;
    }
    image->bits = static_cast<uint8_t*>(bits);
    return image;
}

void DestroyBitmapImage(BitmapImage* image) {
    if (!image) return;
    DeleteObject(image->bitmap);
    FreeChecked(image->info);
    FreeChecked(image);
}

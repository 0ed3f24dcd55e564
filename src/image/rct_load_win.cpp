#include <cstdio>

#include "image/bitmap_win.h"
#include "image/rct.h"
#include "process/file_open_win.h"
#include "process/run_status.h"

static BitmapImage* LoadOpenRct(FILE* f) {
    RctFile rct;
    // A short file is refused at once: reopening it would find it just as short.
    int rc = ReadRctFile(f, &rct);
    fclose(f);
    if (rc != kRctOk) return nullptr;

    BitmapImage* image = CreateBitmapImage(rct.width, rct.height);
    if (image) {
        const size_t size = static_cast<size_t>(image->stride) * static_cast<size_t>(image->height);
        if (DecodeRct(rct.data, static_cast<size_t>(rct.dataSize), rct.width, rct.height, image->bits, size) == kRctOk) {
            AlignPackedRows(image->bits, image->width, image->height, image->stride);
        } else {
            DestroyBitmapImage(image);
            image = nullptr;
        }
    }
    FreeRctFile(&rct);
    return image;
}

int LoadRctImage(const char* fileName, BitmapImage** image) {
    *image = nullptr;
    FILE* f = OpenGuarded(fileName, "rb");
    if (!f) return kRunFailed;
    *image = LoadOpenRct(f);
    return 0;
}

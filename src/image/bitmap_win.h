#pragma once
// Bitmap images: 24-bit top-down DIB sections whose pixel memory decoders write directly.
#include <windows.h>

#include <cstdint>

#include "process/run_status.h"

struct BitmapImage {
    int32_t width;
    int32_t height;    // rows, always positive; the header holds its negation
    int32_t stride;    // bytes from one row to the next, a multiple of 4
    BITMAPINFO* info;  // owned, a 40-byte header and no colour table
    uint8_t* bits;     // pixel memory, owned by the DIB section: row r at r * stride
    HBITMAP bitmap;    // owned
};

// A new image of width x |height| pixels with unset pixels; null when the record cannot be had or
// the DIB section cannot be created. Release with DestroyBitmapImage.
BitmapImage* CreateBitmapImage(int32_t width, int32_t height);

// Releases the image with all it owns; null is ignored.
void DestroyBitmapImage(BitmapImage* image);

// Loads an RCT picture (a CP932 path, relative to the current folder) into a new image, which the
// caller owns. *image is null when the file is not an RCT picture or is damaged or too large, or
// memory runs out; no message apart from the memory warning. Returns 0, or kRunFailed when the file
// could not be opened and the player chose Cancel.
int LoadRctImage(const char* fileName, BitmapImage** image);

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "image/bitmap_win.h"
#include "image/rct.h"
#include "support/pictures.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The pixels as GDI gives them back: top-down 24-bit rows at the 4-byte stride.
Bytes ReadBack(const BitmapImage* image) {
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image->width;
    info.bmiHeader.biHeight = -image->height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    Bytes out(static_cast<size_t>(image->stride) * image->height, 0xEE);
    HDC dc = CreateCompatibleDC(nullptr);
    int lines = GetDIBits(dc, image->bitmap, 0, image->height, out.data(), &info, DIB_RGB_COLORS);
    DeleteDC(dc);
    EXPECT_EQ(lines, image->height);
    return out;
}

// Every pixel of the packed picture px must stand at row r, column x of the image.
void ExpectPixels(const Bytes& rows, int32_t stride, const Bytes& px, int32_t w, int32_t h) {
    for (int32_t r = 0; r < h; ++r) {
        ASSERT_EQ(memcmp(rows.data() + static_cast<size_t>(r) * stride, px.data() + size_t{3} * w * r, size_t{3} * w), 0)
            << "row " << r << " of " << w << "x" << h;
    }
}

// A picture encoded to an RCT file under the given name; returns its pixels.
Bytes WriteRct(const char* path, int32_t w, int32_t h, const char* name) {
    Bytes px(size_t{3} * w * h);
    FillPhotoLikePicture(px.data(), w, h, static_cast<uint32_t>(w * h));
    Bytes data(RctEncodeBound(w, h));
    size_t len = 0;
    EXPECT_EQ(EncodeRct(px.data(), w, h, data.data(), data.size(), &len), 0);
    FILE* f = fopen(path, "wb");
    EXPECT_NE(f, nullptr);
    EXPECT_EQ(WriteRctFile(f, w, h, name, name ? strlen(name) : 0, data.data(), len), 0);
    fclose(f);
    return px;
}

void WriteBytes(const char* path, const Bytes& bytes) {
    FILE* f = fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

TEST(BitmapImage, IsATopDownDibSectionWithAlignedRows) {
    // GDI's own row length must be the one the rows are aligned to, or the picture shears.
    for (int32_t w : {1, 2, 3, 4, 5, 255}) {
        BitmapImage* image = CreateBitmapImage(w, 3);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->height, 3);
        EXPECT_EQ(image->info->bmiHeader.biHeight, -3);
        EXPECT_EQ(image->info->bmiHeader.biBitCount, 24);
        DIBSECTION dib;
        ASSERT_EQ(GetObjectW(image->bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
        EXPECT_EQ(dib.dsBm.bmBits, image->bits);
        EXPECT_EQ(dib.dsBm.bmWidthBytes, image->stride) << "width " << w;
        DestroyBitmapImage(image);
    }
}

TEST(BitmapImage, ListKeepsNewestFirstThroughDestruction) {
    ASSERT_EQ(NewestBitmapImage(), nullptr);
    BitmapImage* a = CreateBitmapImage(2, 2);
    BitmapImage* b = CreateBitmapImage(2, 2);
    BitmapImage* c = CreateBitmapImage(2, 2);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(NewestBitmapImage(), c);
    EXPECT_EQ(c->older, b);
    EXPECT_EQ(b->newer, c);
    DestroyBitmapImage(b);  // the middle one: its neighbours join
    EXPECT_EQ(c->older, a);
    EXPECT_EQ(a->newer, c);
    DestroyBitmapImage(c);  // the newest: the older one becomes the head
    EXPECT_EQ(NewestBitmapImage(), a);
    EXPECT_EQ(a->newer, nullptr);
    DestroyBitmapImage(nullptr);
    EXPECT_EQ(NewestBitmapImage(), a);
    DestroyBitmapImage(a);
    EXPECT_EQ(NewestBitmapImage(), nullptr);
}

TEST(LoadRctImage, PixelsReadBackFromGdiMatchTheDecodedOnes) {
    const struct {
        int32_t w, h;
        const char* name;
    } cases[] = {{1, 1, nullptr}, {37, 23, nullptr}, {64, 16, "スプラッシュ"}, {5, 3, ""}};
    for (const auto& c : cases) {
        Bytes px = WriteRct("picture.rct", c.w, c.h, c.name);
        BitmapImage* image = LoadRctImage("picture.rct");
        ASSERT_NE(image, nullptr) << c.w << "x" << c.h;
        EXPECT_EQ(image->width, c.w);
        EXPECT_EQ(image->height, c.h);
        ExpectPixels(ReadBack(image), image->stride, px, c.w, c.h);
        DestroyBitmapImage(image);
    }
    EXPECT_EQ(NewestBitmapImage(), nullptr);
    remove("picture.rct");
}

TEST(LoadRctImage, DamagedOrForeignFilesGiveNoImage) {
    WriteRct("good.rct", 6, 4, nullptr);
    FILE* f = fopen("good.rct", "rb");
    ASSERT_NE(f, nullptr);
    Bytes good;
    for (int ch; (ch = fgetc(f)) != EOF;) good.push_back(static_cast<uint8_t>(ch));
    fclose(f);

    Bytes foreign(good);
    foreign[7] = '2';
    Bytes wide(good);
    wide[9] = 0x80;  // width 32774: over the limit
    Bytes badCopy(good.begin(), good.begin() + 20);
    const uint8_t copyFirst[] = {1, 2, 3, 0x84};  // copies from two pixels before the picture
    badCopy.insert(badCopy.end(), copyFirst, copyFirst + 4);
    badCopy[16] = 4;
    badCopy[17] = badCopy[18] = badCopy[19] = 0;
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"unknown magic", foreign},
        {"shorter than its header says", Bytes(good.begin(), good.end() - 1)},
        {"header cut short", Bytes(good.begin(), good.begin() + 12)},
        {"too wide", wide},
        {"copy before the picture", badCopy},
    };
    for (const auto& c : cases) {
        WriteBytes("bad.rct", c.file);
        EXPECT_EQ(LoadRctImage("bad.rct"), nullptr) << c.what;
        EXPECT_EQ(NewestBitmapImage(), nullptr) << c.what << ": an image was left on the list";
    }
    remove("good.rct");
    remove("bad.rct");
}

}  // namespace

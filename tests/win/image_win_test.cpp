#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "image/bitmap_win.h"
#include "image/rct.h"
#include "support/payload_writer.h"
#include "support/rct_bytes.h"
#include "support/rct_readback_win.h"

namespace {

// The decoder writes straight into the DIB section: its rows must run top-down at GDI's own stride,
// or the picture comes out flipped or sheared.
TEST(LoadRctImage, PixelsReadBackFromGdiMatchTheDecodedOnes) {
    const struct {
        int32_t w, h;
        const char* name;
    } cases[] = {{1, 1, nullptr},   {2, 3, nullptr},          {3, 2, nullptr}, {4, 4, nullptr},
                 {37, 23, nullptr}, {64, 16, "スプラッシュ"}, {5, 3, ""}};
    for (const auto& c : cases) {
        const Bytes px = WriteRctPicture("picture.rct", c.w, c.h, c.name);
        BitmapImage* image = nullptr;
        ASSERT_EQ(LoadRctImage("picture.rct", &image), 0);
        ASSERT_TRUE(image && !px.empty()) << c.w << "x" << c.h;
        EXPECT_TRUE(image->width == c.w && image->height == c.h) << c.w << "x" << c.h;
        EXPECT_TRUE(ReadBackPixels(image) == px) << c.w << "x" << c.h;
        DestroyBitmapImage(image);
    }
    remove("picture.rct");
}

// Which files are damaged is the reader's unit test; here one whose data fails to decode (a copy from
// before the picture) gives no image, never a half-decoded one.
TEST(LoadRctImage, DamagedFilesGiveNoImage) {
    ASSERT_TRUE(SaveTestBytes(Cat({RctHeader(kRctMagicPlain, 2, 1, 4), Px(0), {0x84}}), "bad.rct"));
    BitmapImage* image = nullptr;
    EXPECT_EQ(LoadRctImage("bad.rct", &image), 0);
    EXPECT_EQ(image, nullptr);
    remove("bad.rct");
}

}  // namespace

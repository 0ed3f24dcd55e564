#include <gtest/gtest.h>

#include <string>

#include "image/rct.h"
#include "support/pictures.h"
#include "support/rct_bytes.h"
#include "support/test_files.h"
#include "support/vnpack_rct_run.h"
#include "vnpack/vnpack.h"

namespace {

const std::string kPlain(reinterpret_cast<const char*>(kRctMagicPlain), kRctMagicBytes);
const std::string kNamed(reinterpret_cast<const char*>(kRctMagicNamed), kRctMagicBytes);

// One picture is named: テスト as the command line gives it (UTF-8; literals here are CP932, so the
// bytes are spelt out), stored in CP932 after its 16-bit length.
TEST(VnpackRct, PngToRctToPngIsPixelExact) {
    TempDir dir;
    const std::string in = dir.path + "/in.png", rct = dir.path + "/pic.rct", out = dir.path + "/out.png";
    const char* name = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";
    const struct {
        int32_t w, h;
        bool photo;
        const char* name;
    } pictures[] = {{1, 1, false, nullptr}, {97, 61, true, nullptr}, {5, 3, false, name}, {320, 200, true, nullptr}};
    for (const auto& p : pictures) {
        Bytes px(size_t{3} * static_cast<size_t>(p.w) * static_cast<size_t>(p.h));
        p.photo ? FillPhotoLikePicture(px.data(), p.w, p.h, 5) : FillRandomPicture(px.data(), p.w, p.h, 5);
        ASSERT_TRUE(SavePngPixels(in, px, p.w, p.h));
        std::vector<std::string> encode = {"encode", in, rct};
        if (p.name) encode.insert(encode.end(), {"--name", p.name});
        ASSERT_EQ(RunRctVerb(encode), kExitOk);
        const std::string file = ReadFile(rct);
        EXPECT_EQ(file.substr(0, kRctMagicBytes), p.name ? kNamed : kPlain);
        EXPECT_TRUE(!p.name || file.substr(20, 8) == std::string("\x06\x00\x83\x65\x83\x58\x83\x67", 8));
        ASSERT_EQ(RunRctVerb({"decode", rct, out}), kExitOk);
        int32_t w = 0, h = 0;
        EXPECT_TRUE(LoadPngPixels(out, &w, &h) == px && w == p.w && h == p.h) << p.w << "x" << p.h;
    }
}

TEST(VnpackRct, AlphaIsFlattenedOnWhite) {
    TempDir dir;
    ASSERT_TRUE(SaveRgbaRow(dir.path + "/alpha.png", {255, 0, 0, 0, 0, 255, 0, 128, 10, 20, 30, 255, 200, 100, 50, 85}));
    int32_t w, h;
    // out = (c * a + 255 * (255 - a)) / 255, rounded; blue, green, red.
    EXPECT_EQ(LoadPngPixels(dir.path + "/alpha.png", &w, &h),
              (Bytes{255, 255, 255, 127, 255, 127, 30, 20, 10, 187, 203, 237}));
}

TEST(VnpackRct, BadInputAndUsageGiveTheirExitCodes) {
    TempDir dir;
    const std::string text = dir.path + "/text.png", damaged = dir.path + "/damaged.rct", out = dir.path + "/o.png";
    WriteFile(text, "hello");
    ASSERT_TRUE(SavePngPixels(dir.path + "/in.png", Bytes(3 * 4, 0x40), 2, 2));
    // Its first copy reaches two pixels before the picture.
    WriteFile(damaged, kPlain + std::string("\x02\0\0\0\x01\0\0\0\x04\0\0\0\x01\x02\x03\x84", 16));
    const struct {
        std::vector<std::string> args;
        int code;
    } cases[] = {
        {{"encode", text, dir.path + "/o.rct"}, kExitBadInput},
        {{"decode", damaged, out}, kExitBadInput},
        {{"decode", dir.path + "/missing.rct", out}, kExitBadInput},
        {{"decode", damaged}, kExitUsage},
        {{"encode", text, dir.path + "/o.rct", "--title", "x"}, kExitUsage},
        // A character CP932 lacks is refused rather than dropped.
        {{"encode", dir.path + "/in.png", dir.path + "/o.rct", "--name", "\xF0\x9F\x98\x80"}, kExitUsage},
    };
    for (const auto& c : cases) EXPECT_EQ(RunRctVerb(c.args), c.code) << c.args[0] << " " << c.args.size();
    EXPECT_EQ(ReadFile(out), "<missing>") << "a failed decode leaves no output";
}

}  // namespace

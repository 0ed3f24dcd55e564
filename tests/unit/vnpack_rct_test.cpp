#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/alloc.h"
#include "image/rct.h"
#include "support/pictures.h"
#include "vnpack/png_io.h"
#include "vnpack/vnpack.h"

int RunRct(int argc, char** argv);

namespace {

using Bytes = std::vector<uint8_t>;

class VnpackRct : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vnpack_rct_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(system(cmd.c_str()), 0);
    }
    std::string Path(const char* name) const { return dir_ + "/" + name; }

    static int Run(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(&a[0]);
        return RunRct(static_cast<int>(argv.size()), argv.data());
    }

    static Bytes ReadAll(const std::string& path) {
        Bytes out;
        FILE* f = fopen(path.c_str(), "rb");
        if (!f) return out;
        int c;
        while ((c = fgetc(f)) != EOF) out.push_back(static_cast<uint8_t>(c));
        fclose(f);
        return out;
    }

    static void WriteAll(const std::string& path, const Bytes& bytes) {
        FILE* f = fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }

    static Bytes LoadPng(const std::string& path, int32_t* w, int32_t* h) {
        uint8_t* px = nullptr;
        char err[256];
        if (LoadPngBgr(path.c_str(), &px, w, h, err, sizeof err) != 0) {
            ADD_FAILURE() << path << ": " << err;
            return Bytes();
        }
        Bytes out(px, px + size_t{3} * static_cast<size_t>(*w) * static_cast<size_t>(*h));
        FreeChecked(px);
        return out;
    }

    std::string dir_;
};

TEST_F(VnpackRct, PngToRctToPngIsPixelExact) {
    const struct {
        int32_t w, h;
        bool photo;
    } pictures[] = {{1, 1, false}, {97, 61, true}, {5, 3, false}, {320, 200, true}};
    for (const auto& p : pictures) {
        Bytes px(size_t{3} * static_cast<size_t>(p.w) * static_cast<size_t>(p.h));
        if (p.photo) {
            FillPhotoLikePicture(px.data(), p.w, p.h, 5);
        } else {
            FillRandomPicture(px.data(), p.w, p.h, 5);
        }
        char err[256];
        ASSERT_EQ(SavePngBgr(Path("in.png").c_str(), px.data(), p.w, p.h, err, sizeof err), 0) << err;
        ASSERT_EQ(Run({"encode", Path("in.png"), Path("pic.rct")}), kExitOk);
        Bytes rct = ReadAll(Path("pic.rct"));
        ASSERT_GE(rct.size(), kRctHeaderBytes);
        EXPECT_EQ(Bytes(rct.begin(), rct.begin() + 8), Bytes(kRctMagicPlain, kRctMagicPlain + 8));
        ASSERT_EQ(Run({"decode", Path("pic.rct"), Path("out.png")}), kExitOk);
        int32_t w = 0, h = 0;
        Bytes back = LoadPng(Path("out.png"), &w, &h);
        EXPECT_EQ(w, p.w);
        EXPECT_EQ(h, p.h);
        EXPECT_TRUE(back == px) << p.w << "x" << p.h;
    }
}

TEST_F(VnpackRct, NameIsStoredAsCp932) {
    Bytes px(3 * 4, 0x40);
    char err[256];
    ASSERT_EQ(SavePngBgr(Path("in.png").c_str(), px.data(), 2, 2, err, sizeof err), 0);
    // テスト as the command line gives it (UTF-8); literals here are CP932, so the bytes are spelt out.
    ASSERT_EQ(Run({"encode", Path("in.png"), Path("pic.rct"), "--name", "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"}),
              kExitOk);
    Bytes rct = ReadAll(Path("pic.rct"));
    ASSERT_GE(rct.size(), 28u);
    EXPECT_EQ(Bytes(rct.begin(), rct.begin() + 8), Bytes(kRctMagicNamed, kRctMagicNamed + 8));
    EXPECT_EQ(Bytes(rct.begin() + 20, rct.begin() + 28), (Bytes{6, 0, 0x83, 0x65, 0x83, 0x58, 0x83, 0x67}));
    EXPECT_EQ(Run({"decode", Path("pic.rct"), Path("out.png")}), kExitOk);

    // A character CP932 lacks is refused rather than dropped.
    EXPECT_EQ(Run({"encode", Path("in.png"), Path("x.rct"), "--name", "\xF0\x9F\x98\x80"}), kExitUsage);
}

TEST_F(VnpackRct, AlphaIsFlattenedOnWhite) {
    const uint8_t rgba[] = {255, 0, 0, 0, 0, 255, 0, 128, 10, 20, 30, 255, 200, 100, 50, 255 / 3};
    png_image png;
    memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = 4;
    png.height = 1;
    png.format = PNG_FORMAT_RGBA;
    ASSERT_NE(png_image_write_to_file(&png, Path("alpha.png").c_str(), 0, rgba, 0, nullptr), 0);
    int32_t w, h;
    Bytes bgr = LoadPng(Path("alpha.png"), &w, &h);
    // out = (c * a + 255 * (255 - a)) / 255, rounded; blue, green, red.
    EXPECT_EQ(bgr, (Bytes{255, 255, 255, 127, 255, 127, 30, 20, 10, 187, 203, 237}));
}

TEST_F(VnpackRct, BadInputAndUsageGiveTheirExitCodes) {
    WriteAll(Path("text.png"), Bytes{'h', 'e', 'l', 'l', 'o'});
    Bytes damaged = {0x98, 0x5A, 0x92, 0x9A, 'T', 'C', '0', '0', 2, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 1, 2, 3, 0x84};
    WriteAll(Path("damaged.rct"), damaged);
    damaged[7] = '9';
    WriteAll(Path("magic.rct"), damaged);
    const struct {
        std::vector<std::string> args;
        int code;
    } cases[] = {
        {{"encode", Path("text.png"), Path("o.rct")}, kExitBadInput},
        {{"encode", Path("missing.png"), Path("o.rct")}, kExitBadInput},
        {{"decode", Path("damaged.rct"), Path("o.png")}, kExitBadInput},
        {{"decode", Path("magic.rct"), Path("o.png")}, kExitBadInput},
        {{"decode", Path("missing.rct"), Path("o.png")}, kExitBadInput},
        {{"decode", Path("damaged.rct")}, kExitUsage},
        {{"encode", Path("text.png"), Path("o.rct"), "--title", "x"}, kExitUsage},
        {{"convert", "a", "b"}, kExitUsage},
        {{}, kExitUsage},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.args), c.code) << (c.args.empty() ? "" : c.args[0]) << " " << c.args.size();
    }
    // No output is left behind by a failed decode.
    EXPECT_TRUE(ReadAll(Path("o.png")).empty());
}

}  // namespace

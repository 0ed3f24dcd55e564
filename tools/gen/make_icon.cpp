// Writes the program's icon: 16, 32 and 48 pixels in 256 colours with a transparency mask, which
// every system shows. Images with 32-bit alpha would only soften the edges, at three times the
// size, and every player downloads the icon with each update. The picture is an arrow dropping
// into a tray on a blue tile, drawn from shapes at 4 x 4 samples a pixel, so every size is drawn
// for itself instead of scaled down from the largest.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "gen/gen_bytes.h"

namespace {

const int kSizes[] = {16, 32, 48};
const int kSamples = 4;

struct Rgba {
    double r, g, b, a;
};

bool InRoundedSquare(double x, double y, double lo, double hi, double radius) {
    double cx = x < lo + radius ? lo + radius : x > hi - radius ? hi - radius : x;
    double cy = y < lo + radius ? lo + radius : y > hi - radius ? hi - radius : y;
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius && x >= lo && x <= hi && y >= lo && y <= hi;
}

bool InArrow(double x, double y) {
    if (x >= 0.41 && x <= 0.59 && y >= 0.17 && y <= 0.50) return true;  // shaft
    // Head: from (0.24, 0.46) and (0.76, 0.46) down to (0.5, 0.72).
    if (y < 0.46 || y > 0.72) return false;
    double half = 0.26 * (0.72 - y) / 0.26;
    return std::fabs(x - 0.5) <= half;
}

bool InTray(double x, double y) {
    if (y >= 0.76 && y <= 0.84 && x >= 0.22 && x <= 0.78) return true;
    return y >= 0.62 && y <= 0.84 && ((x >= 0.22 && x <= 0.29) || (x >= 0.71 && x <= 0.78));
}

// The colour at a point of the unit square (0, 0 top left).
Rgba Shade(double x, double y) {
    if (!InRoundedSquare(x, y, 0.04, 0.96, 0.2)) return {0, 0, 0, 0};
    if (InArrow(x, y)) return {255, 255, 255, 1};
    if (InTray(x, y)) return {255, 214, 90, 1};
    if (!InRoundedSquare(x, y, 0.09, 0.91, 0.16)) return {20, 60, 140, 1};  // rim
    return {70 - 40 * y, 140 - 60 * y, 235 - 60 * y, 1};
}

Rgba Pixel(int size, int px, int py) {
    Rgba sum = {0, 0, 0, 0};
    for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
            Rgba c = Shade((px + (sx + 0.5) / kSamples) / size, (py + (sy + 0.5) / kSamples) / size);
            sum.r += c.r * c.a;
            sum.g += c.g * c.a;
            sum.b += c.b * c.a;
            sum.a += c.a;
        }
    }
    if (sum.a == 0) return sum;
    return {sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / (kSamples * kSamples)};
}

uint8_t Byte(double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : std::lround(v)); }

// The 256-colour palette: a 6 x 6 x 6 cube and 40 greys.
void Palette(uint8_t pal[256][3]) {
    int n = 0;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) {
                pal[n][0] = static_cast<uint8_t>(r * 51);
                pal[n][1] = static_cast<uint8_t>(g * 51);
                pal[n][2] = static_cast<uint8_t>(b * 51);
                ++n;
            }
    for (int i = 0; n < 256; ++i, ++n) pal[n][0] = pal[n][1] = pal[n][2] = static_cast<uint8_t>(i * 255 / 39);
}

int Nearest(const uint8_t pal[256][3], uint8_t r, uint8_t g, uint8_t b) {
    int best = 0;
    long bestDist = -1;
    for (int i = 0; i < 256; ++i) {
        long dr = pal[i][0] - r, dg = pal[i][1] - g, db = pal[i][2] - b;
        long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (bestDist < 0 || d < bestDist) best = i, bestDist = d;
    }
    return best;
}

// One image as the icon format stores it: a bitmap header of twice the height, the colour rows
// bottom up, then the 1-bit mask (set: transparent).
std::vector<uint8_t> Image(int size) {
    std::vector<Rgba> px;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) px.push_back(Pixel(size, x, y));
    const int colourStride = (size + 3) / 4 * 4;
    const int maskStride = ((size + 7) / 8 + 3) / 4 * 4;
    std::vector<uint8_t> out;
    AppendLe32(&out, 40);
    AppendLe32(&out, static_cast<uint32_t>(size));
    AppendLe32(&out, static_cast<uint32_t>(size * 2));
    AppendLe16(&out, 1);
    AppendLe16(&out, 8);
    AppendLe32(&out, 0);
    AppendLe32(&out, static_cast<uint32_t>((colourStride + maskStride) * size));
    AppendLe32(&out, 0);
    AppendLe32(&out, 0);
    AppendLe32(&out, 256);
    AppendLe32(&out, 0);
    uint8_t pal[256][3];
    Palette(pal);
    for (auto& c : pal) out.insert(out.end(), {c[2], c[1], c[0], 0});
    for (int y = size - 1; y >= 0; --y) {
        size_t rowStart = out.size();
        for (int x = 0; x < size; ++x) {
            const Rgba& c = px[static_cast<size_t>(y * size + x)];
            out.push_back(c.a >= 0.5 ? static_cast<uint8_t>(Nearest(pal, Byte(c.r), Byte(c.g), Byte(c.b))) : 0);
        }
        out.resize(rowStart + static_cast<size_t>(colourStride), 0);
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(static_cast<size_t>(maskStride), 0);
        for (int x = 0; x < size; ++x) {
            if (px[static_cast<size_t>(y * size + x)].a < 0.5) row[static_cast<size_t>(x / 8)] |= 0x80 >> (x % 8);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_icon OUT.ico\n");
        return 1;
    }
    std::vector<std::vector<uint8_t>> images;
    for (int size : kSizes) images.push_back(Image(size));
    std::vector<uint8_t> file;
    AppendLe16(&file, 0);
    AppendLe16(&file, 1);  // icon
    AppendLe16(&file, static_cast<uint16_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        file.push_back(static_cast<uint8_t>(kSizes[i]));
        file.push_back(static_cast<uint8_t>(kSizes[i]));
        file.push_back(0);  // colour count: 0 from 256 colours on
        file.push_back(0);
        AppendLe16(&file, 1);
        AppendLe16(&file, 8);
        AppendLe32(&file, static_cast<uint32_t>(images[i].size()));
        AppendLe32(&file, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const auto& image : images) file.insert(file.end(), image.begin(), image.end());
    FILE* f = fopen(argv[1], "wb");
    if (!f) {
        perror(argv[1]);
        return 1;
    }
    bool ok = fwrite(file.data(), 1, file.size(), f) == file.size();
    if (fclose(f) != 0) ok = false;
    if (!ok) {
        fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

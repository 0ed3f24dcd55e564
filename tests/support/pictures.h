#pragma once
// Synthetic pictures for the image tests and the benchmark, packed blue-green-red rows.
#include <cstddef>
#include <cstdint>

// Deterministic noise, so a failing case can be reproduced from its seed.
inline uint32_t NextRandom(uint32_t* state) {
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}

// Every byte random: hardly any pixel repeats, so nearly all of it is literal.
inline void FillRandomPicture(uint8_t* px, int32_t width, int32_t height, uint32_t seed) {
    size_t n = size_t{3} * static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < n; ++i) px[i] = static_cast<uint8_t>(NextRandom(&seed));
}

// One colour everywhere.
inline void FillFlatPicture(uint8_t* px, int32_t width, int32_t height, uint8_t b, uint8_t g, uint8_t r) {
    size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < n; ++i) {
        px[3 * i] = b;
        px[3 * i + 1] = g;
        px[3 * i + 2] = r;
    }
}

// Like a photograph or a painted splash: smooth gradients, a few flat shapes with hard edges, and
// sensor-like noise in part of the picture, so both literals and copies of every reach occur.
inline void FillPhotoLikePicture(uint8_t* px, int32_t width, int32_t height, uint32_t seed) {
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = px + 3 * (static_cast<size_t>(width) * static_cast<size_t>(y) + static_cast<size_t>(x));
            int b = 40 + 180 * y / height;
            int g = 60 + 120 * x / width;
            int r = 200 - 150 * (x + y) / (width + height);
            int cx = x - width / 3, cy = y - height / 2;
            if (cx * cx + cy * cy < (height / 4) * (height / 4)) {  // a flat disc
                b = 30;
                g = 90;
                r = 220;
            } else if (x > width / 2 && (y / 16) % 2 == 0 && x < width * 3 / 4) {  // flat stripes
                b = g = r = 245;
            } else if (y > height * 2 / 3) {  // noisy ground
                int n = static_cast<int>(NextRandom(&seed) % 9) - 4;
                b += n;
                g += n;
                r += n;
            }
            p[0] = static_cast<uint8_t>(b);
            p[1] = static_cast<uint8_t>(g);
            p[2] = static_cast<uint8_t>(r);
        }
    }
}

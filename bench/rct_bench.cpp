// RCT decode speed against a plain memcpy of the same output, and encoder size against raw pixels
// and PNG, on a 1024x768 photo-like picture and a flat one.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/rct.h"
#include "support/pictures.h"
#include "vnpack/png_io.h"

static const int32_t kWidth = 1024;
static const int32_t kHeight = 768;

static double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

static volatile uint8_t s_sink;

// Best of several rounds, in seconds per run.
template <typename F>
static double BestTime(F run, int rounds, int perRound) {
    double best = 1e9;
    for (int r = 0; r < rounds; ++r) {
        double t0 = Now();
        for (int i = 0; i < perRound; ++i) run();
        double t = (Now() - t0) / perRound;
        if (t < best) best = t;
    }
    return best;
}

static int Bench(const char* name, const uint8_t* px) {
    const size_t n = size_t{3} * kWidth * kHeight;
    const size_t bound = RctEncodeBound(kWidth, kHeight);
    uint8_t* data = static_cast<uint8_t*>(malloc(bound));
    uint8_t* out = static_cast<uint8_t*>(malloc(n));
    uint8_t* copy = static_cast<uint8_t*>(malloc(n));
    size_t len = 0;

    double encodeTime = BestTime([&] { EncodeRct(px, kWidth, kHeight, data, bound, &len); }, 3, 1);
    if (DecodeRct(data, len, kWidth, kHeight, out, n) != kRctOk || memcmp(out, px, n) != 0) {
        fprintf(stderr, "%s: round trip failed\n", name);
        return 1;
    }
    const size_t pngSize = MeasurePngBgr(px, kWidth, kHeight);
    double pngTime = BestTime([&] { s_sink = static_cast<uint8_t>(MeasurePngBgr(px, kWidth, kHeight)); }, 2, 1);

    double decodeTime = BestTime(
        [&] {
            DecodeRct(data, len, kWidth, kHeight, out, n);
            s_sink = out[n / 2];
        },
        5, 20);
    double memcpyTime = BestTime(
        [&] {
            memcpy(copy, px, n);
            s_sink = copy[n / 2];
        },
        5, 20);

    const double mb = static_cast<double>(n) / 1e6;
    printf("%-11s decode %8.0f MB/s   memcpy %8.0f MB/s   decode/memcpy %.3f\n", name, mb / decodeTime, mb / memcpyTime,
           memcpyTime / decodeTime);
    printf("%-11s rct %8zu B = %6.2f%% of raw %zu B, %7.2f%% of PNG %zu B; encode %.1f ms (PNG %.1f ms)\n", name, len,
           100.0 * static_cast<double>(len) / static_cast<double>(n), n,
           100.0 * static_cast<double>(len) / static_cast<double>(pngSize), pngSize, encodeTime * 1e3, pngTime * 1e3);
    free(data);
    free(out);
    free(copy);
    return 0;
}

int main() {
    const size_t n = size_t{3} * kWidth * kHeight;
    uint8_t* photo = static_cast<uint8_t*>(malloc(n));
    uint8_t* flat = static_cast<uint8_t*>(malloc(n));
    FillPhotoLikePicture(photo, kWidth, kHeight, 1);
    FillFlatPicture(flat, kWidth, kHeight, 40, 90, 160);
    printf("RCT %dx%d, MB of decoded output per second; ratio > 1 means faster than memcpy\n", kWidth, kHeight);
    int rc = Bench("photo-like", photo) | Bench("flat", flat);
    free(photo);
    free(flat);
    return rc;
}

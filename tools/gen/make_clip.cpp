// Writes the copy-progress clip: a RIFF AVI of 260 x 40 pixels, 17 frames at 10 frames a second,
// 8-bit RLE with a 16-colour palette, showing a sheet flying from one folder into another.
// The animation control plays only uncompressed or RLE8 clips without sound; every frame is a key
// frame, so no player needs the previous frame.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "gen/gen_bytes.h"

namespace {

const int kWidth = 260;
const int kHeight = 40;
const int kFrames = 17;
const uint32_t kMicrosPerFrame = 100000;

enum Colour : uint8_t { kBack, kBlack, kFolder, kFolderDark, kPaper, kLine, kShadow };
const uint8_t kPalette[16][3] = {
    // R, G, B
    {192, 192, 192}, {0, 0, 0}, {255, 214, 90}, {200, 150, 40}, {255, 255, 255}, {0, 0, 160}, {128, 128, 128}, {0, 0, 0},
    {0, 0, 0},       {0, 0, 0}, {0, 0, 0},      {0, 0, 0},      {0, 0, 0},       {0, 0, 0},   {0, 0, 0},       {0, 0, 0},
};

typedef uint8_t Frame[kHeight][kWidth];  // top row first

void FillRect(Frame& f, int x0, int y0, int x1, int y1, uint8_t c) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) f[y][x] = c;
}

// Few colour changes per row keep the runs long and the clip small.
void DrawFolder(Frame& f, int x) {
    FillRect(f, x, 10, x + 16, 14, kFolderDark);  // tab
    FillRect(f, x, 14, x + 40, 34, kFolder);
    FillRect(f, x, 34, x + 40, 36, kFolderDark);
}

void DrawSheet(Frame& f, int x, int y) {
    FillRect(f, x, y, x + 12, y + 16, kPaper);
    FillRect(f, x + 12, y + 1, x + 13, y + 17, kShadow);
    FillRect(f, x + 1, y + 16, x + 13, y + 17, kShadow);
    for (int line = y + 4; line < y + 14; line += 3) FillRect(f, x + 2, line, x + 10, line + 1, kLine);
}

void DrawFrame(Frame& f, int index) {
    memset(f, kBack, sizeof f);
    DrawFolder(f, 12);
    DrawFolder(f, kWidth - 52);
    // The sheet leaves the left folder, arcs over and drops into the right one.
    int startX = 26, endX = kWidth - 38;
    int x = startX + (endX - startX) * index / (kFrames - 1);
    int t2 = (2 * index - (kFrames - 1));  // -16 .. 16
    int y = 2 + 14 * t2 * t2 / ((kFrames - 1) * (kFrames - 1));
    DrawSheet(f, x, y);
}

// RLE8 with encoded runs only; rows bottom-up as in every DIB.
std::vector<uint8_t> EncodeRle8(const Frame& f) {
    std::vector<uint8_t> out;
    for (int y = kHeight - 1; y >= 0; --y) {
        int x = 0;
        while (x < kWidth) {
            int run = 1;
            while (x + run < kWidth && run < 255 && f[y][x + run] == f[y][x]) ++run;
            out.push_back(static_cast<uint8_t>(run));
            out.push_back(f[y][x]);
            x += run;
        }
        out.push_back(0);
        out.push_back(y == 0 ? 1 : 0);  // end of line, or end of bitmap after the top row
    }
    return out;
}

struct Writer {
    std::vector<uint8_t> bytes;
    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v) { AppendLe16(&bytes, v); }
    void U32(uint32_t v) { AppendLe32(&bytes, v); }
    void Tag(const char* t) { bytes.insert(bytes.end(), t, t + 4); }
    size_t Begin(const char* tag) {  // a chunk whose size is filled in by End
        Tag(tag);
        U32(0);
        return bytes.size();
    }
    void End(size_t start) {
        uint32_t size = static_cast<uint32_t>(bytes.size() - start);
        PutLe32(&bytes[start - 4], size);
        if (size & 1) U8(0);
    }
};

// The main header and the one video stream's header and format.
void WriteHeaders(Writer* wp, uint32_t largest) {
    Writer& w = *wp;
    size_t hdrl = w.Begin("LIST");
    w.Tag("hdrl");
    size_t avih = w.Begin("avih");
    w.U32(kMicrosPerFrame);
    w.U32(largest * 10);  // max bytes per second
    w.U32(0);             // padding granularity
    w.U32(0x10);          // AVIF_HASINDEX
    w.U32(kFrames);
    w.U32(0);  // initial frames
    w.U32(1);  // streams
    w.U32(largest);
    w.U32(kWidth);
    w.U32(kHeight);
    for (int i = 0; i < 4; ++i) w.U32(0);
    w.End(avih);
    size_t strl = w.Begin("LIST");
    w.Tag("strl");
    size_t strh = w.Begin("strh");
    w.Tag("vids");
    w.Tag("mrle");
    w.U32(0);   // flags
    w.U16(0);   // priority
    w.U16(0);   // language
    w.U32(0);   // initial frames
    w.U32(1);   // scale
    w.U32(10);  // rate: 10 frames a second
    w.U32(0);   // start
    w.U32(kFrames);
    w.U32(largest);
    w.U32(0xFFFFFFFF);  // quality: default
    w.U32(0);           // sample size
    w.U16(0);
    w.U16(0);
    w.U16(kWidth);
    w.U16(kHeight);
    w.End(strh);
    size_t strf = w.Begin("strf");
    w.U32(40);
    w.U32(kWidth);
    w.U32(kHeight);
    w.U16(1);  // planes
    w.U16(8);  // bits per pixel
    w.U32(1);  // BI_RLE8
    w.U32(largest);
    w.U32(0);
    w.U32(0);
    w.U32(16);  // colours used
    w.U32(0);
    for (const auto& c : kPalette) {
        w.U8(c[2]);
        w.U8(c[1]);
        w.U8(c[0]);
        w.U8(0);
    }
    w.End(strf);
    w.End(strl);
    w.End(hdrl);
}

// The frames, each a key frame, and their index.
void WriteFrames(Writer* wp, const std::vector<std::vector<uint8_t>>& frames) {
    Writer& w = *wp;
    size_t movi = w.Begin("LIST");
    size_t moviTag = w.bytes.size();
    w.Tag("movi");
    std::vector<uint32_t> offsets;
    for (const auto& data : frames) {
        offsets.push_back(static_cast<uint32_t>(w.bytes.size() - moviTag));
        size_t chunk = w.Begin("00dc");
        w.bytes.insert(w.bytes.end(), data.begin(), data.end());
        w.End(chunk);
    }
    w.End(movi);
    size_t idx1 = w.Begin("idx1");
    for (size_t i = 0; i < frames.size(); ++i) {
        w.Tag("00dc");
        w.U32(0x10);  // AVIIF_KEYFRAME
        w.U32(offsets[i]);
        w.U32(static_cast<uint32_t>(frames[i].size()));
    }
    w.End(idx1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_clip OUT.avi\n");
        return 1;
    }
    std::vector<std::vector<uint8_t>> frames;
    size_t largest = 0;
    for (int i = 0; i < kFrames; ++i) {
        static Frame f;
        DrawFrame(f, i);
        frames.push_back(EncodeRle8(f));
        if (frames.back().size() > largest) largest = frames.back().size();
    }
    Writer w;
    size_t riff = w.Begin("RIFF");
    w.Tag("AVI ");
    WriteHeaders(&w, static_cast<uint32_t>(largest));
    WriteFrames(&w, frames);
    w.End(riff);

    FILE* out = fopen(argv[1], "wb");
    if (!out || fwrite(w.bytes.data(), 1, w.bytes.size(), out) != w.bytes.size() || fclose(out) != 0) {
        fprintf(stderr, "make_clip: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

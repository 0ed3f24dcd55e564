#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "common/alloc.h"
#include "support/payload_vnpack.h"
#include "support/payload_writer.h"
#include "vnpack/pack_compress.h"
#include "vnpack/vnpack.h"

namespace {

// Text-like runs between random bytes: the kind of data whose pieces reach back into each other.
std::string MakeMixedData(size_t n) {
    std::string random = MakeTestPattern(n, 7);
    std::string out;
    for (size_t i = 0; out.size() < n; ++i)
        out += i % 3 ? std::string("scene choice ") + char('a' + i % 26) : random.substr(out.size(), 700);
    out.resize(n);
    return out;
}

std::string Inflate(const uint8_t* packed, size_t packedSize, size_t size) {
    std::string out(size + 1, '\0');
    uLongf n = out.size();
    if (uncompress(reinterpret_cast<Bytef*>(&out[0]), &n, packed, packedSize) != Z_OK) return "<damaged>";
    out.resize(n);
    return out;
}

// Files cut into pieces compressed apart and joined: one valid zlib stream, the same bytes on any
// number of threads, for stored, fast, thorough and zopfli pieces alike.
TEST(VnpackPack, PiecesJoinIntoOneStreamWhateverTheThreadCount) {
    const std::vector<std::string> data = {"", "x", MakeTestPattern(200000, 3), std::string(150000, 'a'),
                                           MakeMixedData(300001)};
    struct Mode {
        int level;
        bool best;
        size_t piece;
    } modes[] = {{0, false, 65536},  {1, false, 65536},    {6, false, 40000},
                 {10, false, 65536}, {12, false, 1 << 20}, {12, true, 65536}};
    for (const Mode& m : modes) {
        std::vector<std::string> first;
        for (int threads : {1, 3}) {
            std::vector<PackItem> items;
            for (const std::string& d : data) {
                items.push_back({reinterpret_cast<const uint8_t*>(d.data()), d.size(), nullptr, 0});
            }
            PackOptions opt = {m.level, m.best, threads, false, m.piece};
            ASSERT_EQ(PackStreams(&opt, items.data(), items.size(), 0, 0), 0);
            for (size_t i = 0; i < items.size(); ++i) {
                std::string packed(reinterpret_cast<char*>(items[i].packed), items[i].packedSize);
                EXPECT_EQ(Inflate(items[i].packed, items[i].packedSize, data[i].size()), data[i])
                    << "level " << m.level << " item " << i;
                if (threads == 1) {
                    first.push_back(packed);
                } else {
                    EXPECT_EQ(packed, first[i]) << "level " << m.level << " item " << i;
                }
                FreeChecked(items[i].packed);
            }
        }
    }
}

// Already-compressed data is packed as the fastest level packs it, since a thorough one would only
// spend time on it; data that shrinks keeps the level asked for.
TEST(VnpackPack, AlreadyCompressedPiecesTakeTheFastestLevel) {
    std::string noise(1 << 20, '\0');
    uint32_t seed = 7;
    for (char& c : noise) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 24);
    }
    noise.replace(100000, 65536, 65536, 'z');  // between the samples: found all the same
    const std::string text = MakeTestPattern(1 << 20, 5);
    auto pack = [](const std::string& d, int level) {
        PackItem item = {reinterpret_cast<const uint8_t*>(d.data()), d.size(), nullptr, 0};
        PackOptions opt = {level, false, 1, false, 0};
        EXPECT_EQ(PackStreams(&opt, &item, 1, 0, 0), 0);
        std::string body(reinterpret_cast<char*>(item.packed) + 2, item.packedSize - 2);  // past the header
        FreeChecked(item.packed);
        return body;
    };
    EXPECT_TRUE(pack(noise, 10) == pack(noise, 1));
    EXPECT_LT(pack(text, 10).size(), pack(text, 1).size());
}

// The whole updater: byte for byte the same on one, two or three threads, and it extracts.
TEST(VnpackBuild, SameBytesOnAnyNumberOfThreads) {
    TempDir t;
    WriteFile(t.path + "/in/install.env", "TITLEBAR=x\r\n", 1500000000);
    WriteFile(t.path + "/in/data/large.bin", MakeMixedData(kPackChunkBytes * 2 + 12345), 1500000001);
    WriteFile(t.path + "/in/data/small.bin", MakeTestPattern(5000, 2), 1500000002);
    std::string first;
    for (const char* threads : {"1", "2", "3"}) {
        std::string out = std::string("out") + threads + ".exe";
        ASSERT_EQ(BuildTestTree(RunBuild, t, out, {"--level", "1", "--threads", threads}).rc, 0);
        std::string bytes = ReadFile(t.path + "/" + out);
        if (first.empty()) first = bytes;
        EXPECT_EQ(bytes, first) << threads << " threads";
    }
    ASSERT_EQ(RunVerb(RunExtract, {t.path + "/out2.exe", t.path + "/x"}).rc, 0);
    EXPECT_EQ(ReadFile(t.path + "/x/data/large.bin"), ReadFile(t.path + "/in/data/large.bin"));
    VerbRun bad = BuildTestTree(RunBuild, t, "bad.exe", {"--threads", "0"});
    EXPECT_EQ(bad.rc, 1);
    EXPECT_NE(bad.err.find("--threads takes 1 to 64"), std::string::npos) << bad.err;
}

}  // namespace

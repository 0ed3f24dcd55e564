#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/alloc.h"
#include "support/payload_vnpack.h"
#include "support/payload_writer.h"
#include "vnpack/pack_compress.h"
#include "vnpack/vnpack.h"

namespace {

// Files cut into pieces compressed apart and joined: one valid zlib stream, the same bytes on any
// number of threads, for stored, fast, thorough and zopfli pieces alike.
TEST(VnpackPack, PiecesJoinIntoOneStreamWhateverTheThreadCount) {
    struct Mode {
        int level;
        bool best;
        size_t piece;
        size_t bytes;  // of the patterned file
        size_t files;  // the first of these: zopfli takes a second a piece under ASan
    } modes[] = {{0, false, 6553, 20000, 5},  {1, false, 6553, 20000, 5},     {6, false, 4000, 20000, 5},
                 {10, false, 6553, 20000, 5}, {12, false, 1 << 20, 20000, 5}, {12, true, 300, 700, 3}};
    for (const Mode& m : modes) {
        std::vector<std::string> data = {"", "x", MakeTestPattern(m.bytes, 3), std::string(15000, 'a'),
                                         MakeMixedTestData(30001)};
        data.resize(m.files);
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
                EXPECT_EQ(InflateTestData(items[i].packed, items[i].packedSize, data[i].size()), data[i])
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

}  // namespace

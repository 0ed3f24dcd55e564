#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/alloc.h"
#include "common/grow_array.h"
#include "common/sjis.h"
#include "common/str_util.h"

namespace {

// ソ is 83 5C and ポ is 83 7C: their second bytes are '\' and '|'. Lead bytes are 81-9F and E0-FC.
TEST(Sjis, FindCharSkipsSecondBytes) {
    // Offsets found by SjisFindChar, SjisFindLastChar and SjisFindLastSep, or -1.
    const struct {
        const char* text;
        char c;
        int first, last, sep;
    } cases[] = {
        {"ソ\\", '\\', 2, 2, 2},
        {"a\\ソ\\b", '\\', 1, 4, 4},
        {"ポ|ポ", '|', 2, 2, -1},
        {"C:\\ゲーム/ソ", '\\', 2, 2, 9},
        {"\x80\x5C\x9F\x5C", '\\', 1, 1, 1},  // 0x80 is not a lead byte, 0x9F is
        {"\xA0\x5C\xDF\x5C\xE0\x5C", '\\', 1, 3, 3},
        {"\xFC\x7C|", '|', 2, 2, -1},
        {"\xFD\x5C", '\\', 1, 1, 1},
        {"ab\x83", '\\', -1, -1, -1},  // a lead byte at the end
    };
    for (const auto& c : cases) {
        const char* found[] = {SjisFindChar(c.text, c.c), SjisFindLastChar(c.text, c.c), SjisFindLastSep(c.text)};
        int want[] = {c.first, c.last, c.sep};
        for (int i = 0; i < 3; ++i) EXPECT_EQ(found[i] ? found[i] - c.text : -1, want[i]) << c.text << " #" << i;
    }
}

TEST(Sjis, CompareNoCaseFoldsAsciiOnly) {
    const struct {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {
        {"Install.ENV", "install.env", 0},
        {"\x83\x61", "\x83\x41", 1},  // ャ and ア differ only in an ASCII-looking trail byte
        {"abc", "ab", 1},
        {"\x83", "\x83\x41", -1},
    };
    for (const auto& c : cases) {
        int rc = SjisCompareNoCase(c.a, c.b);
        EXPECT_EQ((rc > 0) - (rc < 0), c.sign) << c.a << " " << c.b;
    }
}

TEST(StrUtil, BoundedHelpersAtSizeMinusOneSizeAndSizePlusOne) {
    // Each cuts by bytes, even inside a character, and always terminates.
    using Op = int (*)(char*, size_t);
    // before: dst's bytes before the call (terminated unless it fills size).
    const struct {
        const char* before;
        size_t size;
        Op op;
        int rc;
        const char* after;
    } cases[] = {
        {"", 4, [](char* d, size_t n) { return CopyStr(d, n, "abc"); }, 0, "abc"},
        {"", 4, [](char* d, size_t n) { return CopyStr(d, n, "abcd"); }, -1, "abc"},
        {"", 3, [](char* d, size_t n) { return CopyStr(d, n, "aソ"); }, -1, "a\x83"},
        {"Z", 1, [](char* d, size_t n) { return CopyStr(d, n, "a"); }, -1, ""},
        {"", 0, [](char* d, size_t n) { return CopyStr(d, n, "a"); }, -1, ""},
        {"", 8, [](char* d, size_t n) { return CopyBytes(d, n, "name", 3); }, 0, "nam"},
        {"", 4, [](char* d, size_t n) { return CopyBytes(d, n, "name", 4); }, -1, "nam"},
        {"ab", 6, [](char* d, size_t n) { return AppendStr(d, n, "cde"); }, 0, "abcde"},
        {"abcde", 6, [](char* d, size_t n) { return AppendStr(d, n, "f"); }, -1, "abcde"},
        {"ab", 6, [](char* d, size_t n) { return AppendStr(d, n, "cdefg"); }, -1, "abcde"},
        {"xyz", 3, [](char* d, size_t n) { return AppendStr(d, n, "a"); }, -1, "xy"},  // unterminated
        {"", 6, [](char* d, size_t n) { return FormatStr(d, n, "%s%d", "abc", 12); }, 0, "abc12"},
        {"", 6, [](char* d, size_t n) { return FormatStr(d, n, "%s%d", "abc", 123); }, -1, "abc12"},
        {"", 6, [](char* d, size_t n) { return FormatStr(d, n, "%s", "[ソ]ソ"); }, -1, "[\x83\x5C]\x83"},
    };
    for (const auto& c : cases) {
        std::vector<char> dst(c.size, 'Z');  // exactly size bytes, so a write past them trips ASan
        std::copy_n(c.before, std::min(strlen(c.before) + 1, c.size), dst.begin());
        EXPECT_EQ(c.op(dst.data(), c.size), c.rc) << c.before << " " << c.size << " -> " << c.after;
        auto end = std::find(dst.begin(), dst.end(), '\0');
        EXPECT_EQ(std::string(dst.begin(), end), c.after);
        EXPECT_TRUE(c.size == 0 || end != dst.end()) << "not terminated";
    }
}

TEST(GrowArray, KeepsItsItemsAndRefusesASizeThatWraps) {
    void* items = nullptr;
    size_t capacity = 0;
    for (uint32_t i = 0; i < 200; ++i) {
        ASSERT_EQ(GrowArray(&items, i, &capacity, sizeof i), 0);
        ASSERT_GT(capacity, i);
        static_cast<uint32_t*>(items)[i] = i * 7;
    }
    EXPECT_EQ(capacity, 256u);
    for (uint32_t i = 0; i < 200; ++i) ASSERT_EQ(static_cast<uint32_t*>(items)[i], i * 7);
    void* kept = items;
    size_t huge = SIZE_MAX / 8;
    EXPECT_EQ(GrowArray(&items, huge, &huge, 8), -1);
    EXPECT_EQ(items, kept);
    FreeChecked(items);
}

}  // namespace

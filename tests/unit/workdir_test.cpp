#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/str_util.h"
#include "process/workdir.h"
#include "support/workdir_fake_temp.h"

namespace {

TEST(WorkDir, TrailingBackslashLooksAtOnePrecedingByte) {
    struct Case {
        const char* path;
        const char* expected;  // null: refused, the path left as it was
        size_t size = 32;
    } cases[] = {
        {"C:\\Temp", "C:\\Temp\\"},
        {"C:\\Temp\\", "C:\\Temp\\"},
        {"", "\\"},
        {"C:\\表", "C:\\表\\"},                  // 95 5C: the 5C is a second byte
        {"C:\\\x88\x9F\\", "C:\\\x88\x9F\\\\"},  // 9F is a second byte, but looks like a lead byte
        {"C:\\\xE0\\", "C:\\\xE0\\\\"},
        {"C:\\a\xFD\\", "C:\\a\xFD\\"},  // FD is not a lead byte
        {"abc", nullptr, 4},
        {"abc", "abc\\", 5},
    };
    for (const Case& c : cases) {
        std::vector<char> path(c.size);  // exactly size bytes, so a write past them trips ASan
        ASSERT_EQ(CopyStr(path.data(), c.size, c.path), 0);
        EXPECT_EQ(EnsureTrailingBackslash(path.data(), c.size), c.expected ? path.data() : nullptr) << c.path;
        EXPECT_STREQ(path.data(), c.expected ? c.expected : c.path) << c.path;
    }
}

// The name follows the tick count: nine digits for 11.6 days of uptime, then ten, negative past
// 24.9 days, round again after 49.7. Names taken by copies started in the same millisecond move it
// to the next ticks, 100 names in all; a folder that cannot be made for another reason (a missing
// temporary folder, a full disk: the next ticks would fail too) or a path cut short ends the search.
TEST(WorkDir, FolderNameFollowsTheTicksPastTakenNames) {
    const std::string ten = "C:\\T\\TempGPInstallFolder_000000010";
    struct Case {
        const char* what;
        uint32_t ticks;
        int taken;
        std::string made;  // empty: refused
        size_t asked;
        int failAt = -1;
        size_t outSize = kMaxPathBytes;
    } cases[] = {
        {"zero", 0, 0, "C:\\T\\TempGPInstallFolder_000000000", 1},
        {"nine digits", 999999999u, 0, "C:\\T\\TempGPInstallFolder_999999999", 1},
        {"ten digits", 1000000000u, 0, "C:\\T\\TempGPInstallFolder_1000000000", 1},
        {"highest", 0x7FFFFFFFu, 0, "C:\\T\\TempGPInstallFolder_2147483647", 1},
        {"negative", 0x80000000u, 0, "C:\\T\\TempGPInstallFolder_-2147483648", 1},
        {"minus one", 0xFFFFFFFFu, 0, "C:\\T\\TempGPInstallFolder_-00000001", 1},
        {"one taken", 5, 1, Named(6), 2},
        {"across the wrap", 0xFFFFFFFFu, 1, Named(0), 2},
        {"99 taken: the last name tried", 0xFFFFFFF0u, 99, Named(0xFFFFFFF0u + 99), 100},
        {"100 taken: the 101st is never tried", 7, 100, "", 100},
        {"a creation fails", 10, 2, "", 2, 1},
        {"just fits", 10, 0, ten, 1, -1, ten.size() + 1},
        {"cut short: never made", 0x80000000u, 0, "", 0, -1, ten.size() + 1},
    };
    for (const Case& c : cases) {
        FakeTemp t;
        TakeNames(&t, c.ticks, c.taken);
        t.failAt = c.failAt;
        std::vector<char> path(c.outSize, 'Z');
        EXPECT_EQ(CreateWorkFolderNamed("C:\\T\\", c.ticks, CreateInFake, &t, path.data(), c.outSize),
                  c.made.empty() ? -1 : 0)
            << c.what;
        EXPECT_EQ(path.data(), c.made) << c.what;
        ASSERT_EQ(t.asked.size(), c.asked) << c.what;
        for (size_t i = 0; i < t.asked.size(); ++i)
            EXPECT_EQ(t.asked[i], Named(c.ticks + static_cast<uint32_t>(i))) << c.what;
    }
}

TEST(WorkDir, MatchPathKeepsThePatternsFolder) {
    struct Case {
        const char* pattern;
        const char* entry;
        const char* path;
    } cases[] = {
        {"*.*", "a.txt", "a.txt"},
        {"C:\\w\\*.*", "a.txt", "C:\\w\\a.txt"},
        {"C:*.txt", "b.txt", "C:b.txt"},
        {"dir/ソ\\*.env", "install.env", "dir/ソ\\install.env"},
        {"ソ*.*", "x", "x"},  // 83 5C is no separator
    };
    for (const Case& c : cases) {
        char out[260];
        ASSERT_EQ(JoinMatchPath(c.pattern, c.entry, out, sizeof out), 0) << c.pattern;
        EXPECT_STREQ(out, c.path) << c.pattern;
    }
    std::string longDir(250, 'd');
    char out[260];
    EXPECT_EQ(JoinMatchPath((longDir + "\\*").c_str(), "0123456789", out, sizeof out), -1);
    EXPECT_EQ(JoinMatchPath("*", std::string(256, 'n').c_str(), out, sizeof out), -1);
}

}  // namespace

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

TEST(WorkDir, FolderNameFromTheTickCountAtEveryRange) {
    // The tick count follows the machine's uptime: nine digits for 11.6 days, then ten, then
    // negative past 24.9 days, and round again after 49.7.
    struct Case {
        uint32_t ticks;
        const char* name;
    } cases[] = {
        {0, "TempGPInstallFolder_000000000"},
        {999999999u, "TempGPInstallFolder_999999999"},
        {1000000000u, "TempGPInstallFolder_1000000000"},
        {0x7FFFFFFFu, "TempGPInstallFolder_2147483647"},
        {0x80000000u, "TempGPInstallFolder_-2147483648"},
        {0xFFFFFFFFu, "TempGPInstallFolder_-00000001"},
    };
    for (const Case& c : cases) {
        FakeTemp t;
        char path[kMaxPathBytes];
        ASSERT_EQ(CreateWorkFolderNamed("C:\\T\\", c.ticks, CreateInFake, &t, path, sizeof path), 0) << c.name;
        EXPECT_EQ(path, std::string("C:\\T\\") + c.name);
        EXPECT_EQ(t.asked.size(), 1u) << c.name;
    }
}

TEST(WorkDir, NamesTakenInTheSameMillisecondMoveToTheNextTicks) {
    struct Case {
        const char* what;
        uint32_t ticks;
        int taken;  // names taken from ticks on
        int result;
        uint32_t madeTicks;  // the name made, when result is 0
    } cases[] = {
        {"one taken", 5, 1, 0, 6},
        {"across the wrap", 0xFFFFFFFFu, 1, 0, 0},
        {"99 taken: the last name tried", 0xFFFFFFF0u, 99, 0, 0xFFFFFFF0u + 99},
        {"100 taken: the 101st is never tried", 7, 100, -1, 0},
    };
    for (const Case& c : cases) {
        FakeTemp t;
        TakeNames(&t, c.ticks, c.taken);
        char path[kMaxPathBytes];
        EXPECT_EQ(CreateWorkFolderNamed("C:\\T\\", c.ticks, CreateInFake, &t, path, sizeof path), c.result) << c.what;
        ASSERT_EQ(t.asked.size(), static_cast<size_t>(c.result == 0 ? c.taken + 1 : kWorkFolderNames)) << c.what;
        for (size_t i = 0; i < t.asked.size(); ++i)
            EXPECT_EQ(t.asked[i], Named(c.ticks + static_cast<uint32_t>(i))) << c.what;
        EXPECT_EQ(path, c.result == 0 ? Named(c.madeTicks) : std::string()) << c.what;
    }
}

TEST(WorkDir, AFolderThatCannotBeMadeOrNamedEndsTheSearch) {
    FakeTemp t;
    TakeNames(&t, 10, 2);
    t.failAt = 1;  // a missing temporary folder or a full disk: the next ticks would fail too
    char path[kMaxPathBytes];
    EXPECT_EQ(CreateWorkFolderNamed("C:\\T\\", 10, CreateInFake, &t, path, sizeof path), -1);
    EXPECT_EQ(t.asked.size(), 2u);
    EXPECT_STREQ(path, "");

    FakeTemp none;
    char small[sizeof "C:\\T\\TempGPInstallFolder_000000010"];
    EXPECT_EQ(CreateWorkFolderNamed("C:\\T\\", 10, CreateInFake, &none, small, sizeof small), 0);
    EXPECT_EQ(CreateWorkFolderNamed("C:\\T\\", 0x80000000u, CreateInFake, &none, small, sizeof small), -1);
    EXPECT_EQ(none.asked.size(), 1u);  // a path cut short is never created
    EXPECT_STREQ(small, "");
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

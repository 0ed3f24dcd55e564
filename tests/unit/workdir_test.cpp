#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/str_util.h"
#include "process/workdir.h"

namespace {

TEST(WorkDir, TrailingBackslashLooksAtOnePrecedingByte) {
    struct Case {
        const char* path;
        const char* expected;
    } cases[] = {
        {"C:\\Temp", "C:\\Temp\\"},
        {"C:\\Temp\\", "C:\\Temp\\"},
        {"", "\\"},
        {"\\", "\\"},
        {"C:\\表", "C:\\表\\"},              // 95 5C: the 5C is a second byte
        {"C:\\\x88\x9F\\", "C:\\\x88\x9F\\\\"},  // 9F is a second byte, but looks like a lead byte
        {"C:\\\xE0\\", "C:\\\xE0\\\\"},
        {"C:\\a\xFD\\", "C:\\a\xFD\\"},        // FD is not a lead byte
    };
    for (const Case& c : cases) {
        char path[32];
        ASSERT_EQ(CopyStr(path, sizeof path, c.path), 0);
        ASSERT_EQ(EnsureTrailingBackslash(path, sizeof path), path) << c.path;
        EXPECT_STREQ(path, c.expected) << c.path;
    }
}

TEST(WorkDir, TrailingBackslashNeverOverflows) {
    char full[4] = "abc";
    EXPECT_EQ(EnsureTrailingBackslash(full, sizeof full), nullptr);
    EXPECT_STREQ(full, "abc");
    char room[5] = "abc";
    EXPECT_EQ(EnsureTrailingBackslash(room, sizeof room), room);
    EXPECT_STREQ(room, "abc\\");
}

TEST(WorkDir, FolderNameFromTicks) {
    struct Case {
        uint32_t ticks;
        const char* name;
    } cases[] = {
        {1234, "TempGPInstallFolder_000001234"},
        {0, "TempGPInstallFolder_000000000"},
        {1000000000u, "TempGPInstallFolder_1000000000"},
        {0xFFFFFFFFu, "TempGPInstallFolder_-00000001"},
        {0x80000000u, "TempGPInstallFolder_-2147483648"},
    };
    for (const Case& c : cases) {
        char name[128];
        ASSERT_EQ(FormatWorkFolderName(c.ticks, name, sizeof name), 0);
        EXPECT_STREQ(name, c.name);
    }
    char small[20];
    EXPECT_EQ(FormatWorkFolderName(1, small, sizeof small), -1);
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

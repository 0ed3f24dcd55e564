#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "update/update_cmd.h"

namespace {

// ソ is 83 5C: a folder ending in it has no trailing separator, and must still get one.
TEST(UpdateCmd, InstalledPathJoinsRelativeNamesOnly) {
    const struct {
        const char* install;
        const char* name;
        const char* want;
    } cases[] = {
        {"C:\\Games\\Demo", "demogame.exe", "C:\\Games\\Demo\\demogame.exe"},
        {"C:\\Games\\Demo", "bin\\game.exe", "C:\\Games\\Demo\\bin\\game.exe"},
        {"C:\\Games\\ゲームソ", "ソ.exe", "C:\\Games\\ゲームソ\\ソ.exe"},
        {"C:\\Games\\Demo\\", "game.exe", "C:\\Games\\Demo\\game.exe"},
        {"D:\\", "readme.txt", "D:\\readme.txt"},
        {"C:\\Games\\Demo", "D:\\other\\game.exe", "D:\\other\\game.exe"},
        {"C:\\Games\\Demo", "\\\\server\\share\\game.exe", "\\\\server\\share\\game.exe"},
        {"C:\\Games\\Demo", "ソ:x", "C:\\Games\\Demo\\ソ:x"},  // a trail byte is never a drive colon
    };
    for (const auto& c : cases) {
        char out[260];
        EXPECT_EQ(FormatInstalledPath(c.install, c.name, out, sizeof out), 0) << c.name;
        EXPECT_STREQ(out, c.want);
    }
}

// A path that does not fit is refused, never cut: a cut name could start another program.
TEST(UpdateCmd, InstalledPathThatDoesNotFitIsRefused) {
    const std::string install = "C:\\" + std::string(250, 'g');  // 253 bytes; joined, 262 and a NUL
    const struct {
        size_t size;
        int rc;
    } cases[] = {{262, -1}, {263, 0}};
    for (const auto& c : cases) {
        char out[300];
        EXPECT_EQ(FormatInstalledPath(install.c_str(), "game.exe", out, c.size), c.rc) << c.size;
    }
}

}  // namespace

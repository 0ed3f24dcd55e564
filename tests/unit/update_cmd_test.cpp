#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "update/update_cmd.h"

namespace {

// ソ is 83 5C: a folder ending in it has no trailing separator, and must still get one. A path that
// does not fit is refused, never cut: a cut name could start another program.
TEST(UpdateCmd, InstalledPathJoinsRelativeNamesOnly) {
    const std::string longInstall = "C:\\" + std::string(250, 'g');  // 253 bytes; joined, 262 and a NUL
    const std::string longJoined = longInstall + "\\game.exe";
    const struct {
        std::string install;
        const char *name, *want;  // want null: refused
        size_t size = 260;
    } cases[] = {
        {"C:\\Games\\Demo", "demogame.exe", "C:\\Games\\Demo\\demogame.exe"},
        {"C:\\Games\\ゲームソ", "ソ.exe", "C:\\Games\\ゲームソ\\ソ.exe"},
        {"C:\\Games\\Demo\\", "game.exe", "C:\\Games\\Demo\\game.exe"},
        {"D:\\", "readme.txt", "D:\\readme.txt"},
        {"C:\\Games\\Demo", "D:\\other\\game.exe", "D:\\other\\game.exe"},
        {"C:\\Games\\Demo", "\\\\server\\share\\game.exe", "\\\\server\\share\\game.exe"},
        {"C:\\Games\\Demo", "ソ:x", "C:\\Games\\Demo\\ソ:x"},  // a trail byte is never a drive colon
        {longInstall, "game.exe", nullptr, 262},
        {longInstall, "game.exe", longJoined.c_str(), 263},
    };
    for (const auto& c : cases) {
        std::vector<char> out(c.size);  // exactly size bytes, so a write past them trips ASan
        EXPECT_EQ(FormatInstalledPath(c.install.c_str(), c.name, out.data(), c.size), c.want ? 0 : -1) << c.name;
        if (c.want) {
            EXPECT_STREQ(out.data(), c.want);
        }
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "common/str_util.h"
#include "support/transfer_fakes.h"
#include "update/transfer.h"

namespace {

// One table for both kinds of line: [ini] lines split at the first "=" as they are, [reg] lines are
// "name"="value" with escapes, and each kind has its own name for the CD-ROM drive. Empty values,
// the default value and escaped quotes reach the system in the end-to-end test and the guide.
TEST(Transfer, SplitsIniAndRegLines) {
    using Split = int (*)(const char*, const PlaceholderValues*, char*, size_t, char*, size_t);
    // "k=" + "REP_INSTALL" + padding grows by one byte (12 for 11): 510 and 511 bytes of line.
    const std::string iniFits = "k=REP_INSTALL" + std::string(497, 'x'), iniOver = iniFits + "x";
    // "\"k\"=\"" + "REP_INSTALL" + padding + "\"": 510 and 511 bytes, expanded to 511 and 512.
    const std::string regFits = "\"k\"=\"REP_INSTALL" + std::string(493, 'x') + "\"",
                      regOver = "\"k\"=\"REP_INSTALL" + std::string(494, 'x') + "\"";
    const Split ini = SplitIniLine, reg = SplitRegLine;
    const struct {
        Split split;
        std::string line;
        int rc;
        std::string first = "", second = "";  // key or name, value
        int cdromAsks = 0;
    } cases[] = {
        {ini, "a=b=c", kLineWritten, "a", "b=c"},
        {ini, "=v", kLineWritten, "", "v"},
        {ini, " a = b ", kLineWritten, " a ", " b "},
        {ini, "Path=D:\\data\\\\x\\", kLineWritten, "Path", "D:\\data\\\\x\\"},
        {ini, "p=REP_INSTALL;REP_INSTALL", kLineWritten, "p", "C:\\Games\\App;REP_INSTALL"},
        {ini, "REP_INSTALL=1", kLineWritten, "C:\\Games\\App", "1"},
        {ini, "d=REP_CDROMDRIVE\\setup", kLineWritten, "d", "Q:\\\\setup", 1},
        {ini, "d=REP_CDROMDRIVEREP_INSTALL", kLineWritten, "d", "Q:\\C:\\Games\\App", 1},
        {ini, "d=REP_CDROM", kLineWritten, "d", "REP_CDROM"},
        {ini, "表REP_INSTALL=ソ\\", kLineWritten, "表C:\\Games\\App", "ソ\\"},
        // 0x83 'R' is one character, so no placeholder starts at the R.
        {ini, "x=\x83REP_INSTALL", kLineWritten, "x", "\x83REP_INSTALL"},
        {ini, "no separator", kLineNoSeparator},
        {ini, iniFits, kLineWritten, "k", "C:\\Games\\App" + std::string(497, 'x')},
        {ini, iniOver, kLineTooLong},
        {reg, "\"Save\"=\"REP_INSTALL\\\\save\"", kLineWritten, "Save", "C:\\Games\\App\\save"},
        {reg, "\"p\"=\"REP_INSTALL;REP_INSTALL\"", kLineWritten, "p", "C:\\Games\\App;REP_INSTALL"},
        {reg, "\"d\"=\"REP_CDROMDRIVE\"", kLineWritten, "d", "Q:\\DRIVE", 1},
        {reg, "\"a\"=dword:00000001", kLineNoSeparator},
        {reg, "\"a\"=\"b\"\\", kLineWritten, "a", "b"},
        // ソ and 表 end in 0x5C: neither escapes the quote after it nor loses a byte.
        {reg, "\"ソ\"=\"表\"", kLineWritten, "ソ", "表"},
        {reg, "\"ソ表\"=\"ソ\\\\表\"", kLineWritten, "ソ表", "ソ\\表"},
        {reg, "\"a\"=\"bソ", kLineWritten, "a", "b"},
        {reg, "\"a\"=\"", kLineNoValue},
        {reg, "\"=\"x\"", kLineNoName},
        {reg, "\"a\"=\"\\\"", kLineWritten, "a", ""},
        {reg, regFits, kLineWritten, "k", "C:\\Games\\App" + std::string(493, 'x')},
        {reg, regOver, kLineTooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 60));
        s_cdromAsks = 0;
        char first[kTransferTextBytes] = "?", second[kTransferTextBytes] = "?";
        EXPECT_EQ(c.split(c.line.c_str(), &kFakePlaceholders, first, sizeof first, second, sizeof second), c.rc);
        if (c.rc == kLineWritten) {
            EXPECT_EQ(std::string(first), c.first);
            EXPECT_EQ(std::string(second), c.second);
        }
        EXPECT_EQ(s_cdromAsks, c.cdromAsks);
    }
}

TEST(Transfer, UnescapeWalksCharacters) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"\\\\", "\\"},       {"\\\"", "\""},   {"a\\b", "ab"},     {"a\\", "a"},
        {"\\\\\\\\", "\\\\"}, {"\\\\\\", "\\"}, {"ソ\\\\", "ソ\\"}, {"\\ソ", "ソ"},
        {"ソ", "ソ"},         {"\x83", "\x83"}, {"", ""},
    };
    for (const auto& c : cases) {
        char out[kTransferTextBytes];
        UnescapeRegText(c.text, out, sizeof out);
        EXPECT_STREQ(out, c.expected) << c.text;
    }
}

TEST(Transfer, FirstCdromDriveOrE) {
    const struct {
        std::string cdroms;
        const char* root;
        size_t asked;
    } cases[] = {
        {"", "E:\\", 26},
        {"DQ", "D:\\", 4},
        {"Z", "Z:\\", 26},
        {"A", "A:\\", 1},
    };
    for (const auto& c : cases) {
        s_cdroms = c.cdroms;
        s_drivesAsked.clear();
        char root[kMaxPathBytes];
        FindCdromRoot(FakeIsCdrom, root, sizeof root);
        EXPECT_STREQ(root, c.root);
        ASSERT_EQ(s_drivesAsked.size(), c.asked);
        EXPECT_EQ(s_drivesAsked.front(), "A:\\");
        EXPECT_EQ(s_drivesAsked.back(), std::string(1, static_cast<char>('A' + c.asked - 1)) + ":\\");
    }
}

}  // namespace

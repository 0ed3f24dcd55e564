#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/sections.h"
#include "config/settings.h"
#include "support/env_input.h"

namespace {

const std::string kTabs99(99, '\t');
const std::string kLongKey(490, 'k');

// Every reader test runs on the bytes as given and on a file holding them, so both sources agree.
class ConfigTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { ResetSettings(), ResetSections(); }
    void LoadText(const std::string& bytes) {
        EnvInput in(GetParam(), bytes);
        ASSERT_EQ(ParseSettings(&in.reader), 0);
    }
};

INSTANTIATE_TEST_SUITE_P(BytesAndFile, ConfigTest, ::testing::Values(false, true));

TEST_P(ConfigTest, TextModeAndPieces) {
    // A lone CR stays, CR LF folds even across the 511-byte cut, 0x1A ends the file, NUL is a byte.
    const std::string x511(511, 'x');
    const struct {
        std::string bytes;
        std::vector<std::string> pieces;
    } cases[] = {
        {"a\r\nb", {"a\n", "b"}},
        {"a\rb\r", {"a\rb\r"}},
        {"a\r\r\nb\n", {"a\r\n", "b\n"}},
        {"a\nb\x1Az\nd\n", {"a\n", "b"}},
        {"a\r\x1A\n", {"a\r"}},
        {std::string("a\0b\n", 4), {std::string("a\0b\n", 4)}},
        {std::string(600, 'x') + "\n", {x511, std::string(89, 'x') + "\n"}},
        {std::string(510, 'x') + "\r\n", {std::string(510, 'x') + "\n"}},
        {x511 + "\r\n", {x511, "\n"}},
    };
    for (const auto& c : cases) {
        EnvInput in(GetParam(), c.bytes);
        bool terminated;
        EXPECT_EQ(ReadPieces(&in.reader, &terminated), c.pieces) << c.bytes.substr(0, 20);
        EXPECT_TRUE(terminated);
    }
}

TEST_P(ConfigTest, KeyValueLines) {
    // Keys are case-sensitive; the value comes within 99 blanks (any byte up to 0x20) and ends at the next;
    // "/" and indented lines are skipped, while ";", "-" and header lines are keys to this reader, and
    // the lines of a section are settings too. "[EOF]" ends the settings, not the sections.
    const struct {
        std::string bytes, key;
        const char* value; /* null: no entry */
    } cases[] = {
        {"KEY value\r\n", "KEY", "value"},
        {"TITLE a|b||c\n", "TITLE", "a b  c"},
        {"TITLE ポ|ポ\n", "TITLE", "ポ ポ"},
        {"K\nL v\n", "K", nullptr},
        {"key v\n", "KEY", nullptr},
        {"K" + kTabs99 + "v\n", "K", "v"},
        {"K" + kTabs99 + "\tv\n", "K", nullptr},
        {" K v\n", "K", nullptr},
        {"/K v\n", "/K", nullptr},
        {"- end of section\n", "-", "end"},
        {"; comment\n", ";", "comment"},
        {"[reg]\nREG_GLOBAL x\n-\n", "REG_GLOBAL", "x"},  // a section's lines are settings too
        {"EOF x\n", "EOF", "x"},
        {"K a\n[EOF]\nK b\n", "K", "a"},
        {"[EOF]x\nK b\n", "K", nullptr},
        {std::string("K\0v\n", 4), "K", "v"},
        {"K a\rb\n", "K", "a"},
        {std::string(511, 'x') + "K v\n", "K", "v"},                 // the second piece is a line
        {kLongKey + std::string(20, '\t') + "vw\n", kLongKey, "v"},  // the value window ends at the buffer
        {kLongKey + std::string(20, '\t') + "vw x\n", "w", "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 20));
        ResetSettings();
        LoadText(c.bytes);
        const SettingEntry* e = FindSetting(c.key.c_str());
        EXPECT_STREQ(e ? e->value : nullptr, c.value);
    }
}

TEST_P(ConfigTest, FourHundredPiecesAreRead) {
    // Every piece counts: comments, blank lines and both pieces of an over-long line.
    const struct {
        std::string head;
        int blanks;
        bool found;
    } cases[] = {
        {"", 199, true},
        {"", 200, false},
        {std::string(600, 'x') + "\n", 197, true},
        {std::string(600, 'x') + "\n", 198, false},
    };
    for (const auto& c : cases) {
        ResetSettings();
        LoadText(c.head + RepeatText("// comment\n", 200) + RepeatText("\n", c.blanks) + "LAST yes\n");
        EXPECT_EQ(FindSetting("LAST") != nullptr, c.found) << c.blanks;
    }
}

TEST_P(ConfigTest, GetSettingCutsByBytesAndZeroFills) {
    LoadText("LONG " + std::string(126, 'a') + "ポx\nSHORT v\n");
    char buf[kSettingBytes + 8];
    memset(buf, 0x55, sizeof buf);
    EXPECT_EQ(std::string(GetSetting("LONG", buf, kSettingBytes, "-")), std::string(126, 'a') + "\x83");  // cut inside ポ
    memset(buf, 0x55, sizeof buf);
    EXPECT_STREQ(GetSetting("SHORT", buf, kSettingBytes, "-"), "v");
    for (size_t i = 1; i < kSettingBytes; ++i) ASSERT_EQ(buf[i], '\0') << i;
    EXPECT_EQ(buf[kSettingBytes], 0x55);
    EXPECT_STREQ(GetSetting("ABSENT", buf, kSettingBytes, "dflt"), "dflt");
    EXPECT_STREQ(GetSetting("SHORT", buf, 1, "-"), "");
}

TEST_P(ConfigTest, GetSettingIntWraps) {
    LoadText(
        "A 123\nB -5\nC +7\nD abc\nE 12ab\nF 4294967296\nG 2147483648\nH -2147483648\nI 99999999999\nJ |42\nK -\nL 4294967295\n");
    const struct {
        const char* key;
        int32_t expected;
    } cases[] = {
        {"A", 123},       {"B", -5},         {"C", 7},  {"D", 0}, {"E", 12}, {"F", 0},       {"G", INT32_MIN},
        {"H", INT32_MIN}, {"I", 1215752191}, {"J", 42}, {"K", 0}, {"L", -1}, {"ABSENT", 77},
    };
    for (const auto& c : cases) EXPECT_EQ(GetSettingInt(c.key, 77), c.expected) << c.key;
}

// The title gains the updater's suffix and is never cut; a setting present reads as given, even
// "-". The other defaults are shown by vnpack env in the guide (guide_commands).
TEST_P(ConfigTest, NamedSettingsReadTheirKeyOrDefault) {
    LoadText("TITLEBAR デモ|ゲーム\nINSTFOL -\nCHKREGVER x1\n");
    EXPECT_STREQ(UpdaterTitle(), "デモ ゲーム アップデータ");
    EXPECT_STREQ(GetInstFol(), "-");
    EXPECT_EQ(GetChkRegVer(), 0);
    ResetSettings();
    EXPECT_STREQ(UpdaterTitle(), "ＱＵＯＬＩＭ アプリケーション アップデータ");
    LoadText("TITLEBAR " + std::string(200, 't') + "\n");  // 127 bytes and the suffix fit
    EXPECT_EQ(std::string(UpdaterTitle()), std::string(127, 't') + " アップデータ");
}

TEST_P(ConfigTest, SectionRules) {
    const struct {
        std::string bytes;
        int status, open;
        std::string lists;
    } cases[] = {
        {"KEY v\n[EOF]\n", kSectionsOk, -1, ""},
        {"[ini]\na\n-\n[ini]\nb\nc\n-\n", kSectionsOk, -1, "ini{b|c}"},  // afresh
        {"x=1\n[delfiles]\nold.dat\n-\n[delfiles_user]\nsave.dat\n-\n[ini]\na=1\n-\n[reg]\n\"x\"=\"y\"\n-\ny=2\n",
         kSectionsOk, -1, "delfiles{old.dat}delfiles_user{save.dat}ini{a=1}reg{\"x\"=\"y\"}"},
        {"[delfiles]\nx\n[ini]\ny\n-\n", kSectionsOk, -1, "delfiles{x}ini{y}"},
        {"[ini]\na\n-\n[reg]\nb\n", kSectionsOpen, kReg, "ini{a}reg{b}"},
        {"[ini]\na\nEOF\nb\n-\n", kSectionsOpen, kIni, "ini{a}"},
        {"[ini]\na\n-\nEOFX\n[reg]\n", kSectionsOk, -1, "ini{a}"},
        {"[EOF]\n[ini]\n[EOF]\n-\n", kSectionsOk, -1, "ini{[EOF]}"},
        {"[INI]\n[reg]\n[INI]\n-\n", kSectionsOk, -1, "reg{[INI]}"},
        {"[ini]\n// c\n;c\n  // kept\n\t\n\na\n-\n", kSectionsOk, -1, "ini{  // kept|a}"},
        {"[ini]\na = 1 // c \t\r\n b\r\r\n-\n", kSectionsOk, -1, "ini{a = 1 // c| b}"},  // trailing blanks cut
        {"[ini] // c\na\n- end\nb\n", kSectionsOk, -1, "ini{a}"},
        {std::string("[ini]\na\0b\n-\n", 12), kSectionsOk, -1, "ini{a}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 40));
        ResetSections();
        EnvInput in(GetParam(), c.bytes), again(GetParam(), c.bytes);
        int open = 99, checkOpen = 99;
        EXPECT_EQ(ParseSections(&in.reader, &open), c.status);
        EXPECT_EQ(open, c.open);
        EXPECT_EQ(DumpSectionLists(), c.lists);
        EXPECT_EQ(CheckSections(&again.reader, &checkOpen), c.status);
        EXPECT_EQ(checkOpen, c.open);
    }
}

// The open section's message is met through the program (menu test) and vnpack env (the guide).
TEST(ConfigMessages, AFileThatCannotBeOpenedIsNamed) {
    char message[1024];
    FormatSectionsFailure(kSectionsCannotOpen, "install.env", -1, message, sizeof message);
    EXPECT_STREQ(message, "[install.env]ファイルを開けませんでした。");
}

}  // namespace

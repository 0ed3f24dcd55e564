#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "config/env_reader.h"
#include "config/sections.h"
#include "config/settings.h"

namespace {

// Every reader test runs on the bytes as given and on a file holding them, so both sources agree.
enum Source { kFromBytes, kFromFile };

struct Input {
    Source source;
    std::string bytes;
    FILE* file = nullptr;
    EnvReader reader;

    Input(Source s, std::string b) : source(s), bytes(std::move(b)) {
        if (source == kFromFile) {
            file = tmpfile();
            fwrite(bytes.data(), 1, bytes.size(), file);
            rewind(file);
            OpenEnvFile(&reader, file);
        } else {
            OpenEnvBytes(&reader, bytes.data(), bytes.size());
        }
    }
    ~Input() {
        if (file) fclose(file);
    }
};

std::vector<std::string> Pieces(Source source, const std::string& bytes) {
    Input in(source, bytes);
    std::vector<std::string> pieces;
    char buf[kEnvLineBytes];
    size_t len;
    while ((len = ReadEnvLine(&in.reader, buf)) != 0) {
        EXPECT_EQ(buf[len], '\0');
        pieces.emplace_back(buf, len);
    }
    return pieces;
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

class ConfigTest : public ::testing::TestWithParam<Source> {
protected:
    void SetUp() override {
        ResetSettings();
        ResetSections();
    }
    void TearDown() override {
        ResetSettings();
        ResetSections();
    }
    void LoadText(const std::string& bytes) {
        Input in(GetParam(), bytes);
        ASSERT_EQ(ParseSettings(&in.reader), 0);
    }
    int LoadLists(const std::string& bytes, int* open) {
        Input in(GetParam(), bytes);
        return ParseSections(&in.reader, open);
    }
};

INSTANTIATE_TEST_SUITE_P(BytesAndFile, ConfigTest, ::testing::Values(kFromBytes, kFromFile));

std::vector<std::string> Lines(const SectionLine* line) {
    std::vector<std::string> out;
    for (; line; line = line->next) out.emplace_back(line->text);
    return out;
}

TEST_P(ConfigTest, TextModeAndPieces) {
    const std::string x511 = Repeat('x', 511);
    struct Case {
        std::string bytes;
        std::vector<std::string> pieces;
    } cases[] = {
        {"", {}},
        {"a\r\nb", {"a\n", "b"}},
        {"a\rb\r", {"a\rb\r"}},               // a lone CR stays
        {"a\r\r\nb\n", {"a\r\n", "b\n"}},
        {"a\nb\x1A" "c\nd\n", {"a\n", "b"}},  // 0x1A ends the file
        {"a\r\x1A\n", {"a\r"}},
        {std::string("a\0b\n", 4), {std::string("a\0b\n", 4)}},
        {Repeat('x', 600) + "\n", {x511, Repeat('x', 89) + "\n"}},
        {x511 + "\n", {x511, "\n"}},
        {Repeat('x', 510) + "\r\n", {Repeat('x', 510) + "\n"}},  // CR LF folds across the cut
        {Repeat('x', 511) + "\r\n", {x511, "\n"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Pieces(GetParam(), c.bytes), c.pieces) << c.bytes.substr(0, 20);
    }
}

TEST_P(ConfigTest, KeyValueLines) {
    const std::string tabs99 = Repeat('\t', 99);
    const std::string kLong = Repeat('k', 490);
    struct Case {
        const char* what;
        std::string bytes;
        std::string key;
        const char* value;  // null: no entry
    } cases[] = {
        {"plain", "KEY value\r\n", "KEY", "value"},
        {"comment after the value", "KEY value and a comment\n", "KEY", "value"},
        {"bar for space", "TITLE a|b||c\n", "TITLE", "a b  c"},
        {"bar after the second byte of po", "TITLE ポ|ポ\n", "TITLE", "ポ ポ"},
        {"latest line wins", "K a\nK b\nL c\n", "K", "b"},
        {"key only", "K\nL v\n", "K", nullptr},
        {"case-sensitive", "key v\n", "KEY", nullptr},
        {"99 tabs", "K" + tabs99 + "v\n", "K", "v"},
        {"100 tabs", "K" + tabs99 + "\tv\n", "K", nullptr},
        {"indented", " K v\n", "K", nullptr},
        {"slash", "/K v\n", "/K", nullptr},
        {"semicolon is a key", "; K v\n", ";", "K"},
        {"closing line with comment", "- end of section\n", "-", "end"},
        {"bare header", "[ini]\n", "[ini]", nullptr},
        {"header with a word", "[ini] x\n", "[ini]", "x"},
        {"EOF is a key", "EOF x\n", "EOF", "x"},
        {"[EOF] stops", "K a\n[EOF]\nK b\n", "K", "a"},
        {"[EOF] first", "[EOF]\nK b\n", "K", nullptr},
        {"[EOF] with more text", "[EOF]x\nK b\n", "K", nullptr},
        {"double-byte key", "鍵 値\n", "鍵", "値"},
        {"NUL is blank", std::string("K\0v\n", 4), "K", "v"},
        {"lone CR is blank", "K a\rb\n", "K", "a"},
        {"0x1A ends the file", "K a\x1A\nL b\n", "L", nullptr},
        {"second piece is a line", Repeat('x', 511) + "K v\n", "K", "v"},
        {"value window ends at the buffer", kLong + Repeat('\t', 20) + "vw\n", kLong, "v"},
        {"rest of the cut line", kLong + Repeat('\t', 20) + "vw x\n", "w", "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetSettings();
        LoadText(c.bytes);
        const SettingEntry* e = FindSetting(c.key.c_str());
        if (!c.value) {
            EXPECT_EQ(e, nullptr);
        } else {
            ASSERT_NE(e, nullptr);
            EXPECT_STREQ(e->value, c.value);
        }
    }
}

TEST_P(ConfigTest, FourHundredPiecesAreRead) {
    // Every piece counts: comments, blank lines and both pieces of an over-long line.
    struct Case {
        std::string head;
        int fillers;
        bool found;
    } cases[] = {
        {"", 399, true},
        {"", 400, false},
        {Repeat('x', 600) + "\n", 397, true},
        {Repeat('x', 600) + "\n", 398, false},
    };
    for (const Case& c : cases) {
        std::string text = c.head;
        for (int i = 0; i < c.fillers; ++i) text += (i % 2) ? "\n" : "// comment\n";
        text += "LAST yes\n";
        ResetSettings();
        LoadText(text);
        EXPECT_EQ(FindSetting("LAST") != nullptr, c.found) << c.fillers;
    }
}

TEST_P(ConfigTest, TableIsNewestFirst) {
    LoadText("A 1\nB 2\nA 3\n");
    std::vector<std::string> seen;
    for (const SettingEntry* e = FirstSetting(); e; e = e->next) seen.push_back(std::string(e->key) + e->value);
    EXPECT_EQ(seen, (std::vector<std::string>{"A3", "B2", "A1"}));
    // Loading again adds to the table.
    LoadText("B 4\n");
    EXPECT_STREQ(FindSetting("B")->value, "4");
}

TEST_P(ConfigTest, GetSettingCutsByBytesAndZeroFills) {
    LoadText("LONG " + Repeat('a', 126) + "ポx\nSHORT v\n");
    char buf[kSettingBytes + 8];
    memset(buf, 0x55, sizeof buf);
    GetSetting("LONG", buf, kSettingBytes, "-");
    EXPECT_EQ(std::string(buf), Repeat('a', 126) + "\x83");  // cut inside ポ
    memset(buf, 0x55, sizeof buf);
    GetSetting("SHORT", buf, kSettingBytes, "-");
    EXPECT_STREQ(buf, "v");
    for (size_t i = 1; i < kSettingBytes; ++i) ASSERT_EQ(buf[i], '\0') << i;
    EXPECT_EQ(buf[kSettingBytes], 0x55);
    EXPECT_STREQ(GetSetting("ABSENT", buf, kSettingBytes, "dflt"), "dflt");
    EXPECT_STREQ(GetSetting("SHORT", buf, 1, "-"), "");
}

TEST_P(ConfigTest, GetSettingIntWraps) {
    LoadText(
        "A 123\nB -5\nC +7\nD abc\nE 12ab\nF 4294967296\nG 2147483648\nH -2147483648\n"
        "I 99999999999\nJ |42\nK -\nL 4294967295\n");
    struct Case {
        const char* key;
        int32_t expected;
    } cases[] = {
        {"A", 123},  {"B", -5},         {"C", 7},          {"D", 0},           {"E", 12},
        {"F", 0},    {"G", INT32_MIN},  {"H", INT32_MIN},  {"I", 1215752191},  {"J", 42},
        {"K", 0},    {"L", -1},         {"ABSENT", 77},
    };
    for (const Case& c : cases) EXPECT_EQ(GetSettingInt(c.key, 77), c.expected) << c.key;
}

TEST_P(ConfigTest, NamedSettingsDefaults) {
    LoadText("// nothing set\n");
    EXPECT_STREQ(GetRegGlobal(), "-");
    EXPECT_STREQ(GetRegLocal(), "-");
    EXPECT_STREQ(GetIniFile(), "-");
    EXPECT_STREQ(GetIniSection(), "-");
    EXPECT_STREQ(GetTitleBar(), "ＱＵＯＬＩＭ アプリケーション");
    EXPECT_STREQ(GetInstTo(), "QUOLIM_APP");
    EXPECT_STREQ(GetExeName(), "quolim.exe");
    EXPECT_EQ(GetInstFol(), nullptr);
    EXPECT_EQ(GetKeyFile(), nullptr);
    EXPECT_EQ(GetChkReg(), nullptr);
    EXPECT_EQ(GetChkRegVer(), 0);
    EXPECT_STREQ(UpdaterTitle(), "ＱＵＯＬＩＭ アプリケーション アップデータ");
}

TEST_P(ConfigTest, NamedSettingsFromTheFile) {
    LoadText(
        "REG_GLOBAL Studio\nREG_LOCAL Game\nINI_FILE game.ini\nINI_SECTION Setup\n"
        "TITLEBAR デモ|ゲーム\nINSTTO Dir\nINSTFOL -\nEXENAME game.exe\nKEYFILE key.dat\n"
        "CHKREG Version\nCHKREGVER x1\n");
    EXPECT_STREQ(GetRegGlobal(), "Studio");
    EXPECT_STREQ(GetRegLocal(), "Game");
    EXPECT_STREQ(GetIniFile(), "game.ini");
    EXPECT_STREQ(GetIniSection(), "Setup");
    EXPECT_STREQ(GetTitleBar(), "デモ ゲーム");
    EXPECT_STREQ(GetInstTo(), "Dir");
    EXPECT_STREQ(GetInstFol(), "-");  // present, so not none, whatever it says
    EXPECT_STREQ(GetExeName(), "game.exe");
    EXPECT_STREQ(GetKeyFile(), "key.dat");
    EXPECT_STREQ(GetChkReg(), "Version");
    EXPECT_EQ(GetChkRegVer(), 0);
    EXPECT_STREQ(UpdaterTitle(), "デモ ゲーム アップデータ");
}

TEST_P(ConfigTest, CachedSettingsKeepTheirFirstResult) {
    EXPECT_STREQ(GetRegGlobal(), "-");  // read before loading
    EXPECT_STREQ(GetTitleBar(), "ＱＵＯＬＩＭ アプリケーション");
    LoadText("REG_GLOBAL Studio\nTITLEBAR Title\nCHKREGVER -1\n");
    EXPECT_STREQ(GetRegGlobal(), "-");
    EXPECT_STREQ(GetTitleBar(), "Title");
    EXPECT_EQ(GetChkRegVer(), -1);
    LoadText("CHKREGVER 5\n");
    EXPECT_EQ(GetChkRegVer(), 5);  // -1 is read again
    LoadText("CHKREGVER 9\n");
    EXPECT_EQ(GetChkRegVer(), 5);
    ResetSettings();
    LoadText("REG_GLOBAL Studio\n");
    EXPECT_STREQ(GetRegGlobal(), "Studio");
}

TEST_P(ConfigTest, UpdaterTitleIsNeverCut) {
    const std::string suffix = " アップデータ";
    LoadText("TITLEBAR " + Repeat('t', 127) + "\n");
    EXPECT_EQ(std::string(UpdaterTitle()), Repeat('t', 127) + suffix);
    EXPECT_EQ(strlen(UpdaterTitle()), 140u);
    ResetSettings();
    LoadText("TITLEBAR " + Repeat('t', 200) + "\n");
    EXPECT_EQ(std::string(UpdaterTitle()), Repeat('t', 127) + suffix);
}

TEST_P(ConfigTest, SectionRules) {
    struct Case {
        const char* what;
        std::string bytes;
        int status;
        int open;
        std::vector<std::string> lists[kSectionCount];
    } cases[] = {
        {"no sections", "KEY v\n[EOF]\n", kSectionsOk, -1, {}},
        {"all four", "[delfiles]\nold.dat\n-\n[delfiles_user]\nsave.dat\n-\n[ini]\na=1\n-\n[reg]\n\"x\"=\"y\"\n-\n",
         kSectionsOk, -1, {{"old.dat"}, {"save.dat"}, {"a=1"}, {"\"x\"=\"y\""}}},
        {"repeated header starts afresh", "[ini]\na\n-\n[ini]\nb\nc\n-\n", kSectionsOk, -1, {{}, {}, {"b", "c"}, {}}},
        {"header after header", "[delfiles]\nx\n[ini]\ny\n-\n", kSectionsOk, -1, {{"x"}, {}, {"y"}, {}}},
        {"left open", "[ini]\na\n-\n[reg]\nb\n", kSectionsOpen, kReg, {{}, {}, {"a"}, {"b"}}},
        {"only the last open one counts", "[ini]\n[reg]\n", kSectionsOpen, kReg, {}},
        {"EOF inside", "[ini]\na\nEOF\nb\n-\n", kSectionsOpen, kIni, {{}, {}, {"a"}, {}}},
        {"EOF outside stops quietly", "EOF\n[ini]\na\n", kSectionsOk, -1, {}},
        {"EOF prefix", "[ini]\na\n-\nEOFX\n[reg]\n", kSectionsOk, -1, {{}, {}, {"a"}, {}}},
        {"[EOF] is a raw line", "[EOF]\n[ini]\n[EOF]\n-\n", kSectionsOk, -1, {{}, {}, {"[EOF]"}, {}}},
        {"comments", "[ini]\n// c\n;c\n  // kept\n\t\n\na\n-\n", kSectionsOk, -1, {{}, {}, {"  // kept", "a"}, {}}},
        {"trailing blanks cut", "[ini]\na = 1 // c \t\r\n b\r\r\n-\n", kSectionsOk, -1, {{}, {}, {"a = 1 // c", " b"}, {}}},
        {"header and close with text", "[ini] // c\na\n- end\nb\n", kSectionsOk, -1, {{}, {}, {"a"}, {}}},
        {"headers are case-sensitive", "[INI]\n[reg]\n[INI]\n-\n", kSectionsOk, -1, {{}, {}, {}, {"[INI]"}}},
        {"lines outside are ignored", "x=1\n[ini]\n-\ny=2\n", kSectionsOk, -1, {}},
        {"long lines come in pieces", "[ini]\n" + Repeat('a', 600) + "\n-\n", kSectionsOk, -1,
         {{}, {}, {Repeat('a', 511), Repeat('a', 89)}, {}}},
        {"0x1A ends the file", "[ini]\na\n\x1A-\n", kSectionsOpen, kIni, {{}, {}, {"a"}, {}}},
        {"NUL ends a line", std::string("[ini]\na\0b\n-\n", 12), kSectionsOk, -1, {{}, {}, {"a"}, {}}},
        {"double-byte lines", "[reg]\n\"ソフト\"=\"ポ\"\n-\n", kSectionsOk, -1, {{}, {}, {}, {"\"ソフト\"=\"ポ\""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetSections();
        int open = 99;
        EXPECT_EQ(LoadLists(c.bytes, &open), c.status);
        EXPECT_EQ(open, c.open);
        for (int i = 0; i < kSectionCount; ++i) EXPECT_EQ(Lines(GetSectionList(i)), c.lists[i]) << SectionName(i);
        Input in(GetParam(), c.bytes);
        int checkOpen = 99;
        EXPECT_EQ(CheckSections(&in.reader, &checkOpen), c.status);
        EXPECT_EQ(checkOpen, c.open);
    }
}

TEST_P(ConfigTest, ReadersSeeTheSameFileDifferently) {
    const std::string text =
        "; comment for one reader only\n"
        "REG_GLOBAL Studio\n"
        "[reg]\n"
        "REG_GLOBAL Other\n"
        "[EOF]\n"
        "-\n"
        "TITLEBAR Late\n"
        "EOF\n"
        "[ini]\n";
    LoadText(text);
    int open;
    ASSERT_EQ(LoadLists(text, &open), kSectionsOk);
    // The section line shadows the earlier setting; "[EOF]" stops the settings, not the sections.
    EXPECT_STREQ(FindSetting(";")->value, "comment");
    EXPECT_STREQ(GetRegGlobal(), "Other");
    EXPECT_EQ(FindSetting("TITLEBAR"), nullptr);
    EXPECT_EQ(Lines(RegList()), (std::vector<std::string>{"REG_GLOBAL Other", "[EOF]"}));
    EXPECT_EQ(IniList(), nullptr);
}

TEST(ConfigMessages, FailuresNameTheSectionOrTheFile) {
    std::string text = "[delfiles_user]\nsave\\old.dat\n";
    EnvReader reader;
    OpenEnvBytes(&reader, text.data(), text.size());
    int open;
    int status = CheckSections(&reader, &open);
    char message[1024];
    FormatSectionsFailure(status, "install.env", open, message, sizeof message);
    EXPECT_STREQ(message, "[設定.env]の[delfiles_user]が終了していません");
    FormatSectionsFailure(kSectionsCannotOpen, "install.env", -1, message, sizeof message);
    EXPECT_STREQ(message, "[install.env]ファイルを開けませんでした。");
}

}  // namespace

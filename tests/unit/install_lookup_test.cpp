#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/str_util.h"
#include "support/lookup_fake_registry.h"

namespace {

const char kKey[] = "Software\\Soft\\Game";

class Lookup : public ::testing::Test {
protected:
    void SetUp() override {
        s_keys = {kKey};
        s_lockedKeys.clear();
        s_values.clear();
        s_files.clear();
        s_log.clear();
    }
    void TearDown() override { ResetSettings(); }
};

TEST(ParseRegInt, DecimalPrefixWithSignAndLimits) {
    const struct {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"1", 1},
        {"-1", -1},
        {"+5", 5},
        {"7abc", 7},
        {" \t\r\n42", 42},
        {"abc", 0},
        {"", 0},
        {"- 5", 0},
        {"0x10", 0},
        {"007", 7},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"99999999999999999999", INT32_MAX},
        {"-99999999999999999999", INT32_MIN},
        {"\xE3\x80\x80"
         "5",
         0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseRegInt(c.text), c.expected) << c.text;
}

TEST_F(Lookup, ReadsOnlyStringValuesAndKeepsTheDefaultOtherwise) {
    s_values[std::string(kKey) + "|sz"] = Sz("12ab");
    s_values[std::string(kKey) + "|bare"] = {kRegTypeSz, "abc"};  // stored without a terminator
    s_values[std::string(kKey) + "|dword"] = {kRegTypeDword, std::string("\x01\0\0\0", 4)};
    s_values[std::string(kKey) + "|expand"] = {kRegTypeExpandSz, "%TEMP%" + std::string(1, '\0')};
    s_values[std::string(kKey) + "|big"] = Sz(std::string(512, 'x'));
    s_values[std::string(kKey) + "|full"] = Sz(std::string(511, 'y'));
    const struct {
        const char* name;
        size_t outSize;
        int rc;
        std::string text;
        int32_t asInt;
    } cases[] = {
        {"sz", 64, 0, "12ab", 12},
        {"sz", 3, 0, "12", 12},
        {"bare", 64, 0, "abc", 0},
        {"dword", 64, -1, "dflt", -9},
        {"expand", 64, -1, "dflt", -9},
        {"big", 64, -1, "dflt", -9},
        {"full", 600, 0, std::string(511, 'y'), 0},
        {"missing", 64, -1, "dflt", -9},
        {"missing", 3, -1, "df", -9},
    };
    for (const auto& c : cases) {
        char out[600];
        memset(out, '#', sizeof out);
        EXPECT_EQ(ReadRegString(FakeQuery, "Soft", "Game", c.name, "dflt", out, c.outSize), c.rc) << c.name;
        EXPECT_EQ(std::string(out), c.text) << c.name;
        EXPECT_EQ(ReadRegInt(FakeQuery, "Soft", "Game", c.name, -9), c.asInt) << c.name;
    }
    // A key that refuses full access reads like a missing one.
    s_lockedKeys = {kKey};
    EXPECT_EQ(ReadRegInt(FakeQuery, "Soft", "Game", "sz", 3), 3);
}

TEST_F(Lookup, ChecksInOrderAndStopsAtTheFirstFailure) {
    const std::string base = "REG_GLOBAL Soft\nREG_LOCAL Game\n";
    const std::string keyFile = base + "KEYFILE game.exe\n";
    const std::string version = base + "CHKREG Ver\nCHKREGVER 5\n";
    const std::string both = keyFile + "CHKREG Ver\nCHKREGVER 5\n";
    const std::string folder = "C:\\Games\\App";
    const std::string k = std::string(kKey) + "|";
    const std::string s300(300, 's');
    const struct {
        const char* what;
        std::string settings;
        std::map<std::string, FakeValue> values;
        bool keyMissing;
        std::set<std::string> files;
        int status;
        std::string path;
        std::vector<std::string> log;
    } cases[] = {
        {"no key", base, {}, true, {}, kLookupNotInstalled, "", {k + "IsInst"}},
        {"IsInst missing", base, {{"InstTo", Sz(folder)}}, false, {}, kLookupNotInstalled, "", {k + "IsInst"}},
        {"IsInst 0",
         base,
         {{"IsInst", Sz("0")}, {"InstTo", Sz(folder)}},
         false,
         {},
         kLookupNotInstalled,
         "",
         {k + "IsInst"}},
        {"IsInst text", base, {{"IsInst", Sz("yes")}}, false, {}, kLookupNotInstalled, "", {k + "IsInst"}},
        {"IsInst empty", base, {{"IsInst", Sz("")}}, false, {}, kLookupNotInstalled, "", {k + "IsInst"}},
        {"IsInst dword",
         base,
         {{"IsInst", {kRegTypeDword, std::string("\x01\0\0\0", 4)}}, {"InstTo", Sz(folder)}},
         false,
         {},
         kLookupNotInstalled,
         "",
         {k + "IsInst"}},
        {"InstTo missing", base, {{"IsInst", Sz("1")}}, false, {}, kLookupNoFolder, "", {k + "IsInst", k + "InstTo"}},
        {"InstTo empty",
         base,
         {{"IsInst", Sz("-1")}, {"InstTo", Sz("")}},
         false,
         {},
         kLookupNoFolder,
         "",
         {k + "IsInst", k + "InstTo"}},
        {"InstTo expand",
         base,
         {{"IsInst", Sz("7abc")}, {"InstTo", {kRegTypeExpandSz, folder + '\0'}}},
         false,
         {},
         kLookupNoFolder,
         "",
         {k + "IsInst", k + "InstTo"}},
        {"InstTo over 512 bytes",
         base,
         {{"IsInst", Sz("1")}, {"InstTo", Sz(std::string(512, 'p'))}},
         false,
         {},
         kLookupNoFolder,
         "",
         {k + "IsInst", k + "InstTo"}},
        {"InstTo 511",
         base,
         {{"IsInst", Sz("1")}, {"InstTo", Sz(std::string(511, 'p'))}},
         false,
         {},
         kLookupFound,
         std::string(259, 'p'),
         {k + "IsInst", k + "InstTo"}},
        {"InstTo 300",
         base,
         {{"IsInst", Sz("1")}, {"InstTo", Sz(s300)}},
         false,
         {},
         kLookupFound,
         s300.substr(0, 259),
         {k + "IsInst", k + "InstTo"}},
        {"key file missing",
         both,
         {{"IsInst", Sz("1")}, {"InstTo", Sz(folder)}, {"Ver", Sz("9")}},
         false,
         {},
         kLookupNoFolder,
         "",
         {k + "IsInst", k + "InstTo", "file:" + folder + "\\game.exe"}},
        {"key file there",
         keyFile,
         {{"IsInst", Sz("1")}, {"InstTo", Sz(folder)}},
         false,
         {folder + "\\game.exe"},
         kLookupFound,
         folder,
         {k + "IsInst", k + "InstTo", "file:" + folder + "\\game.exe"}},
        {"version below",
         both,
         {{"IsInst", Sz("1")}, {"InstTo", Sz(folder)}, {"Ver", Sz("4")}},
         false,
         {folder + "\\game.exe"},
         kLookupOldVersion,
         "",
         {k + "IsInst", k + "InstTo", "file:" + folder + "\\game.exe", k + "Ver"}},
        {"version equal",
         version,
         {{"IsInst", Sz("1")}, {"InstTo", Sz(folder)}, {"Ver", Sz("5")}},
         false,
         {},
         kLookupFound,
         folder,
         {k + "IsInst", k + "InstTo", k + "Ver"}},
        {"version above",
         version,
         {{"IsInst", Sz("1")}, {"InstTo", Sz(folder)}, {"Ver", Sz("6")}},
         false,
         {},
         kLookupFound,
         folder,
         {k + "IsInst", k + "InstTo", k + "Ver"}},
        {"version missing",
         version,
         {{"IsInst", Sz("1")}, {"InstTo", Sz(folder)}},
         false,
         {},
         kLookupOldVersion,
         "",
         {k + "IsInst", k + "InstTo", k + "Ver"}},
        {"no lowest version, missing",
         base + "CHKREG Ver\n",
         {{"IsInst", Sz("1")}, {"InstTo", Sz(folder)}},
         false,
         {},
         kLookupFound,
         folder,
         {k + "IsInst", k + "InstTo", k + "Ver"}},
        {"no lowest version, negative",
         base + "CHKREG Ver\n",
         {{"IsInst", Sz("1")}, {"InstTo", Sz(folder)}, {"Ver", Sz("-3")}},
         false,
         {},
         kLookupOldVersion,
         "",
         {k + "IsInst", k + "InstTo", k + "Ver"}},
        // Both names left at "-": the key is Software\-\-, looked up like any other.
        {"default names", "", {}, true, {}, kLookupNotInstalled, "", {"Software\\-\\-|IsInst"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        LoadSettingsText(c.settings);
        if (c.keyMissing) s_keys.clear();
        for (const auto& v : c.values) s_values[k + v.first] = v.second;
        s_files = c.files;
        char path[kInstallPathBytes];
        CopyStr(path, sizeof path, "untouched");
        int status = FindInstallation(&kFakeSource, path, sizeof path);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(std::string(path), c.status == kLookupFound ? c.path : "untouched");
        EXPECT_EQ(s_log, c.log);
    }
    EXPECT_STREQ(LookupMessage(kLookupNotInstalled), "本体がインストールされていません");
    EXPECT_STREQ(LookupMessage(kLookupNoFolder), "インストール先が特定できませんでした");
    EXPECT_STREQ(LookupMessage(kLookupOldVersion), "アップデート元のバージョンが不適合です");
}

TEST_F(Lookup, KeyThatRefusesFullAccessIsNotInstalled) {
    LoadSettingsText("REG_GLOBAL Soft\nREG_LOCAL Game\n");
    s_values[std::string(kKey) + "|IsInst"] = Sz("1");
    s_values[std::string(kKey) + "|InstTo"] = Sz("C:\\x");
    s_lockedKeys = {kKey};
    char path[kInstallPathBytes] = "";
    EXPECT_EQ(FindInstallation(&kFakeSource, path, sizeof path), kLookupNotInstalled);
}

}  // namespace

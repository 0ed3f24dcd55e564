#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/str_util.h"
#include "support/lookup_fake_registry.h"

namespace {

TEST(ParseRegInt, DecimalPrefixWithSignAndLimits) {
    const struct {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"-1", -1},
        {"+5", 5},
        {"7abc", 7},
        {" \t\r\n42", 42},
        {"- 5", 0},
        {"0x10", 0},
        {"2147483648", INT32_MAX},
        {"-2147483649", INT32_MIN},
        {"99999999999999999999", INT32_MAX},
        {"-99999999999999999999", INT32_MIN},
        {"\xE3\x80\x80+5", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseRegInt(c.text), c.expected) << c.text;
}

TEST(Lookup, ReadsOnlyStringValuesAndKeepsTheDefaultOtherwise) {
    ResetRegistry();
    const std::string k = std::string(kFakeGameKey) + "|";
    s_values[k + "sz"] = Sz("12ab");
    s_values[k + "bare"] = {kRegTypeSz, "abc"};  // stored without a terminator
    s_values[k + "dword"] = {kRegTypeDword, std::string("\x01\0\0\0", 4)};
    s_values[k + "expand"] = {kRegTypeExpandSz, "%TEMP%" + std::string(1, '\0')};
    s_values[k + "big"] = Sz(std::string(512, 'x'));
    s_values[k + "full"] = Sz(std::string(511, 'y'));
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
    s_lockedKeys = {kFakeGameKey};
    EXPECT_EQ(ReadRegInt(FakeQuery, "Soft", "Game", "sz", 3), 3);
}

// values: "name=text;..." stored as strings under the game's key, "-" for no key. The log lists what
// was asked, in order, without the game's key.
TEST(Lookup, ChecksInOrderAndStopsAtTheFirstFailure) {
    const std::string base = "REG_GLOBAL Soft\nREG_LOCAL Game\n", keyFile = base + "KEYFILE game.exe\n";
    const std::string version = base + "CHKREG Ver\nCHKREGVER 5\n", both = keyFile + "CHKREG Ver\nCHKREGVER 5\n";
    const std::string inst = "IsInst=1;InstTo=C:\\G", s300(300, 's');
    const struct {
        std::string settings, values;
        int status;
        std::string path, log;
    } cases[] = {
        {base, "-", kLookupNotInstalled, "", "IsInst"},
        {base, "IsInst=0;InstTo=C:\\G", kLookupNotInstalled, "", "IsInst"},
        {base, "IsInst=1", kLookupNoFolder, "", "IsInst InstTo"},
        {base, "IsInst=-1;InstTo=", kLookupNoFolder, "", "IsInst InstTo"},
        {base, "IsInst=7abc;InstTo=" + s300, kLookupFound, s300.substr(0, 259), "IsInst InstTo"},
        {base + "KEYFILE none.exe\nCHKREG Ver\nCHKREGVER 5\n", inst + ";Ver=9", kLookupNoFolder, "", "IsInst InstTo file"},
        {keyFile, inst, kLookupFound, "C:\\G", "IsInst InstTo file"},
        {both, inst + ";Ver=4", kLookupOldVersion, "", "IsInst InstTo file Ver"},
        {version, inst + ";Ver=5", kLookupFound, "C:\\G", "IsInst InstTo Ver"},
        {version, inst, kLookupOldVersion, "", "IsInst InstTo Ver"},
        {base + "CHKREG Ver\n", inst, kLookupFound, "C:\\G", "IsInst InstTo Ver"},  // no lowest version given
        {base + "CHKREG Ver\n", inst + ";Ver=-3", kLookupOldVersion, "", "IsInst InstTo Ver"},
        // Both names left at "-": the key is Software\-\-, looked up like any other.
        {"", "-", kLookupNotInstalled, "", "Software\\-\\-|IsInst"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings + c.values);
        ResetRegistry();
        LoadSettingsText(c.settings);
        if (c.values == "-") s_keys.clear();
        SetGameValues(c.values);
        s_files = {"C:\\G\\game.exe"};
        char path[kMaxPathBytes];
        CopyStr(path, sizeof path, "untouched");
        EXPECT_EQ(FindInstallation(&kFakeSource, path, sizeof path), c.status);
        EXPECT_EQ(std::string(path), c.status == kLookupFound ? c.path : "untouched");
        EXPECT_EQ(AskedOfFake(), c.log);
    }
    ResetSettings();
}

}  // namespace

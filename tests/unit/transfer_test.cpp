#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/str_util.h"
#include "update/transfer.h"

namespace {

int s_cdromAsks;
void FakeCdromRoot(char* root, size_t rootSize) {
    ++s_cdromAsks;
    CopyStr(root, rootSize, "Q:\\");
}

const char kFolder[] = "C:\\Games\\App";
const PlaceholderValues kValues = {kFolder, FakeCdromRoot};

struct SplitCase {
    std::string line;
    int rc;
    std::string first;   // key or name
    std::string second;  // value
    int cdromAsks;
};

void CheckSplits(int (*split)(const char*, const PlaceholderValues*, char*, size_t, char*, size_t),
                 const std::vector<SplitCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 60));
        s_cdromAsks = 0;
        char first[kTransferTextBytes] = "?";
        char second[kTransferTextBytes] = "?";
        int rc = split(c.line.c_str(), &kValues, first, sizeof first, second, sizeof second);
        EXPECT_EQ(rc, c.rc);
        if (rc == kLineWritten) {
            EXPECT_EQ(std::string(first), c.first);
            EXPECT_EQ(std::string(second), c.second);
        }
        EXPECT_EQ(s_cdromAsks, c.cdromAsks);
    }
}

TEST(Transfer, IniLines) {
    // "k=" + "REP_INSTALL" + padding grows by one byte (12 for 11): 510 and 511 bytes of line.
    const std::string fits = "k=REP_INSTALL" + std::string(497, 'x');
    const std::string over = "k=REP_INSTALL" + std::string(498, 'x');
    CheckSplits(SplitIniLine, {
                                  {"a=b=c", kLineWritten, "a", "b=c", 0},
                                  {"key=", kLineWritten, "key", "", 0},
                                  {"=v", kLineWritten, "", "v", 0},
                                  {" a = b ", kLineWritten, " a ", " b ", 0},
                                  {"Path=D:\\data\\\\x\\", kLineWritten, "Path", "D:\\data\\\\x\\", 0},
                                  {"p=REP_INSTALL;REP_INSTALL", kLineWritten, "p", "C:\\Games\\App;REP_INSTALL", 0},
                                  {"REP_INSTALL=1", kLineWritten, "C:\\Games\\App", "1", 0},
                                  {"d=REP_CDROMDRIVE\\setup", kLineWritten, "d", "Q:\\\\setup", 1},
                                  {"d=REP_CDROMDRIVEREP_INSTALL", kLineWritten, "d", "Q:\\C:\\Games\\App", 1},
                                  {"d=REP_CDROM", kLineWritten, "d", "REP_CDROM", 0},
                                  {"ソ=表", kLineWritten, "ソ", "表", 0},
                                  {"表REP_INSTALL=ソ\\", kLineWritten, "表C:\\Games\\App", "ソ\\", 0},
                                  // 0x83 'R' is one character, so no placeholder starts at the R.
                                  {"x=\x83REP_INSTALL", kLineWritten, "x", "\x83REP_INSTALL", 0},
                                  {"x=\x83REP_CDROMDRIVE", kLineWritten, "x", "\x83REP_CDROMDRIVE", 0},
                                  {"no separator", kLineNoSeparator, "", "", 0},
                                  {"", kLineNoSeparator, "", "", 0},
                                  {fits, kLineWritten, "k", "C:\\Games\\App" + std::string(497, 'x'), 0},
                                  {over, kLineTooLong, "", "", 0},
                              });
}

TEST(Transfer, RegLines) {
    // "\"k\"=\"" + "REP_INSTALL" + padding + "\"": 510 and 511 bytes, expanded to 511 and 512.
    const std::string fits = "\"k\"=\"REP_INSTALL" + std::string(493, 'x') + "\"";
    const std::string over = "\"k\"=\"REP_INSTALL" + std::string(494, 'x') + "\"";
    CheckSplits(SplitRegLine, {
                                  {"\"InstTo\"=\"REP_INSTALL\"", kLineWritten, "InstTo", "C:\\Games\\App", 0},
                                  {"\"Save\"=\"REP_INSTALL\\\\save\"", kLineWritten, "Save", "C:\\Games\\App\\save", 0},
                                  {"\"p\"=\"REP_INSTALL;REP_INSTALL\"", kLineWritten, "p", "C:\\Games\\App;REP_INSTALL", 0},
                                  {"\"d\"=\"REP_CDROMDRIVE\"", kLineWritten, "d", "Q:\\DRIVE", 1},
                                  {"\"a\"=dword:00000001", kLineNoSeparator, "", "", 0},
                                  {"@=\"default\"", kLineNoSeparator, "", "", 0},
                                  {"\"\"=\"default\"", kLineWritten, "", "default", 0},
                                  {"\"a\"=\"\"", kLineWritten, "a", "", 0},
                                  {"\"q\"=\"say \\\"hi\\\"\"", kLineWritten, "q", "say \"hi\"", 0},
                                  {"\"p\"=\"C:\\\\dir\\\\\"", kLineWritten, "p", "C:\\dir\\", 0},
                                  {"\"a\"=\"b\"\\", kLineWritten, "a", "b", 0},
                                  // ソ and 表 end in 0x5C: neither escapes the quote after it nor loses a byte.
                                  {"\"ソ\"=\"表\"", kLineWritten, "ソ", "表", 0},
                                  {"\"ソ表\"=\"ソ\\\\表\"", kLineWritten, "ソ表", "ソ\\表", 0},
                                  {"\"a\"=\"bソ", kLineWritten, "a", "b", 0},
                                  {"\"a\"=\"", kLineNoValue, "", "", 0},
                                  {"\"=\"x\"", kLineNoName, "", "", 0},
                                  {"\"a\"=\"\\\"", kLineWritten, "a", "", 0},
                                  {"no separator", kLineNoSeparator, "", "", 0},
                                  {fits, kLineWritten, "k", "C:\\Games\\App" + std::string(493, 'x'), 0},
                                  {over, kLineTooLong, "", "", 0},
                              });
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

std::vector<std::string> s_drivesAsked;
std::string s_cdroms;
bool FakeIsCdrom(const char* root) {
    s_drivesAsked.push_back(root);
    return s_cdroms.find(root[0]) != std::string::npos;
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
        char root[kCdromRootBytes];
        FindCdromRoot(FakeIsCdrom, root, sizeof root);
        EXPECT_STREQ(root, c.root);
        ASSERT_EQ(s_drivesAsked.size(), c.asked);
        EXPECT_EQ(s_drivesAsked.front(), "A:\\");
        EXPECT_EQ(s_drivesAsked.back(), std::string(1, static_cast<char>('A' + c.asked - 1)) + ":\\");
    }
}

}  // namespace

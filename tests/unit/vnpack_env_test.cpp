#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/env_input.h"
#include "vnpack/cp932_text.h"
#include "vnpack/vnpack.h"

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Runs `vnpack env` on the bytes and expects the exit code and each part in what it prints.
VerbRun ExpectReport(const std::string& bytes, const std::vector<std::string>& extra, int rc,
                     const std::vector<std::string>& parts) {
    VerbRun run = RunEnvVerbOn(RunEnv, bytes, extra);
    EXPECT_EQ(run.rc, rc) << bytes.substr(0, 40) << "\n" << run.err;
    for (const std::string& part : parts) EXPECT_TRUE(Has(run.out, part)) << part << "\n" << run.out;
    return run;
}

const std::string kHead = "REG_GLOBAL S\nREG_LOCAL L\nINI_FILE g.ini\nINI_SECTION s\n[EOF]\n";
// "k=REP_INSTALL" and 480 bytes: written as long as the folder has at most 511 - 482 bytes.
const std::string kLong = "k=REP_INSTALL" + std::string(480, 'x');

// The traps the guide shows (run and compared by guide_commands) are not repeated here.
TEST(VnpackEnv, WarnsAboutEachTrapAndNotOnSoundFiles) {
    const struct {
        std::string bytes;
        const char* expected; /* in the report */
    } cases[] = {
        {"REG_GLOBAL A\n[reg]\nREG_GLOBAL B\n-\n",
         "line 3: this line of [reg] is also read as the setting REG_GLOBAL = \"B\""},
        {"[EOF]\nEXENAME x.exe\n", "line 2: EXENAME is never read: the settings end at [EOF] on line 1"},
        {std::string(600, 'x') + "\n" + RepeatText("\n", 398) + "TITLEBAR late\n", "line 400: TITLEBAR is never read"},
        {"[EOF]\nA 1\nB 2\n", "line 2: 2 key/value lines from here on are never read"},
        {"TITLEBAR " + std::string(200, 't') + "\n", "TITLEBAR is 200 bytes long: the updater uses its first 127"},
        {"TITLEBAR " + std::string(126, 't') + "ポ\n", "cutting a double-byte character in two"},
        {"TITLEBAR \x80x\r\n", "line 1: not valid CP932: TITLEBAR \\x80x"},
        {"TITLEBAR \xE3\x83\x87\xE3\x83\xA2\n", "the file looks like UTF-8"},
        {"\xEF\xBB\xBFTITLEBAR x\n", "byte-order mark"},
        {"KEYFILE " + std::string(100, ' ') + "x\n", "KEYFILE has no value within 99 blanks"},
        {"CHKREGVER 4294967301\n", "CHKREGVER \"4294967301\" is no plain number: the updater reads it as 5"},
        {"A 1\nB 2\x1A\nC 3\n", "line 2: byte 0x1A ends the file for both readers: the 5 bytes"},
        {"[ini]\n" + std::string(600, 'a') + "=\n-\n", "line 2: the line is 601 bytes long"},
        {"EOF\n[reg]\n", "line 2: [reg] is never read"},
        {"[reg]\n\"a\"=\"b\"\n-\n", "[reg] has lines but REG_GLOBAL is \"-\""},
        {"REG_GLOBAL S\n[EOF]\n[reg]\n\"a\"=dword:1\n-\n", "line 4: [reg] line without the separator"},
        {RepeatText("\x80\n", 7), "2 more lines are not valid CP932"},
        {"[ini]\nx\n-\n", "line 2: [ini] line without \"=\""},
        {"[ini]\n[Reg]\n-\n", "\"[Reg]\" is no section header (headers are lower case): it is stored as a line"},
        {"[EOF]\n[ini]\n[EOF]\n-\n", "line 3: \"[EOF]\" inside [ini] is stored as a line of the section\n"},
        {"[EOF]\nA 1\n", "line 2: 1 key/value line from here on is never read: the settings end at [EOF] on line 1"},
        {"TITLEBAR x\n" + std::string(1100, 'y'), "line 2: the line is 1100 bytes long: both readers take it as 3 lines"},
        {"INSTREADME " + std::string(130, 'r') + "\n", "INSTREADME is 130 bytes long: the menu uses its first 127 bytes\n"},
        {"[EOF]\n" + RepeatText("EXENAME x\n", 205), "Warnings (205):"},
        {"[EOF]\n" + RepeatText("EXENAME x\n", 205), "... and 5 more"},
        {"TITLEBAR " + std::string(127, 't') + "\n", "No warnings."},
        {"REG_GLOBAL S\nINI_FILE f\nINI_SECTION s\n[EOF]\n[ini] // c\nx=1\n- end of [ini]\n; note\n[reg]\n\"a\"=\"b c\"\n-\n",
         "No warnings."},
        {"TITLEBAR ポ|ソ // a comment after the value\r\n[delfiles]\nold\\a.dat\n-\nEOF\nanything\n", "No warnings."},
    };
    for (const auto& c : cases) ExpectReport(c.bytes, {}, 0, {c.expected});
}

TEST(VnpackEnv, BadUsageAndMissingFile) {
    VerbRun run = RunVerb(RunEnv, {"/nonexistent/install.env"});
    EXPECT_EQ(run.rc, kExitBadInput);
    EXPECT_TRUE(Has(run.err, "vnpack: /nonexistent/install.env: cannot open it")) << run.err;
    EXPECT_EQ(RunVerb(RunEnv, {}).rc, kExitUsage);
    const struct {
        std::vector<std::string> args;
        int rc;
    } cases[] = {
        {{"--frob"}, kExitUsage},
        {{"--install-dir"}, kExitUsage},
        {{"--install-dir", ""}, kExitUsage},
        {{"--install-dir", std::string(260, 'f')}, kExitUsage},
        {{"--install-dir", std::string(259, 'f')}, kExitOk},
    };
    for (const auto& c : cases) EXPECT_EQ(RunEnvVerbOn(RunEnv, "", c.args).rc, c.rc) << c.args.back().size();
}

TEST(Cp932Text, ConvertsAndFlags) {
    const struct {
        std::string in;
        const char *escaped, *replaced;
        int invalid;
    } cases[] = {
        {"aポ", "a\xE3\x83\x9D", "a\xE3\x83\x9D", 0},
        {"\xB1", "\xEF\xBD\xB1", "\xEF\xBD\xB1", 0},  // half-width katakana
        {"a\x83", "a\\x83", "a\xEF\xBF\xBD", 1},
        {"\x85\x40", "\\x85@", "\xEF\xBF\xBD@", 1},  // lead byte at the end, unassigned
        {"\xFD", "\\xFD", "\xEF\xBF\xBD", 1},
        {"a\tb", "a\\x09b", "a\tb", 0},
    };
    char out[64];
    for (const auto& c : cases) {
        EXPECT_EQ(Cp932ToUtf8(c.in.data(), c.in.size(), out, sizeof out, kEscapeInvalid), c.invalid) << c.in;
        EXPECT_STREQ(out, c.escaped);
        Cp932ToUtf8(c.in.data(), c.in.size(), out, sizeof out, kReplaceInvalid);
        EXPECT_STREQ(out, c.replaced);
        EXPECT_EQ(IsValidCp932(c.in.data(), c.in.size()), c.invalid == 0);
    }
    Cp932ToUtf8("abポ", 4, out, 5, kEscapeInvalid);
    EXPECT_STREQ(out, "ab");                                                     // never half a character
    EXPECT_EQ(Cp932ToUtf8("a\x83\x40", 2, out, sizeof out, kEscapeInvalid), 1);  // nothing read past the length
    // Names for the payload or the host's file system are whole and exact, or refused.
    EXPECT_EQ(ConvertCp932ToUtf8("a\x85\x40", out, sizeof out), -1);
    EXPECT_EQ(ConvertCp932ToUtf8("abポ", out, 5), -1);
    EXPECT_EQ(ConvertUtf8ToCp932("ソソ", out, 4), -1) << "no room for both";
}

TEST(VnpackEnvTransfer, ShowsWhatEachLineWritesAndWhyOthersAreSkipped) {
    const struct {
        std::string env;
        std::vector<std::string> expected;  // each in stdout
        std::vector<std::string> args = {};
    } cases[] = {
        {kHead + "[ini]\np=REP_INSTALL;REP_CDROMDRIVE\n-\n",
         {"with the game in \"D:\\\xE3\x82\xB2\" (--install-dir) and E:\\ for the CD-ROM drive",
          "    p = \"D:\\\xE3\x82\xB2;E:\\\"\n", "No warnings."},
         {"--install-dir", "D:\\\xE3\x82\xB2"}},
        {kHead + "[ini]\n" + kLong + "\n-\n",
         {"    k = \"C:\\Games\\Sample" + std::string(480, 'x') + "\"",
          "line 7: [ini] line grows past 511 bytes when the game's folder is longer than 29 bytes"}},
        {kHead + "[ini]\n" + kLong + "\n-\n",
         {"    k = \"C:\\" + std::string(26, 'f') + std::string(480, 'x') + "\"", "longer than 29 bytes"},
         {"--install-dir", "C:\\" + std::string(26, 'f')}},
        {kHead + "[ini]\n" + kLong + "\n-\n",
         {"    skipped (longer than 511 bytes once the placeholders are filled in): k=REP_INSTALL",
          "line 7: [ini] line longer than 511 bytes once the placeholders are filled in with the game in "},
         {"--install-dir", "C:\\" + std::string(27, 'f')}},
        {kHead + "[reg]\n\"=\"x\"\n\"a\"=\"\n-\n",
         {"line 7: [reg] line the separator \"=\" begins the line, so no name ends at it",
          "line 8: [reg] line nothing after the separator \"=\", so no closing quote to drop"}},
        {"REG_GLOBAL -\n[EOF]\n[reg]\n\"a\"=\"b\"\n-\n",
         {"INI file \"-\" (in the Windows folder), section [-]: nothing\n",
          "  Registry: nothing (REG_GLOBAL begins with \"-\")\n"}},
    };
    for (const auto& c : cases) ExpectReport(c.env, c.args, kExitOk, c.expected);
}

// The updater's view itself is the guide's. Strings escaped and invalid bytes replaced, defaults marked, and what each line
// would write.
TEST(VnpackEnv, Json) {
    ExpectReport("TITLEBAR a\"b\\c\x80\n" + kHead + "[ini]\nk=\t\x01v\n" + kLong + "\n-\n[reg]\n\"a\"=dword:1\n-\n",
                 {"--json"}, kExitOk,
                 {"\"TITLEBAR\": {\"value\": \"a\\\"b\\\\c\xEF\xBF\xBD\", \"default\": false, \"line\": 1",
                  "\"ini\": [\"k=\\u0009\\u0001v\", ", "\"CHKREGVER\": {\"value\": 0, \"default\": true, \"line\": null",
                  "\"transfer\": {\n    \"installDir\": \"C:\\\\Games\\\\Sample\", \"cdromRoot\": \"E:\\\\\"",
                  "\"ini\": {\"file\": \"g.ini\", \"section\": \"s\", \"entries\": [\n      {\"line\": \"k=\\u0009",
                  "{\"line\": \"k=REP_INSTALL",
                  "\"key\": \"k\", \"value\": \"C:\\\\Games\\\\Sample" + std::string(480, 'x') +
                      "\", \"skipped\": null, \"longestFolder\": 29}",
                  "\"reg\": {\"key\": \"HKEY_CURRENT_USER\\\\Software\\\\S\\\\L\", \"written\": true",
                  "{\"line\": \"\\\"a\\\"=dword:1\", \"name\": null, \"value\": null, \"skipped\": \"no separator"});
    // An open section: its message and exit code are the guide's (guide_commands).
    ExpectReport("KEY v\n[ini]\na=1\n-\n[delfiles_user]\nx\n", {"--json"}, kExitBadInput,
                 {"\"updaterStops\": {\"section\": \"delfiles_user\""});
}


}  // namespace

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "vnpack/cp932_text.h"
#include "vnpack/env_check.h"
#include "vnpack/vnpack.h"

int RunEnv(int argc, char** argv);

namespace {

struct EnvRun {
    int rc;
    std::string out;
    std::string err;
};

// Writes bytes to a file and runs `vnpack env` on it in-process.
EnvRun RunOn(const std::string& bytes, bool json = false) {
    char path[] = "/tmp/vnpack_env_XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
    char verbJson[] = "--json";
    char* argv[] = {path, json ? verbJson : nullptr, nullptr};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EnvRun run;
    run.rc = RunEnv(json ? 2 : 1, argv);
    run.out = testing::internal::GetCapturedStdout();
    run.err = testing::internal::GetCapturedStderr();
    unlink(path);
    return run;
}

std::string Many(const std::string& line, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += line;
    return s;
}

TEST(VnpackEnv, WarnsAboutTraps) {
    struct Case {
        const char* what;
        std::string bytes;
        const char* expected;  // in the report
    } cases[] = {
        {"section line shadows a setting", "REG_GLOBAL A\n[reg]\nREG_GLOBAL B\n-\n",
         "line 3: this line of [reg] is also read as the setting REG_GLOBAL = \"B\""},
        {"after [EOF]", "[EOF]\nEXENAME x.exe\n", "line 2: EXENAME is never read: the settings end at [EOF] on line 1"},
        {"after 400 lines", Many("// c\n", 400) + "TITLEBAR late\n",
         "line 401: TITLEBAR is never read: the settings end after 400 lines"},
        {"pieces count", std::string(600, 'x') + "\n" + Many("\n", 398) + "TITLEBAR late\n",
         "line 400: TITLEBAR is never read"},
        {"other keys summed up", "[EOF]\nA 1\nB 2\n", "line 2: 2 key/value lines from here on are never read"},
        {"cut value", "TITLEBAR " + std::string(200, 't') + "\n", "TITLEBAR is 200 bytes long: the updater uses its first 127"},
        {"cut inside a character", "TITLEBAR " + std::string(126, 't') + "ポ\n", "cutting a double-byte character in two"},
        {"header case", "[Reg]\n-\n", "line 1: \"[Reg]\" is no section header"},
        {"not CP932", "TITLEBAR \x80x\r\n", "line 1: not valid CP932: TITLEBAR \\x80x"},
        {"UTF-8 file", "TITLEBAR \xE3\x83\x87\xE3\x83\xA2\n", "the file looks like UTF-8"},
        {"byte-order mark", "\xEF\xBB\xBFTITLEBAR x\n", "byte-order mark"},
        {"key case", "Titlebar x\n", "\"Titlebar\" is not TITLEBAR"},
        {"indented key", "\tEXENAME x.exe\n", "EXENAME is indented"},
        {"key without value", "KEYFILE " + std::string(100, ' ') + "x\n", "KEYFILE has no value within 99 blanks"},
        {"number", "CHKREGVER 1.5\n", "CHKREGVER \"1.5\" is no plain number: the updater reads it as 1"},
        {"0x1A", "A 1\nB 2\x1A\nC 3\n", "line 2: byte 0x1A ends the file for both readers: the 5 bytes"},
        {"long line", "[ini]\n" + std::string(600, 'a') + "=\n-\n", "line 2: the line is 601 bytes long"},
        {"[EOF] in a section", "[ini]\n[EOF]\n-\n", "\"[EOF]\" inside [ini] is stored as a line of the section"},
        {"sections after EOF", "EOF\n[reg]\n", "line 2: [reg] is never read"},
        {"reg off", "[reg]\n\"a\"=\"b\"\n-\n", "[reg] has lines but REG_GLOBAL is \"-\""},
        {"dword value", "REG_GLOBAL S\n[EOF]\n[reg]\n\"a\"=dword:1\n-\n", "line 4: [reg] line without the separator"},
    };
    for (const Case& c : cases) {
        EnvRun run = RunOn(c.bytes);
        EXPECT_EQ(run.rc, 0) << c.what << run.err;
        EXPECT_NE(run.out.find(c.expected), std::string::npos) << c.what << "\n" << run.out;
    }
}

TEST(VnpackEnv, QuietOnSoundFiles) {
    const std::string files[] = {
        "",
        "REG_GLOBAL S\nINI_FILE f\nINI_SECTION s\n[EOF]\n[ini] // header comment\nx=1\n- end of [ini]\n; note\n"
        "[reg]\n\"a\"=\"b c\"\n-\n",
        "TITLEBAR ポ|ソ // a comment after the value\r\n[delfiles]\nold\\a.dat\n-\nEOF\nanything\n",
        "TITLEBAR " + std::string(127, 't') + "\n",
    };
    for (const std::string& f : files) {
        EnvRun run = RunOn(f);
        EXPECT_EQ(run.rc, 0);
        EXPECT_NE(run.out.find("No warnings."), std::string::npos) << f << "\n" << run.out;
    }
}

TEST(VnpackEnv, ReportsTheUpdatersView) {
    EnvRun run = RunOn(
        "TITLEBAR Old\r\nTITLEBAR デモ|ゲーム\r\nREG_GLOBAL S\r\nINI_FILE g.ini\r\nINI_SECTION s\r\n[EOF]\r\n"
        "[ini]\r\na=1\r\n-\r\n[reg]\r\n\"a\"=\"ソ\"\r\n-\r\n");
    EXPECT_EQ(run.rc, 0);
    // UTF-8 on the terminal, the latest line first, defaults marked.
    EXPECT_NE(run.out.find("line    2  TITLEBAR       \"\xE3\x83\x87\xE3\x83\xA2 \xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0\""),
              std::string::npos) << run.out;
    EXPECT_NE(run.out.find("(hidden by line 2)"), std::string::npos);
    EXPECT_NE(run.out.find("EXENAME       default  \"quolim.exe\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("KEYFILE       default  (none)"), std::string::npos);
    EXPECT_NE(run.out.find("[ini] 1 line:\n    a=1\n"), std::string::npos);
    EXPECT_NE(run.out.find("\"a\"=\"\xE3\x82\xBD\""), std::string::npos);
    EXPECT_NE(run.out.find("No warnings."), std::string::npos) << run.out;
}

TEST(VnpackEnv, OpenSectionStopsTheUpdater) {
    const std::string text = "KEY v\n[ini]\na=1\n-\n[delfiles_user]\nx\n";
    EnvRun run = RunOn(text);
    EXPECT_EQ(run.rc, kExitBadInput);
    EXPECT_NE(run.err.find("section [delfiles_user] is never closed: the updater would stop at start"),
              std::string::npos) << run.err;
    EXPECT_NE(run.err.find("[\xE8\xA8\xAD\xE5\xAE\x9A.env]"), std::string::npos);  // the message, in UTF-8
    char reason[512];
    EXPECT_EQ(CheckEnvForUpdater(reinterpret_cast<const unsigned char*>(text.data()), text.size(), reason, sizeof reason), -1);
    EXPECT_NE(std::string(reason).find("[delfiles_user]"), std::string::npos);
    const std::string closed = text + "-\n";
    EXPECT_EQ(CheckEnvForUpdater(reinterpret_cast<const unsigned char*>(closed.data()), closed.size(), reason, sizeof reason), 0);
    EXPECT_STREQ(reason, "");
    run = RunOn(text, true);
    EXPECT_EQ(run.rc, kExitBadInput);
    EXPECT_NE(run.out.find("\"updaterStops\": {\"section\": \"delfiles_user\""), std::string::npos) << run.out;
}

TEST(VnpackEnv, JsonEscapesAndReplaces) {
    EnvRun run = RunOn("TITLEBAR a\"b\\c\x80\n[ini]\nk=\t\x01v\n-\n", true);
    EXPECT_EQ(run.rc, 0);
    EXPECT_NE(run.out.find("\"TITLEBAR\": {\"value\": \"a\\\"b\\\\c\xEF\xBF\xBD\", \"default\": false, \"line\": 1"),
              std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"ini\": [\"k=\\u0009\\u0001v\"]"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"CHKREGVER\": {\"value\": 0, \"default\": true, \"line\": null"), std::string::npos);
}

TEST(VnpackEnv, BadUsageAndMissingFile) {
    char missing[] = "/nonexistent/install.env";
    char* argv[] = {missing};
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunEnv(1, argv), kExitBadInput);
    EXPECT_EQ(RunEnv(0, argv), kExitUsage);
    char flag[] = "--frob";
    char* bad[] = {missing, flag};
    EXPECT_EQ(RunEnv(2, bad), kExitUsage);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("vnpack: /nonexistent/install.env: cannot open it"), std::string::npos) << err;
}

TEST(Cp932Text, ConvertsAndFlags) {
    struct Case {
        std::string in;
        const char* escaped;
        const char* replaced;
        int invalid;
    } cases[] = {
        {"aポ", "a\xE3\x83\x9D", "a\xE3\x83\x9D", 0},
        {"\xB1", "\xEF\xBD\xB1", "\xEF\xBD\xB1", 0},  // half-width katakana
        {"a\x83", "a\\x83", "a\xEF\xBF\xBD", 1},       // lead byte at the end
        {"\x85\x40", "\\x85@", "\xEF\xBF\xBD@", 1},    // unassigned pair
        {"\xFD", "\\xFD", "\xEF\xBF\xBD", 1},
        {"a\tb", "a\\x09b", "a\tb", 0},
    };
    for (const Case& c : cases) {
        char out[64];
        EXPECT_EQ(Cp932ToUtf8(c.in.data(), c.in.size(), out, sizeof out, kEscapeInvalid), c.invalid) << c.in;
        EXPECT_STREQ(out, c.escaped);
        Cp932ToUtf8(c.in.data(), c.in.size(), out, sizeof out, kReplaceInvalid);
        EXPECT_STREQ(out, c.replaced);
        EXPECT_EQ(IsValidCp932(c.in.data(), c.in.size()), c.invalid == 0);
    }
    char small[5];
    Cp932ToUtf8("abポ", 4, small, sizeof small, kEscapeInvalid);
    EXPECT_STREQ(small, "ab");  // never half a character
}

}  // namespace

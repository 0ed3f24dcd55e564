#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/env_input.h"
#include "vnpack/vnpack.h"

namespace {

// `vnpack env` on bytes written to a file, with args after its path.
VerbRun RunOn(const std::string& bytes, std::vector<std::string> args) {
    char path[] = "/tmp/vnpack_env_transfer_XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
    args.insert(args.begin(), path);
    VerbRun run = RunVerb(RunEnv, args);
    unlink(path);
    return run;
}

const std::string kHead = "REG_GLOBAL S\nREG_LOCAL L\nINI_FILE g.ini\nINI_SECTION s\n[EOF]\n";
// "k=REP_INSTALL" and 480 bytes: written as long as the folder has at most 511 - 482 bytes.
const std::string kLong = "k=REP_INSTALL" + std::string(480, 'x');

TEST(VnpackEnvTransfer, ShowsWhatEachLineWritesAndWhyOthersAreSkipped) {
    const struct {
        std::string env;
        std::vector<std::string> args;
        std::vector<std::string> expected;  // each in stdout
    } cases[] = {
        {kHead + "[ini]\na=b=c\np=REP_INSTALL\\x\nnone\n-\n[reg]\n\"ソ\"=\"REP_INSTALL\\\\y\"\n\"\"=\"d\"\n"
                 "\"a\"=dword:1\n-\n",
         {},
         {"INI file \"g.ini\" (in the Windows folder), section [s]:\n    a = \"b=c\"\n"
          "    p = \"C:\\Games\\Sample\\x\"\n    skipped (no \"=\"): none\n",
          "Registry key HKEY_CURRENT_USER\\Software\\S\\L:\n    \"\xE3\x82\xBD\" = \"C:\\Games\\Sample\\y\"\n"
          "    (default) = \"d\"\n    skipped (no separator",
          "line 9: [ini] line without \"=\": the updater skips it: none", "line 14: [reg] line without the separator"}},
        {kHead + "[ini]\np=REP_INSTALL;REP_CDROMDRIVE\n-\n",
         {"--install-dir", "D:\\\xE3\x82\xB2"},
         {"with the game in \"D:\\\xE3\x82\xB2\" (--install-dir) and E:\\ for the CD-ROM drive",
          "    p = \"D:\\\xE3\x82\xB2;E:\\\"\n", "No warnings."}},
        {kHead + "[ini]\n" + kLong + "\n-\n",
         {},
         {"    k = \"C:\\Games\\Sample" + std::string(480, 'x') + "\"",
          "line 7: [ini] line grows past 511 bytes when the game's folder is longer than 29 bytes"}},
        {kHead + "[ini]\n" + kLong + "\n-\n",
         {"--install-dir", "C:\\" + std::string(26, 'f')},
         {"    k = \"C:\\" + std::string(26, 'f') + std::string(480, 'x') + "\"", "longer than 29 bytes"}},
        {kHead + "[ini]\n" + kLong + "\n-\n",
         {"--install-dir", "C:\\" + std::string(27, 'f')},
         {"    skipped (longer than 511 bytes once the placeholders are filled in): k=REP_INSTALL",
          "line 7: [ini] line longer than 511 bytes once the placeholders are filled in with the game in "}},
        {kHead + "[reg]\n\"=\"x\"\n\"a\"=\"\n-\n",
         {},
         {"line 7: [reg] line the separator \"=\" begins the line, so no name ends at it",
          "line 8: [reg] line nothing after the separator \"=\", so no closing quote to drop"}},
        {"REG_GLOBAL -\n[EOF]\n[reg]\n\"a\"=\"b\"\n-\n",
         {},
         {"INI file \"-\" (in the Windows folder), section [-]: nothing\n",
          "  Registry: nothing (REG_GLOBAL begins with \"-\")\n"}},
    };
    for (const auto& c : cases) {
        VerbRun run = RunOn(c.env, c.args);
        EXPECT_EQ(run.rc, kExitOk) << run.err;
        for (const auto& part : c.expected) EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;
    }
}

TEST(VnpackEnvTransfer, Json) {
    VerbRun run = RunOn(kHead + "[ini]\n" + kLong + "\n-\n[reg]\n\"a\"=dword:1\n-\n", {"--json"});
    EXPECT_EQ(run.rc, kExitOk) << run.err;
    for (const std::string& part : std::vector<std::string>{
             "\"transfer\": {\n    \"installDir\": \"C:\\\\Games\\\\Sample\", \"cdromRoot\": \"E:\\\\\"",
             "\"ini\": {\"file\": \"g.ini\", \"section\": \"s\", \"entries\": [\n      {\"line\": \"k=REP_INSTALL",
             "\"key\": \"k\", \"value\": \"C:\\\\Games\\\\Sample" + std::string(480, 'x') +
                 "\", \"skipped\": null, \"longestFolder\": 29}",
             "\"reg\": {\"key\": \"HKEY_CURRENT_USER\\\\Software\\\\S\\\\L\", \"written\": true",
             "{\"line\": \"\\\"a\\\"=dword:1\", \"name\": null, \"value\": null, \"skipped\": \"no separator",
         }) {
        EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;
    }
}

TEST(VnpackEnvTransfer, InstallDirMustFit) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--install-dir", ""}, {"--install-dir", std::string(260, 'f')}, {"--install-dir"}}) {
        EXPECT_EQ(RunOn("", args).rc, kExitUsage) << args.size();
    }
    EXPECT_EQ(RunOn("", {"--install-dir", std::string(259, 'f')}).rc, kExitOk);
}

}  // namespace

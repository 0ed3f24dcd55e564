#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "payload/payload_format.h"
#include "support/golden_payload.h"
#include "support/payload_capture.h"
#include "support/payload_vnpack.h"
#include "vnpack/vnpack.h"

namespace {

typedef std::vector<std::string> Strings;

// ①㈱髙橋～ in UTF-8: characters Shift_JIS lacks or maps elsewhere (髙 is the IBM extension code
// Windows writes, ～ where Shift_JIS has the wave dash), all in CP932.
const char kCp932Only[] = "\xE2\x91\xA0\xE3\x88\xB1\xE9\xAB\x99\xE6\xA9\x8B\xEF\xBD\x9E.dat";

// Stored blocks (--level 0) make the packer's output comparable byte for byte with the golden payload.
TEST(VnpackBuild, ReproducesTheGoldenPayload) {
    TempDir t;
    WriteFile(t.path + "/in/install.env", "hi", 1674442246, 517555200);
    WriteFile(t.path + "/in/data/sub/x.dat", "abc", 1000000000);
    WriteFile(t.path + "/mz.exe", std::string("MZ\0\0", 4));
    ASSERT_EQ(BuildTestTree(RunBuild, t, "out.exe", {"--stub", t.path + "/mz.exe", "--level", "0"}).rc, 0);
    EXPECT_EQ(ReadFile(t.path + "/out.exe"), std::string(kGoldenPayload.begin(), kGoldenPayload.end()));
}

// Trees and options vnpack must refuse or warn about, and the ones the stop folder or --force mend.
TEST(VnpackBuild, RefusesTreesTheProgramCouldNotUse) {
    const std::string d100(100, 'd');
    const std::string openSection = "TITLEBAR demo\r\n[reg]\r\n\"a\"=\"b\"\r\n";
    struct Case {
        const char* what;
        Strings files;
        Strings extra;
        int rc;
        std::string err;
        std::string env = "x";
        Strings links = {};  // "NAME>TARGET" under in/; a followed one is packed under NAME
    } cases[] = {
        {"no install.env", {"readme.txt"}, {}, 2, "no install.env"},
        {"setup file in a folder", {"install.env", "doc/read.txt"}, {}, 2, "doc/read.txt: start-up would extract"},
        {"stop folder mends it", {"install.env", "doc/read.txt"}, {"--add-stop-folder", "doc\\stop"}, 0, ""},
        {"stop folder with a slash", {"install.env", "doc/read.txt"}, {"--add-stop-folder", "new/stop"}, 0, ""},
        {"bad stop folder", {"install.env"}, {"--add-stop-folder", "single"}, 1, "NAME\\SUB"},
        {"deep folder already there", {"install.env", "doc/read.txt", "bg/ev/a.bin"}, {}, 0, ""},
        {"backslash in a name", {"install.env", "a\\b.dat"}, {}, 2, "a\\b.dat: the name holds a character"},
        {"not CP932", {"install.env", "\xF0\x9F\x98\x80.dat"}, {}, 2, "cannot be written in CP932"},
        {"so-dot-dot folder", {"install.env", "\xE3\x82\xBD../x.dat"}, {}, 2, "would refuse this name"},
        {"over 259 bytes", {"install.env", d100 + "/" + d100 + "/" + std::string(60, 'f')}, {}, 2, "over 259"},
        {"little room left", {"install.env", d100 + "/" + std::string(70, 'f')}, {}, 0, "warning"},
        {"names that differ in case", {"install.env", "d/Voice.ogg", "d/voice.ogg"}, {}, 2, "only in case"},
        {"INSTALL.ENV", {"INSTALL.ENV"}, {}, 2, "/in/INSTALL.ENV: start-up looks for install.env"},
        {"Insttscr.RCT", {"install.env", "Insttscr.RCT"}, {}, 2, "/in/Insttscr.RCT: start-up looks for insttscr.rct"},
        {"setup-like names in a folder keep their case", {"install.env", "d/INSTALL.ENV", "d/Insttscr.RCT"}, {}, 0, ""},
        {"level out of range", {"install.env"}, {"--level", "13"}, 1, "--level"},
        {"missing stub", {"install.env"}, {"--stub", "/nonexistent/vnupdate.exe"}, 1, "cannot read the stub"},
        {"env the updater stops on", {"install.env"}, {}, 2, "install.env: section [reg] is never closed", openSection},
        {"forced", {"install.env"}, {"--force"}, 0, "install.env: warning: section [reg] is never closed", openSection},
        {"a file link", {"install.env", "d/x.dat"}, {}, 2, "in/l.dat: a symbolic link", "x", {"l.dat>d/x.dat"}},
        {"links followed", {"install.env", "d/x.dat"}, {"--follow-links"}, 0, "", "x", {"l.dat>d/x.dat", "e>d"}},
        {"a link out of the tree", {"install.env"}, {"--follow-links"}, 2, "outside", "x", {"l.dat>/etc/passwd"}},
        {"a link to its own folder",
         {"install.env", "d/x.dat"},
         {"--follow-links"},
         2,
         "in/d/up: a symbolic link to a folder",
         "x",
         {"d/up>.."}},
    };
    for (const Case& c : cases) {
        TempDir t;
        for (const std::string& f : c.files) WriteFile(t.path + "/in/" + f, f == "install.env" ? c.env : "x");
        for (const std::string& l : c.links) {
            ASSERT_EQ(symlink(l.substr(l.find('>') + 1).c_str(), (t.path + "/in/" + l.substr(0, l.find('>'))).c_str()), 0);
        }
        VerbRun r = BuildTestTree(RunBuild, t, "out.exe", c.extra);
        EXPECT_EQ(r.rc, c.rc) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.what << ": " << r.err;
        EXPECT_EQ(TestPathExists(t.path + "/out.exe"), c.rc == 0) << c.what;
        if (c.rc == 0) {
            EXPECT_EQ(RunVerb(RunTest, {t.path + "/out.exe"}).rc, 0) << c.what;
            std::string names = ";";
            for (const Listed& l : ReadRecords(t.path + "/out.exe")) names += l.name + ";";
            EXPECT_TRUE(c.links.empty() || (names.find(";l.dat;") + 1 && names.find(";e\\x.dat;") + 1)) << names;
        }
    }
}

// Build, then extract in both modes: the same bytes, folders and last-write times (to 100 ns). The
// records come in the order start-up relies on: top-level files, every folder (parents first, bytes
// compared unsigned), then the files inside folders.
TEST(VnpackRoundTrip, ExtractGivesBackTheTreeInStartUpOrder) {
    TempDir t;
    const std::string dataDir = "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF";  // データ
    struct File {
        std::string name;
        std::string data;
        long ns;
    } files[] = {
        {"install.env", "TITLEBAR=\x83\x5C\r\n", 123456789},
        {"insttscr.rct", MakeTestPattern(5000, 1), 0},
        {"readme.txt", "read me", 999999999},
        {"empty.dat", "", 0},
        {dataDir + "/block.bin", MakeTestPattern(kPayloadBlockBytes, 2), 500},
        {dataDir + "/\xE3\x82\xBD/big.bin", MakeTestPattern(3 * kPayloadBlockBytes + 17, 3), 100},  // データ/ソ
        {"docs/notes.txt", "inside a folder", 0},
        {kCp932Only, "names only CP932 can write", 0},
    };
    int64_t seconds = 1500000000;
    for (const File& f : files) WriteFile(t.path + "/in/" + f.name, f.data, seconds++, f.ns);
    ASSERT_EQ(system(("mkdir '" + t.path + "/in/empty'").c_str()), 0);
    // A stop folder whose last character ends in 0x5C is still a folder record.
    ASSERT_EQ(BuildTestTree(RunBuild, t, "out.exe", {"--level", "1", "--add-stop-folder", "docs/\xE3\x82\xBD"}).rc, 0);
    Strings names;
    for (const Listed& r : ReadRecords(t.path + "/out.exe")) names.push_back(r.name);
    EXPECT_EQ(names, (Strings{"empty.dat", "install.env", "insttscr.rct", "readme.txt",
                              "\x87\x40\x87\x8A\xFB\xFC\x8B\xB4\x81\x60.dat", "docs\\", "docs\\ソ\\", "empty\\", "データ\\",
                              "データ\\ソ\\", "docs\\notes.txt", "データ\\block.bin", "データ\\ソ\\big.bin"}));
    EXPECT_NE(RunVerb(RunList, {t.path + "/out.exe"}).out.find(kCp932Only), std::string::npos);
    ASSERT_EQ(RunVerb(RunExtract, {t.path + "/out.exe", t.path + "/all"}).rc, 0);
    ASSERT_EQ(RunVerb(RunExtract, {t.path + "/out.exe", t.path + "/setup", "--setup"}).rc, 0);
    for (const File& f : files) {
        EXPECT_EQ(ReadFile(t.path + "/all/" + f.name), f.data) << f.name;
        EXPECT_EQ(GetTestFileTime(t.path + "/all/" + f.name), GetTestFileTime(t.path + "/in/" + f.name) / 100 * 100)
            << f.name;
        bool setup = f.name.find('/') == std::string::npos && f.name.find(".dat") == std::string::npos;
        EXPECT_EQ(ReadFile(t.path + "/setup/" + f.name), setup ? f.data : "<missing>") << f.name;
    }
    EXPECT_TRUE(TestPathExists(t.path + "/all/empty"));
    EXPECT_FALSE(TestPathExists(t.path + "/setup/docs"));  // start-up creates no folders
}

// Times later than SOURCE_DATE_EPOCH are clamped to it, so that a tree built again gives the same bytes.
TEST(VnpackBuild, ClampsTimesLaterThanTheSourceDateEpoch) {
    TempDir t;
    WriteFile(t.path + "/in/install.env", "x", 1000, 5);
    WriteFile(t.path + "/in/late.dat", "late", 2000, 7);
    EXPECT_NE(BuildTestTree(RunBuild, t, "0.exe", {"--threads", "0"}).err.find("--threads takes 1 to 64"),
              std::string::npos);
    setenv("SOURCE_DATE_EPOCH", "15x", 1);
    EXPECT_EQ(BuildTestTree(RunBuild, t, "d.exe").rc, 1);  // not a count of seconds
    setenv("SOURCE_DATE_EPOCH", "1500", 1);
    VerbRun r = BuildTestTree(RunBuild, t, "c.exe");
    unsetenv("SOURCE_DATE_EPOCH");
    ASSERT_EQ(r.rc, 0);
    std::vector<Listed> recs = ReadRecords(t.path + "/c.exe");
    ASSERT_EQ(recs.size(), 2u);
    const uint64_t k1970 = 116444736000000000ull;
    EXPECT_EQ(recs[0].time, k1970 + 1000 * 10000000ull);  // earlier than the epoch: kept (5 ns is below 100 ns)
    EXPECT_EQ(recs[1].time, k1970 + 1500 * 10000000ull);  // later: clamped
}

// test and list on payloads vnpack would never write; list reads headers only.
TEST(VnpackTest, NamesTheFirstBadRecord) {
    struct Case {
        const char* what;
        Strings recs;
        int rc;
        std::string err;
        int listRc;
        bool badLast = false;  // the last record's stream is damaged
    } cases[] = {
        {"no install.env", {"a.dat"}, 2, "would not find install.env", 0},
        {"climbs out", {"install.env", "a.dat", "..\\x.dll"}, 2, "record '..\\x.dll': unsafe", 2},
        {"setup file in a folder", {"install.env", "a.dat", "doc\\a.txt"}, 2, "'doc\\a.txt': setup file inside a folder", 0},
        {"bad stream", {"install.env", "a.dat", "bad.dat"}, 2, "record 'bad.dat': damaged", 0, true},
    };
    for (const Case& c : cases) {
        TempDir t;
        TestFileFaults faults;
        faults.badAdler = c.badLast;
        ASSERT_TRUE(SaveTestBytes(MakeNamedPayload(c.recs, faults), t.path + "/u.exe"));
        VerbRun r = RunVerb(RunTest, {t.path + "/u.exe"});
        EXPECT_EQ(r.rc, c.rc) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.what << ": " << r.err;
        VerbRun l = RunVerb(RunList, {t.path + "/u.exe"});
        EXPECT_EQ(l.rc, c.listRc) << c.what;
        EXPECT_NE(l.out.find("a.dat"), std::string::npos) << c.what;
    }
}

// A certificate table over the payload is damage to every verb that reads an updater.
TEST(VnpackTest, RefusesACertificateTableOverThePayload) {
    TempDir t;
    TestPayload p;
    BeginTestPe(&p, false);
    AddTestFile(&p, "install.env", "x");
    EndTestPayload(&p);
    SetTestCertEntry(&p.bytes, false, p.start, 16);
    const std::string path = t.path + "/u.exe";
    ASSERT_TRUE(SaveTestBytes(p.bytes, path));
    const struct {
        int (*verb)(int, char**);
        Strings args;
    } runs[] = {{RunTest, {path}}, {RunList, {path}}, {RunExtract, {path, t.path + "/x"}}, {RunSign, {path, "--remove"}}};
    for (const auto& run : runs) {
        VerbRun r = RunVerb(run.verb, run.args);
        EXPECT_EQ(r.rc, 2) << run.args.size();
        EXPECT_NE(r.err.find(path + ": the certificate table lies outside the file or over the payload"), std::string::npos)
            << r.err;
    }
    EXPECT_EQ(ReadFile(path), std::string(p.bytes.begin(), p.bytes.end()));
}

}  // namespace

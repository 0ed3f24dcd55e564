#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "payload/payload_format.h"
#include "support/payload_writer.h"
#include "support/test_files.h"
#include "unit/golden_payload.h"

int RunBuild(int argc, char** argv);
int RunList(int argc, char** argv);
int RunTest(int argc, char** argv);
int RunExtract(int argc, char** argv);

namespace {

typedef int (*VerbFn)(int, char**);

struct VerbRun {
    int rc;
    std::string out;
    std::string err;
};

VerbRun RunVerb(VerbFn verb, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int rc = verb(static_cast<int>(argv.size()), argv.data());
    fflush(stdout);
    VerbRun r{rc, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
    return r;
}

std::string Stub(const TempDir& t) {
    std::string stub = t.path + "/stub.exe";
    WriteFile(stub, "MZ-stub");
    return stub;
}

// Stored blocks (--level 0) make the packer's output comparable byte for byte with the golden payload.
TEST(VnpackBuild, ReproducesTheGoldenPayload) {
    TempDir t;
    WriteFile(t.path + "/in/install.env", "hi", 1674442246, 517555200);
    WriteFile(t.path + "/in/data/sub/x.dat", "abc", 1000000000);
    WriteFile(t.path + "/stub.exe", std::string("MZ\0\0", 4));
    std::string exe = t.path + "/out.exe";
    ASSERT_EQ(RunVerb(RunBuild, {t.path + "/in", "-o", exe, "--stub", t.path + "/stub.exe", "--level", "0"}).rc, 0);
    EXPECT_EQ(ReadFile(exe), std::string(kGoldenPayload.begin(), kGoldenPayload.end()));
}

TEST(VnpackBuild, OrdersTopFilesThenFoldersThenInnerFiles) {
    TempDir t;
    for (const char* f : {"readme.txt", "install.env", "b.dat", "z/y.dat", "a/x.dat", "a/b/c.txt"}) {
        WriteFile(t.path + "/in/" + f, f);
    }
    system(("mkdir -p '" + t.path + "/in/empty'").c_str());
    std::string exe = t.path + "/out.exe";
    ASSERT_EQ(RunVerb(RunBuild, {t.path + "/in", "-o", exe, "--stub", Stub(t)}).rc, 0);
    std::vector<std::string> names;
    for (const Listed& r : ReadRecords(exe)) names.push_back(r.name);
    EXPECT_EQ(names, (std::vector<std::string>{"b.dat", "install.env", "readme.txt", "a\\", "a\\b\\", "empty\\", "z\\",
                                               "a\\b\\c.txt", "a\\x.dat", "z\\y.dat"}));
}

// Trees vnpack must refuse, and the one the stop folder mends.
TEST(VnpackBuild, RefusesTreesTheProgramCouldNotUse) {
    std::string longDir(100, 'd');
    struct Case {
        const char* what;
        std::vector<std::string> files;
        std::vector<std::string> extra;
        int rc;
        std::string err;
    } cases[] = {
        {"no install.env", {"readme.txt"}, {}, 2, "no install.env"},
        {"setup file in a folder", {"install.env", "doc/read.txt"}, {}, 2, "doc/read.txt: start-up would extract"},
        {"stop folder mends it", {"install.env", "doc/read.txt"}, {"--add-stop-folder", "doc\\stop"}, 0, ""},
        {"stop folder with a slash", {"install.env", "doc/read.txt"}, {"--add-stop-folder", "new/stop"}, 0, ""},
        {"bad stop folder", {"install.env"}, {"--add-stop-folder", "single"}, 1, "NAME\\SUB"},
        {"deep folder already there", {"install.env", "doc/read.txt", "bg/ev/a.bin"}, {}, 0, ""},
        {"colon", {"install.env", "a:b.dat"}, {}, 2, "a:b.dat: the name holds a character"},
        {"backslash in a name", {"install.env", "a\\b.dat"}, {}, 2, "a\\b.dat: the name holds a character"},
        {"not CP932", {"install.env", "\xF0\x9F\x98\x80.dat"}, {}, 2, "cannot be written in CP932"},
        {"so-dot-dot folder", {"install.env", "\xE3\x82\xBD../x.dat"}, {}, 2, "would refuse this name"},
        {"over 259 bytes", {"install.env", longDir + "/" + longDir + "/" + std::string(60, 'f')}, {}, 2, "over 259"},
        {"names that differ in case", {"install.env", "d/Voice.ogg", "d/voice.ogg"}, {}, 2, "only in case"},
        {"level out of range", {"install.env"}, {"--level", "13"}, 1, "--level"},
    };
    for (const Case& c : cases) {
        TempDir t;
        for (const std::string& f : c.files) WriteFile(t.path + "/in/" + f, "x");
        std::vector<std::string> args = {t.path + "/in", "-o", t.path + "/out.exe", "--stub", Stub(t)};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        VerbRun r = RunVerb(RunBuild, args);
        EXPECT_EQ(r.rc, c.rc) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.what << ": " << r.err;
        struct stat st;
        EXPECT_EQ(stat((t.path + "/out.exe").c_str(), &st) == 0, c.rc == 0) << c.what;
        if (c.rc == 0) {
            EXPECT_EQ(RunVerb(RunTest, {t.path + "/out.exe"}).rc, 0) << c.what;
        }
    }
}

TEST(VnpackBuild, RefusesAnInstallEnvTheUpdaterWouldStopOn) {
    for (bool force : {false, true}) {
        TempDir t;
        WriteFile(t.path + "/in/install.env", "TITLEBAR demo\r\n[reg]\r\n\"a\"=\"b\"\r\n");
        std::vector<std::string> args = {t.path + "/in", "-o", t.path + "/out.exe", "--stub", Stub(t)};
        if (force) args.push_back("--force");
        VerbRun r = RunVerb(RunBuild, args);
        EXPECT_EQ(r.rc, force ? 0 : 2) << r.err;
        EXPECT_NE(r.err.find("install.env: " + std::string(force ? "warning: " : "") + "section [reg] is never closed"),
                  std::string::npos)
            << r.err;
        struct stat st;
        EXPECT_EQ(stat((t.path + "/out.exe").c_str(), &st) == 0, force);
    }
}

TEST(VnpackBuild, WarnsWhenANameLeavesLittleRoomForTheInstallFolder) {
    TempDir t;
    WriteFile(t.path + "/in/install.env", "x");
    WriteFile(t.path + "/in/" + std::string(100, 'd') + "/" + std::string(70, 'f'), "x");
    VerbRun r = RunVerb(RunBuild, {t.path + "/in", "-o", t.path + "/out.exe", "--stub", Stub(t)});
    EXPECT_EQ(r.rc, 0);
    EXPECT_NE(r.err.find("warning"), std::string::npos) << r.err;
}

TEST(VnpackBuild, MissingStubFailsCleanly) {
    TempDir t;
    WriteFile(t.path + "/in/install.env", "x");
    VerbRun r = RunVerb(RunBuild, {t.path + "/in", "-o", t.path + "/out.exe", "--stub", t.path + "/none.exe"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find("cannot read the stub"), std::string::npos);
    EXPECT_NE(access((t.path + "/out.exe").c_str(), F_OK), 0);
}

// Build, then extract in both modes: the same bytes, folders and last-write times (to 100 ns).
TEST(VnpackRoundTrip, ExtractGivesBackTheTree) {
    TempDir t;
    struct File {
        std::string name;
        std::string data;
        long ns;
    } files[] = {
        {"install.env", "TITLEBAR=\x83\x5C\r\n", 123456789},
        {"insttscr.rct", MakeTestPattern(5000, 1), 0},
        {"readme.txt", "read me", 999999999},
        {"empty.dat", "", 0},
        {"\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF/block.bin", MakeTestPattern(kPayloadBlockBytes, 2), 500},  // データ
        {"\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF/\xE3\x82\xBD/big.bin", MakeTestPattern(3 * kPayloadBlockBytes + 17, 3), 100},  // データ/ソ
        {"docs/notes.txt", "inside a folder", 0},
    };
    int64_t seconds = 1500000000;
    for (const File& f : files) WriteFile(t.path + "/in/" + f.name, f.data, seconds++, f.ns);
    std::string exe = t.path + "/out.exe";
    ASSERT_EQ(RunVerb(RunBuild, {t.path + "/in", "-o", exe, "--stub", Stub(t), "--level", "1"}).rc, 0);
    ASSERT_EQ(RunVerb(RunExtract, {exe, t.path + "/all"}).rc, 0);
    ASSERT_EQ(RunVerb(RunExtract, {exe, t.path + "/setup", "--setup"}).rc, 0);
    for (const File& f : files) {
        std::string all = t.path + "/all/" + f.name;
        EXPECT_EQ(ReadFile(all), f.data) << f.name;
        struct stat in, out;
        ASSERT_EQ(stat((t.path + "/in/" + f.name).c_str(), &in), 0);
        ASSERT_EQ(stat(all.c_str(), &out), 0) << f.name;
        EXPECT_EQ(out.st_mtim.tv_sec, in.st_mtim.tv_sec) << f.name;
        EXPECT_EQ(out.st_mtim.tv_nsec, in.st_mtim.tv_nsec / 100 * 100) << f.name;
        bool setup = f.name.find('/') == std::string::npos && f.name.find(".dat") == std::string::npos;
        EXPECT_EQ(ReadFile(t.path + "/setup/" + f.name), setup ? f.data : "<missing>") << f.name;
    }
    struct stat st;
    EXPECT_NE(stat((t.path + "/setup/docs").c_str(), &st), 0);  // start-up creates no folders
}

TEST(VnpackBuild, SameInputGivesTheSameBytesAndClampsLaterTimes) {
    TempDir t;
    WriteFile(t.path + "/in/install.env", "x", 1000, 5);
    WriteFile(t.path + "/in/late.dat", MakeTestPattern(1000, 4), 2000, 7);
    std::string stub = Stub(t);
    ASSERT_EQ(RunVerb(RunBuild, {t.path + "/in", "-o", t.path + "/a.exe", "--stub", stub}).rc, 0);
    ASSERT_EQ(RunVerb(RunBuild, {t.path + "/in", "-o", t.path + "/b.exe", "--stub", stub}).rc, 0);
    EXPECT_EQ(ReadFile(t.path + "/a.exe"), ReadFile(t.path + "/b.exe"));
    setenv("SOURCE_DATE_EPOCH", "1500", 1);
    VerbRun r = RunVerb(RunBuild, {t.path + "/in", "-o", t.path + "/c.exe", "--stub", stub});
    setenv("SOURCE_DATE_EPOCH", "15x", 1);
    VerbRun bad = RunVerb(RunBuild, {t.path + "/in", "-o", t.path + "/d.exe", "--stub", stub});
    unsetenv("SOURCE_DATE_EPOCH");
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(bad.rc, 1);
    std::vector<Listed> recs = ReadRecords(t.path + "/c.exe");
    ASSERT_EQ(recs.size(), 2u);
    const uint64_t k1970 = 116444736000000000ull;
    EXPECT_EQ(recs[0].time, k1970 + 1000 * 10000000ull);  // earlier than the epoch: kept (5 ns is below 100 ns)
    EXPECT_EQ(recs[1].time, k1970 + 1500 * 10000000ull);  // later: clamped
}

// test and list on payloads vnpack would never write.
TEST(VnpackTest, NamesTheFirstBadRecord) {
    struct Case {
        const char* what;
        bool env;
        std::string bad;
        int rc;
        std::string err;
        int listRc;  // list reads headers only
    } cases[] = {
        {"good", true, "", 0, "", 0},
        {"no install.env", false, "", 2, "would not find install.env", 0},
        {"climbs out", true, "..\\x.dll", 2, "record '..\\x.dll': unsafe", 2},
        {"setup file in a folder", true, "doc\\a.txt", 2, "record 'doc\\a.txt': setup file inside a folder", 0},
        {"bad stream", true, "bad.dat", 2, "record 'bad.dat': damaged", 0},
    };
    for (const Case& c : cases) {
        TempDir t;
        TestPayload p;
        BeginTestPayload(&p);
        if (c.env) AddTestFile(&p, "install.env", "x");
        AddTestFile(&p, "a.dat", "a");
        if (!c.bad.empty()) {
            TestFileFaults faults;
            faults.badAdler = c.bad == "bad.dat";
            AddTestFile(&p, c.bad, "payload", 0x01D0000000000000ull, faults);
        }
        EndTestPayload(&p);
        std::string exe = t.path + "/u.exe";
        ASSERT_TRUE(SaveTestBytes(p.bytes, exe));
        VerbRun r = RunVerb(RunTest, {exe});
        EXPECT_EQ(r.rc, c.rc) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.what << ": " << r.err;
        VerbRun l = RunVerb(RunList, {exe});
        EXPECT_EQ(l.rc, c.listRc) << c.what;
        EXPECT_NE(l.out.find("a.dat"), std::string::npos);
    }
}

}  // namespace

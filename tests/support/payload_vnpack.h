#pragma once
// Runs vnpack's payload verbs in-process on folders the test writes.
#include <cstdint>
#include <string>
#include <vector>

#include "support/test_files.h"

int RunBuild(int argc, char** argv);
int RunList(int argc, char** argv);
int RunTest(int argc, char** argv);
int RunExtract(int argc, char** argv);

typedef int (*VerbFn)(int, char**);

struct VerbRun {
    int rc;
    std::string out;
    std::string err;
};

// Runs a verb with args, capturing what it prints.
VerbRun RunVerb(VerbFn verb, std::vector<std::string> args);

// Runs build (vnpack's RunBuild, passed in so that this library needs none of vnpack) on t's folder
// "in" into t.path + "/" + out behind a stand-in stub, then extra (a later --stub replaces the stand-in).
VerbRun BuildTestTree(VerbFn build, const TempDir& t, const std::string& out,
                      const std::vector<std::string>& extra = {});

// Whether path names an existing file or folder.
bool TestPathExists(const std::string& path);
// The last-write time of path in nanoseconds since 1970, or -1 when it is missing.
int64_t GetTestFileTime(const std::string& path);

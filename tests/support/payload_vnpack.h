#pragma once
// Builds updaters with vnpack's verbs in-process from folders the test writes.
#include <cstdint>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "support/verb_run.h"

// Runs build (vnpack's RunBuild, passed in so that this library needs none of vnpack) on t's folder
// "in" into t.path + "/" + out behind a stand-in stub, then extra (a later --stub replaces the stand-in).
VerbRun BuildTestTree(int (*build)(int, char**), const TempDir& t, const std::string& out,
                      const std::vector<std::string>& extra = {});

// Whether path names an existing file or folder.
bool TestPathExists(const std::string& path);
// The last-write time of path in nanoseconds since 1970, or -1 when it is missing.
int64_t GetTestFileTime(const std::string& path);

#include "support/verb_run.h"

#include <gtest/gtest.h>

#include <cstdio>

VerbRun RunVerb(int (*verb)(int, char**), std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int rc = verb(static_cast<int>(args.size()), argv.data());
    fflush(stdout);
    VerbRun r{rc, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
    return r;
}

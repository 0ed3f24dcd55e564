#pragma once
// Runs one of vnpack's verbs in-process, as `vnpack VERB ARGS...` would, capturing what it prints.
// The verb is passed in (declared in vnpack/vnpack.h), so this library needs none of vnpack.
#include <string>
#include <vector>

struct VerbRun {
    int rc;
    std::string out;
    std::string err;
};

VerbRun RunVerb(int (*verb)(int, char**), std::vector<std::string> args);

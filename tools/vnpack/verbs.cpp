#include "vnpack/vnpack.h"

int RunEnv(int argc, char** argv);

// Each verb adds its line here; the order is the order of --help.
const Verb kVerbs[] = {
    {"env", "FILE [--json]", "show how the updater reads an install.env, and warn about its traps", RunEnv},
    {nullptr, nullptr, nullptr, nullptr},
};

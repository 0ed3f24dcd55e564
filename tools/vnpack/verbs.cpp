#include "vnpack/vnpack.h"

int RunRct(int argc, char** argv);

// Each verb adds its line here; the order is the order of --help.
const Verb kVerbs[] = {
    {"rct", "encode IN.png OUT.rct [--name TEXT] | decode IN.rct OUT.png",
     "converts a picture between PNG and RCT (a name is stored as CP932)", RunRct},
    {nullptr, nullptr, nullptr, nullptr},
};

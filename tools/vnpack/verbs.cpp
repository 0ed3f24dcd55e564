#include "vnpack/vnpack.h"

// Each verb adds its line here; the order is the order of --help.
const Verb kVerbs[] = {
    {nullptr, nullptr, nullptr, nullptr},
};

// The command line, the same on every host; main_posix.cpp and main_win.cpp only hand it over.
#include <cstdio>
#include <cstring>

#include "common/alloc_host.h"
#include "vnpack/vnpack.h"

static void PrintHelp(FILE* out) {
    fputs(
        "usage: vnpack VERB [ARGS]\n"
        "Builds and inspects self-extracting game updaters.\n\n"
        "verbs:\n",
        out);
    for (const Verb* v = kVerbs; v->name; ++v) {
        fprintf(out, "  %s %s\n      %s\n", v->name, v->usage, v->summary);
    }
    fputs(
        "\noptions:\n  --help     show this text\n  --version  show the version\n\n"
        "exit codes: 0 success, 1 bad usage or internal error, 2 bad input\n",
        out);
}

static void ReportNoMemory(size_t size) { Fail(kExitUsage, nullptr, "out of memory (%zu bytes)", size); }

int RunVnpack(int argc, char** argv) {
    SetAllocFailureReport(ReportNoMemory);
    if (argc < 2) {
        PrintHelp(stderr);
        return kExitUsage;
    }
    const char* first = argv[1];
    if (strcmp(first, "--help") == 0 || strcmp(first, "-h") == 0) {
        PrintHelp(stdout);
        return kExitOk;
    }
    if (strcmp(first, "--version") == 0) {
        printf("vnpack %s\n", VNPACK_VERSION);
        return kExitOk;
    }
    const Verb* verb = FindVerb(first);
    if (!verb) return Fail(kExitUsage, nullptr, "unknown verb '%s' (see vnpack --help)", first);
    return verb->run(argc - 2, argv + 2);
}

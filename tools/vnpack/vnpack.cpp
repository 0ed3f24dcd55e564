// The message helpers live in the library with the verbs, so tests can run a verb in-process.
#include "vnpack/vnpack.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

int Fail(int code, const char* file, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    fputs("vnpack: ", stderr);
    if (file) fprintf(stderr, "%s: ", file);
    vfprintf(stderr, fmt, args);
    fputc('\n', stderr);
    va_end(args);
    return code;
}

int UsageError(const char* verbName) {
    for (const Verb* v = kVerbs; v->name; ++v) {
        if (strcmp(v->name, verbName) == 0) fprintf(stderr, "usage: vnpack %s %s\n", v->name, v->usage);
    }
    return kExitUsage;
}

// The shared pieces of the verbs; they live in the library so tests can run a verb in-process.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "vnpack/vnpack.h"

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

const Verb* FindVerb(const char* name) {
    for (const Verb* v = kVerbs; v->name; ++v) {
        if (strcmp(v->name, name) == 0) return v;
    }
    return nullptr;
}

int UsageError(const char* verbName) {
    const Verb* v = FindVerb(verbName);
    if (v) fprintf(stderr, "usage: vnpack %s %s\n", v->name, v->usage);
    return kExitUsage;
}

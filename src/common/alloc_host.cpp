#include <cstdio>
#include <cstdlib>

#include "common/alloc.h"

static long s_calls;
static long s_failAt;

long SetAllocFault(long nth) {
    long calls = s_calls;
    s_calls = 0;
    s_failAt = nth;
    return calls;
}

void* AllocChecked(size_t size) {
    void* block = ++s_calls == s_failAt ? nullptr : malloc(size);
    if (!block) fprintf(stderr, "vnpack: out of memory (%zu bytes)\n", size);
    return block;
}

void FreeChecked(void* block) { free(block); }

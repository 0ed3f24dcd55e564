#include "common/alloc_host.h"

#include <cstdio>
#include <cstdlib>

#include "common/alloc.h"

static void (*s_report)(size_t size);
static long s_calls;
static long s_failAt;

void SetAllocFailureReport(void (*report)(size_t size)) { s_report = report; }

long SetAllocFault(long nth) {
    long calls = s_calls;
    s_calls = 0;
    s_failAt = nth;
    return calls;
}

void* AllocChecked(size_t size) {
    void* block = ++s_calls == s_failAt ? nullptr : malloc(size);
    if (!block) {
        if (s_report) {
            s_report(size);
        } else {
            fprintf(stderr, "out of memory (%zu bytes)\n", size);
        }
    }
    return block;
}

void FreeChecked(void* block) { free(block); }

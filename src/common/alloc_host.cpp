#include "common/alloc_host.h"

#include <cstdio>
#include <cstdlib>

#include "common/alloc.h"

static void (*s_report)(size_t size);

void SetAllocFailureReport(void (*report)(size_t size)) { s_report = report; }

void* AllocChecked(size_t size) {
    void* block = malloc(size);
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

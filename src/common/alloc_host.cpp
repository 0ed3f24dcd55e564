#include <cstdio>
#include <cstdlib>

#include "common/alloc.h"

void* AllocChecked(size_t size) {
    void* block = malloc(size);
    if (!block) fprintf(stderr, "vnpack: out of memory (%zu bytes)\n", size);
    return block;
}

void FreeChecked(void* block) { free(block); }

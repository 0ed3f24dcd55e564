#pragma once
// The one service portable code may call. AllocChecked returns a block from the process heap, or
// null after warning the user (the program shows its memory message; natively it goes to stderr).
// Blocks are released with FreeChecked.
#include <cstddef>

void* AllocChecked(size_t size);
void FreeChecked(void* block);

// Native builds only, for fault-injecting tests: makes the nth AllocChecked from now on fail (0:
// none fails) and returns how many calls were made since the previous SetAllocFault.
long SetAllocFault(long nth);

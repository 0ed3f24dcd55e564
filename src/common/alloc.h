#pragma once
// The one service portable code may call. AllocChecked returns a block from the process heap, or
// null after warning the user (the program shows its memory message; natively it goes to stderr).
// Blocks are released with FreeChecked.
#include <cstddef>

void* AllocChecked(size_t size);
void FreeChecked(void* block);

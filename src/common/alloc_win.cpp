#include <windows.h>

#include "common/alloc.h"

void* AllocChecked(size_t size) {
    void* block = HeapAlloc(GetProcessHeap(), 0, size);
    // No owner, no clipboard copy and no foreground change: the heap is exhausted, so say only
    // what must be said. A wide literal, so the box needs no conversion (and no memory) of its own.
    if (!block) MessageBoxW(nullptr, L"メモリ容量が不足しています。処理を中断します。", L"malloc", MB_ICONERROR);
    return block;
}

void FreeChecked(void* block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

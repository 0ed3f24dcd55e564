#include <windows.h>

#include "common/alloc.h"

void* AllocChecked(size_t size) {
    void* block = HeapAlloc(GetProcessHeap(), 0, size);
    if (!block) MessageBoxA(nullptr, "メモリ容量が不足しています。処理を中断します。", "malloc", MB_ICONERROR);
    return block;
}

void FreeChecked(void* block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

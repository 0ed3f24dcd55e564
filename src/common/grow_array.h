#pragma once
// The one growing array: items of itemSize bytes in a block from AllocChecked, count of them used
// out of *capacity. The caller keeps the three and frees *items with FreeChecked.
#include <cstddef>

// Makes room for one more item, doubling the block (64 items at first) when it is full. Returns 0,
// or -1 when no larger block could be had (AllocChecked has reported it; *items is unchanged).
int GrowArray(void** items, size_t count, size_t* capacity, size_t itemSize);

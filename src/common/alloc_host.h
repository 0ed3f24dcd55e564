#pragma once
// The native side of AllocChecked: a host program says how a failed allocation is reported, so
// that only the program prints its own name. Without a reporter the size goes to stderr unnamed.
#include <cstddef>

void SetAllocFailureReport(void (*report)(size_t size));

#pragma once
// The native side of AllocChecked: a host program says how a failed allocation is reported, so
// that only the program prints its own name. Without a reporter the size goes to stderr unnamed.
#include <cstddef>

void SetAllocFailureReport(void (*report)(size_t size));

// For fault-injecting tests: makes the nth AllocChecked from now on fail (0: none fails) and
// returns how many calls were made since the previous SetAllocFault.
long SetAllocFault(long nth);

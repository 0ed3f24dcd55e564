#pragma once
// Guarded file access: opens are serialised by one lock, created on first use.
#include <cstdio>

// Opens name with mode ("rt" or "rb"), asking Retry/Cancel until it opens; never returns null
// (Cancel ends the process with -1). The caller closes the stream.
FILE* OpenGuarded(const char* name, const char* mode);

// True when name can be opened for reading.
bool FileExists(const char* name);

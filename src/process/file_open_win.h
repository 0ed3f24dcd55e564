#pragma once
// Opening files the player may have to put right.
#include <cstdio>

// Opens name with mode ("rt" or "rb"), asking Retry/Cancel until it opens. Returns the stream, which
// the caller closes, or null when the player chose Cancel (the run then ends with -1).
FILE* OpenGuarded(const char* name, const char* mode);

// True when name can be opened for reading.
bool FileExists(const char* name);

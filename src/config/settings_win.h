#pragma once
// The program's loader of the setting table; the table and its lookups are in settings.h.
#include "config/settings.h"

// Opens path with OpenGuarded and parses it, ending the process with -1 when memory runs out.
// Returns 0, or -1 when no file was obtained.
int LoadSettings(const char* path);

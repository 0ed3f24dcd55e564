#pragma once
// The program's loader of the section lists; the lists are in sections.h.
#include "config/sections.h"

// Parses path. Returns 0 when every section was closed, otherwise kRunFailed after reporting why
// (Retry does not retry: the file does not change).
int LoadSections(const char* path);

#pragma once
// The program's loader of the section lists; the lists are in sections.h.
#include "config/sections.h"

// Parses path and returns only when every section was closed. Otherwise it reports why and ends
// the process with -1 (Retry does not retry).
void LoadSections(const char* path);

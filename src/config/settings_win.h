#pragma once
// The program's loader of the setting table; the table and its lookups are in settings.h.
#include "config/settings.h"

// Opens path with OpenGuarded and parses it. Returns 0, or kRunFailed when the player cancelled
// the open or memory ran out (its message shown).
int LoadSettings(const char* path);

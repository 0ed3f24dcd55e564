#pragma once
// Finding the installed game through its registry key, and the player's confirmation.
#include <cstddef>

// Fills path (260 bytes) with the confirmed install folder. Returns 0, or -1 when the game was not
// found, failed a check or the player answered No (path untouched).
int LocateInstallation(char* path, size_t pathSize);

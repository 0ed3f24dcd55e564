#pragma once
// The check `vnpack build` makes on the install.env it packs.
#include <cstddef>

// Returns 0 when the updater would start with this install.env, or -1 when it would stop at start
// (a section left open), with the reason in reason (UTF-8, naming the section and the message).
int CheckEnvForUpdater(const unsigned char* data, size_t size, char* reason, size_t reasonSize);

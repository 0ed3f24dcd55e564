#pragma once
// The progress bar of the long verbs, on stderr and only on a terminal: a pipe or a file gets none.
#include <cstdint>

struct Progress {
    bool shown;  // stderr is a terminal
    uint64_t total;
    int percent;  // the last one drawn, -1 before the first
};

// Starts a bar over total bytes; shown only on a terminal and when total is at least minTotal.
void StartProgress(Progress* p, uint64_t total, uint64_t minTotal);

// Redraws the bar when the percentage changed; at 100 % it ends the line.
void ShowProgress(Progress* p, uint64_t done);

// Draws the bar full, if it is shown and is not yet.
void EndProgress(Progress* p);

// Updaters below this size are read in a moment and get no bar.
const uint64_t kProgressLargeBytes = 16u << 20;

#include "vnpack/progress.h"

#include <cstdio>

#include "vnpack/host.h"

void StartProgress(Progress* p, uint64_t total, uint64_t minTotal) {
    p->shown = total > 0 && total >= minTotal && IsHostTerminal(stderr);
    p->total = total;
    p->percent = -1;
}

void ShowProgress(Progress* p, uint64_t done) {
    if (!p->shown) return;
    int percent = static_cast<int>((done < p->total ? done : p->total) * 100 / p->total);
    if (percent == p->percent) return;
    p->percent = percent;
    char bar[41];
    int filled = percent * 40 / 100;
    for (int i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
    bar[40] = '\0';
    fprintf(stderr, "\r[%s] %3d%%  %llu of %llu MB", bar, percent, static_cast<unsigned long long>(done >> 20),
            static_cast<unsigned long long>(p->total >> 20));
    if (percent == 100) fputc('\n', stderr);
    fflush(stderr);
}

void EndProgress(Progress* p) {
    if (p->percent != 100) ShowProgress(p, p->total);
}

// Built as the shipped program is, on its own entry point. Writes what WinMain received through a
// stream it never closes, from a function registered with atexit, and returns 7: the file holds it
// only if exit() ran the registered function and then flushed the stream.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

static FILE* s_out;
static const char* s_cmdLine;
static int s_show;

static void WriteReport() { fprintf(s_out, "[%s] %d", s_cmdLine, s_show); }

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmdLine, int show) {
    s_out = fopen("lean_probe.txt", "w");
    if (!s_out) return 1;
    s_cmdLine = cmdLine;
    s_show = show;
    if (atexit(WriteReport) != 0) return 2;
    return 7;
}

#pragma once
// What host_win.cpp adds to host.h for the tool's other Windows files.
#include <windows.h>

#include <cstdio>

const DWORD kWidePathChars = 32768;  // the longest path the wide calls take

// Sets errno for the last Windows error, so that both tools print the same messages. Returns -1.
int FailWithLastError();

// The wide path for a UTF-8 one, absolute and with \\?\ (\\?\UNC\ for a share); freed by the
// caller with FreeChecked. Null with errno set when it is not UTF-8 or too long.
wchar_t* MakeWidePath(const char* path);

// Makes stdout and stderr carry the bytes the Linux tool writes (UTF-8, "\n" line ends). A stream on
// a console is relayed through WriteConsoleW instead, so the console shows the text whatever its
// code page; the relay is drained when the process exits.
void StartHostConsole();
// The console a relayed stream shows on, or null when the stream is not relayed.
HANDLE GetHostConsole(FILE* stream);

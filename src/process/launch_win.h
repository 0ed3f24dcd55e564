#pragma once
// Starting documents and programs, window placement and message pumping.
#include <windows.h>

// Asks the shell to open path with its associated program; the shell reports its own errors.
void OpenDocument(const char* path);
// Starts path as a new process (command line: the path in double quotes) without waiting.
// Returns nonzero when the process was created.
int RunProgram(const char* path);
// Centres the window on the whole screen.
void CenterWindow(HWND window);
// Dispatches every waiting message and returns their number; WM_QUIT ends the process.
int PumpMessages();

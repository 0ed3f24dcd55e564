#pragma once
// Starting documents and programs, window placement and message pumping.
#include <windows.h>

#include "process/run_status.h"

// Asks the shell to open path with its associated program; the shell reports its own errors.
void OpenDocument(const char* path);
// Starts the program at path (a full path, so that no other folder is searched for it) without
// waiting; its command line is name in double quotes, as the program expects to be named.
// Returns nonzero when the process was created.
int RunProgram(const char* path, const char* name);
// Centres the window on the whole screen.
void CenterWindow(HWND window);
// Dispatches every waiting message and returns their number, or kRunQuit once a WM_QUIT was met
// (then and at every later call, without dispatching more): the run ends with GetQuitCode.
int PumpMessages();
// True once PumpMessages met WM_QUIT; code is its wParam.
bool GetQuitCode(int* code);

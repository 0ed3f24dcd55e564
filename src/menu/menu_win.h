#pragma once
// The main menu.
#include <windows.h>

#include "process/run_status.h"

// Shows the menu from the program's resources in instance until it closes. Returns 0 when it was
// closed (the work folder then is gone), or kRunFailed (the splash picture's Cancel, a failed update,
// a menu that cannot be created) or kRunQuit, for the run to end.
int ShowMenu(HINSTANCE instance);

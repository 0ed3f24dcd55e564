#pragma once
// The menu start-up and the main menu.
#include <windows.h>

// Reads install.env (settings, then sections), makes sure no other updater with the same title
// runs, and shows the menu from the program's resources in instance until it closes. Returns 0 for
// the entry to return; ends the process itself when another copy runs (0) or the menu cannot be
// created (-1), removing the work folder in both cases.
int RunMenuStartup(HINSTANCE instance);

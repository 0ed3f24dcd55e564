#pragma once
// Statuses that end the run. No floor below src/app ends the program: a call that meets one of
// these shows whatever message belongs to it and returns it up to src/app, which ends the program
// with the exit code and the work folder's removal they call for. Ordinary failures stay -1.
enum RunStop {
    kRunFailed = -2,  // the run cannot go on (damaged payload, install.env unreadable, Cancel): exit -1
    kRunQuit = -3,    // WM_QUIT met while pumping messages: exit with its code (GetQuitCode)
};

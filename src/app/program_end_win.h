#pragma once
// The one way out of the program. Every floor below returns a status; the start-up hands it here.

// Why the program ends; each has its exit code and says whether the work folder goes.
enum ProgramEnd {
    kEndMenuClosed,    // 0: Exit, the close box, or after a successful update
    kEndSecondCopy,    // 0: another copy with the same title runs (the player was told)
    kEndNoMutex,       // 0: the single-instance mutex could not be made
    kEndSetupMissing,  // -1: install.env did not arrive in the work folder
    kEndFailed,        // -1: the payload, install.env or the menu failed, or the player cancelled
    kEndQuit,          // WM_QUIT met while pumping messages: its code, the work folder stays
};

// The end for a status of the run: kRunQuit, any other failure, or 0 for the menu's close.
ProgramEnd EndForStatus(int status);

// Removes the work folder where the end calls for it and ends the process with its code; the
// at-exit handlers run.
[[noreturn]] void EndProgram(ProgramEnd end);

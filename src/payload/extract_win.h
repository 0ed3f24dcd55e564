#pragma once
// The payload appended to the program's own file, extracted below a folder.
#include "payload/extract.h"
#include "process/run_status.h"

// Extracts into dest (absolute, no trailing backslash) in kExtractAll or kExtractSetupFiles mode.
// Returns 0 when the walk ended; kRunFailed after any failure, with the damaged-file message shown;
// kRunQuit when WM_QUIT was met meanwhile (no message); -1 when the player pressed Cancel in the
// copy window, after saying that the update was called off. An update that does not end is undone.
// The update's copy runs on a worker thread, which has ended when this returns.
int ExtractPayload(const char* dest, int mode);

// Closes the copy window and shows the damaged-file message: what the player is told whenever the
// payload cannot be read or written, the work folder made or filled included.
void ReportPayloadFailure();

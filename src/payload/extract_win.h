#pragma once
// The payload appended to the program's own file, extracted below a folder.
#include "payload/extract.h"
#include "process/run_status.h"

// Extracts into dest (absolute, no trailing backslash) in kExtractAll or kExtractSetupFiles mode.
// Returns 0 when the walk ended; kRunFailed after any failure, with the damaged-file message shown;
// kRunQuit when WM_QUIT was met meanwhile (no message). An update that does not end is undone.
int ExtractPayload(const char* dest, int mode);

// Closes the copy window and shows the damaged-file message: what the player is told whenever the
// payload cannot be read or written, the work folder made or filled included.
void ReportPayloadFailure();

#pragma once
// The payload appended to the program's own file, extracted below a folder.
#include "payload/extract.h"

// Extracts into dest (absolute, no trailing backslash) in kExtractAll or kExtractSetupFiles mode.
// Returns when the walk ends; on any failure it shows the damaged-file message, removes the work
// folder and ends the process with -1.
void ExtractPayload(const char* dest, int mode);

// The one failure path of every extraction: closes the progress window, shows the damaged-file
// message, removes the work folder and ends the process with -1.
[[noreturn]] void FailPayload();

// Extracts the payload appended to this program into the folder named on its command line, the way
// the update command does: extract_probe DEST.
#include <windows.h>
#include <commctrl.h>

#include "payload/extract_win.h"
#include "process/dll_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    InitCommonControlClasses(ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS);
    ExtractPayload(commandLine, kExtractAll);
    return 0;
}

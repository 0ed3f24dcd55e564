#include "app/program_end_win.h"

#include <cstdlib>

#include "process/launch_win.h"
#include "process/run_status.h"
#include "process/workdir_win.h"

namespace {

struct EndRow {
    int code;
    bool removeWorkFolder;
};

// Indexed by ProgramEnd. A run that failed or was cancelled leaves nothing worth keeping in the
// temporary folder; only WM_QUIT ends at once, whatever it interrupted.
const EndRow kEnds[] = {{0, true}, {0, true}, {0, true}, {-1, true}, {-1, true}, {0, false}};

}  // namespace

ProgramEnd EndForStatus(int status) {
    if (status == 0) return kEndMenuClosed;
    return status == kRunQuit ? kEndQuit : kEndFailed;
}

void EndProgram(ProgramEnd end) {
    int code = kEnds[end].code;
    if (end == kEndQuit) GetQuitCode(&code);
    if (kEnds[end].removeWorkFolder) RemoveWorkFolder();
    exit(code);
}

#include "update/update_cmd_win.h"

#include <windows.h>

#include "config/settings.h"
#include "payload/extract_win.h"
#include "process/launch_win.h"
#include "process/msgbox_win.h"
#include "update/done_win.h"
#include "update/install_lookup_win.h"
#include "update/transfer_win.h"
#include "common/str_util.h"
#include "update/update_cmd.h"

namespace {
const size_t kReadmeNameBytes = 512;
}  // namespace

int RunUpdate() {
    char installPath[kMaxPathBytes];
    if (LocateInstallation(installPath, sizeof installPath) != 0) {
        ReportError("アップデートを中止しました");
        return -1;
    }
    // Every file is in place, or none: a failure has shown its message and ends the run.
    int rc = ExtractPayload(installPath, kExtractAll);
    if (rc != 0) return rc;
    TransferIniSection(installPath);
    TransferRegSection(installPath);
    ShowCompletionDialog();

    // The game expects to start in its own folder; the work folder's removal returns from here.
    SetCurrentDirectoryA(installPath);
    char path[kMaxPathBytes];
    // The game first, then its read-me, which may well open on top of it. Failures are silent. The
    // game is named on its command line as install.env names it, and started by its full path.
    if (GetRunChoice() && FormatInstalledPath(installPath, GetExeName(), path, sizeof path) == 0) {
        RunProgram(path, GetExeName());
    }
    if (GetReadmeChoice()) {
        char readme[kReadmeNameBytes];
        char readmePath[kReadmeNameBytes];
        GetSetting(kInstReadmeFileKey, readme, sizeof readme, kInstReadmeFileDefault);
        if (FormatInstalledPath(installPath, readme, readmePath, sizeof readmePath) == 0) {
            OpenDocument(readmePath);
        }
    }
    return 0;
}

#include "payload/progress_win.h"

#include <commctrl.h>

#include <cstring>

#include "common/str_util.h"
#include "payload/payload_format.h"
#include "process/system_dll_win.h"
#include "process/launch_win.h"
#include "process/msgbox_win.h"
#include "process/ui_text_win.h"
#include "resources/resource.h"

static HWND s_window;
static HWND s_animation;

// What the window shows. Each change of a control costs a repaint and round trips to the window
// system, so the window catches up with the copy at most this often.
const DWORD kRefreshMs = 40;
struct CopyControls {
    char path[kPayloadNameBytes];
    WPARAM fileRange;
    WPARAM filePos;
    WPARAM totalPos;
};
static CopyControls s_shown;
static DWORD s_shownAt;
static bool s_cancelled;

// Units of 128 KiB as signed 32-bit divisions: sizes stay below 2 GiB.
static WPARAM Units(uint32_t bytes) {
    return static_cast<WPARAM>(static_cast<int32_t>(bytes) / static_cast<int32_t>(kPayloadBlockBytes));
}

static void SetBarRange(HWND dialog, int id, WPARAM max) {
    SendDlgItemMessageW(dialog, id, PBM_SETRANGE, 0, MAKELPARAM(0, max));
}

static void SetBarPos(HWND dialog, int id, WPARAM pos) { SendDlgItemMessageW(dialog, id, PBM_SETPOS, pos, 0); }

static INT_PTR OnInitDialog(HWND dialog) {
    CenterWindow(dialog);
    SetDlgItemTextCp932(dialog, IDC_COPY_FILE_NAME, "");
    SetBarRange(dialog, IDC_COPY_FILE_BAR, 1);
    SetBarPos(dialog, IDC_COPY_FILE_BAR, 0);
    SetBarRange(dialog, IDC_COPY_TOTAL_BAR, 1);
    SetBarPos(dialog, IDC_COPY_TOTAL_BAR, 0);
    DrawWithoutVisualStyles(GetDlgItem(dialog, IDC_COPY_FILE_BAR));
    DrawWithoutVisualStyles(GetDlgItem(dialog, IDC_COPY_TOTAL_BAR));
    s_animation = GetDlgItem(dialog, IDC_COPY_ANIMATION);
    SendMessageW(s_animation, ACM_OPENW, 0, reinterpret_cast<LPARAM>(L"AVI_FILECOPY"));
    SendMessageW(s_animation, ACM_PLAY, static_cast<WPARAM>(-1), static_cast<LPARAM>(0xFFFF0000u));
    ShowWindow(s_animation, SW_SHOW);
    return TRUE;
}

// Cancel stops the clip at once; the copy stops at its next block and puts the folder back.
static INT_PTR OnCommand(WPARAM wParam) {
    if (wParam != IDCANCEL) return FALSE;
    SendMessageW(s_animation, ACM_STOP, 0, 0);
    s_cancelled = true;
    return FALSE;
}

INT_PTR CALLBACK CopyProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: return OnCommand(wParam);
    default: return FALSE;
    }
}

int OpenCopyProgress(int32_t total) {
    CloseCopyProgress();
    // Before the window shows: a click in its first moment counts.
    s_cancelled = false;
    HWND owner = GetMainWindow();
    HINSTANCE instance =
        owner ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE)) : GetModuleHandleW(nullptr);
    s_window = CreateDialogParamW(instance, L"COPYINGDELUX", owner, CopyProgressProc, 0);
    if (!s_window) return -1;
    PumpMessages();
    WPARAM units = Units(static_cast<uint32_t>(total));
    SetBarRange(s_window, IDC_COPY_TOTAL_BAR, units > 1 ? units : 1);
    SetBarPos(s_window, IDC_COPY_TOTAL_BAR, 0);
    // As OnInitDialog left the controls.
    memset(&s_shown, 0, sizeof s_shown);
    s_shown.fileRange = 1;
    s_shownAt = GetTickCount() - kRefreshMs;
    PumpMessages();
    return 0;
}

HWND GetCopyProgressWindow() { return s_window; }

void CloseCopyProgress() {
    if (!s_window) return;
    DestroyWindow(s_window);
    s_window = nullptr;
    s_animation = nullptr;
    PumpMessages();
}

bool CopyCancelPressed() { return s_cancelled; }

void ShowCopyView(const CopyView* view, bool now) {
    DWORD tick = GetTickCount();
    if (!s_window || (!now && tick - s_shownAt < kRefreshMs)) return;
    s_shownAt = tick;
    CopyControls want;
    CopyStr(want.path, sizeof want.path, view->path);
    want.fileRange = Units(view->fileSize);
    want.filePos = Units(view->fileWritten);
    want.totalPos = Units(view->consumed);
    // Only the controls that changed.
    if (strcmp(want.path, s_shown.path) != 0) SetDlgItemTextCp932(s_window, IDC_COPY_FILE_NAME, want.path);
    if (want.fileRange != s_shown.fileRange) SetBarRange(s_window, IDC_COPY_FILE_BAR, want.fileRange);
    if (want.filePos != s_shown.filePos) SetBarPos(s_window, IDC_COPY_FILE_BAR, want.filePos);
    if (want.totalPos != s_shown.totalPos) SetBarPos(s_window, IDC_COPY_TOTAL_BAR, want.totalPos);
    s_shown = want;
}

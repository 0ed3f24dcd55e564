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

// What the window should show and what it shows. Each change of a control costs a repaint and round
// trips to the window system, so the window catches up with the latest state at most this often.
const DWORD kRefreshMs = 40;
struct CopyView {
    char path[kPayloadNameBytes];
    WPARAM fileRange;
    WPARAM filePos;
    WPARAM totalPos;
};
static CopyView s_want;
static CopyView s_shown;
static DWORD s_shownAt;
static bool s_stale;  // shown at the next call whatever the time: the first file, a finished large one
static uint32_t s_fileSize;

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

// Cancel only stops the clip: the extraction goes on, since stopping halfway helps no player.
static INT_PTR OnCommand(WPARAM wParam) {
    if (wParam == IDCANCEL) SendMessageW(s_animation, ACM_STOP, 0, 0);
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
    s_want = s_shown;
    s_stale = true;
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

// Brings the controls up to s_want, touching only those that changed, once kRefreshMs have passed.
static void RefreshCopyView() {
    DWORD now = GetTickCount();
    if (!s_stale && now - s_shownAt < kRefreshMs) return;
    s_stale = false;
    s_shownAt = now;
    if (strcmp(s_want.path, s_shown.path) != 0) SetDlgItemTextCp932(s_window, IDC_COPY_FILE_NAME, s_want.path);
    if (s_want.fileRange != s_shown.fileRange) SetBarRange(s_window, IDC_COPY_FILE_BAR, s_want.fileRange);
    if (s_want.filePos != s_shown.filePos) SetBarPos(s_window, IDC_COPY_FILE_BAR, s_want.filePos);
    if (s_want.totalPos != s_shown.totalPos) SetBarPos(s_window, IDC_COPY_TOTAL_BAR, s_want.totalPos);
    s_shown = s_want;
}

void ShowCopyFile(const char* path, uint32_t size) {
    if (!s_window) return;
    CopyStr(s_want.path, sizeof s_want.path, path);
    s_fileSize = size;
    s_want.fileRange = Units(size);
    s_want.filePos = 0;
    RefreshCopyView();
}

void ShowCopyProgress(uint32_t fileWritten, uint32_t payloadConsumed) {
    if (!s_window) return;
    s_want.filePos = Units(fileWritten);
    s_want.totalPos = Units(payloadConsumed);
    // A file of several blocks is seen to finish, however fast it went.
    if (fileWritten == s_fileSize && s_fileSize >= kPayloadBlockBytes) s_stale = true;
    RefreshCopyView();
}

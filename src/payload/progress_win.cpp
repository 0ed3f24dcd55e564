#include "payload/progress_win.h"

#include <commctrl.h>

#include "payload/payload_format.h"
#include "process/launch_win.h"
#include "process/msgbox_win.h"
#include "process/ui_text_win.h"
#include "resources/resource.h"

static HWND s_window;
static HWND s_animation;

// Units of 128 KiB as signed 32-bit divisions: sizes stay below 2 GiB.
static WPARAM Units(uint32_t bytes) {
    return static_cast<WPARAM>(static_cast<int32_t>(bytes) / static_cast<int32_t>(kPayloadBlockBytes));
}

static void SetBarRange(HWND dialog, int id, WPARAM max) {
    SendDlgItemMessageW(dialog, id, PBM_SETRANGE, 0, MAKELPARAM(0, max));
}

static void SetBarPos(HWND dialog, int id, WPARAM pos) {
    SendDlgItemMessageW(dialog, id, PBM_SETPOS, pos, 0);
}

static INT_PTR OnInitDialog(HWND dialog) {
    CenterWindow(dialog);
    SetDlgItemTextCp932(dialog, IDC_COPY_FILE_NAME, "");
    SetBarRange(dialog, IDC_COPY_FILE_BAR, 1);
    SetBarPos(dialog, IDC_COPY_FILE_BAR, 0);
    SetBarRange(dialog, IDC_COPY_TOTAL_BAR, 1);
    SetBarPos(dialog, IDC_COPY_TOTAL_BAR, 0);
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

HWND OpenCopyProgress(int32_t total) {
    CloseCopyProgress();
    HWND owner = GetMainWindow();
    HINSTANCE instance = owner ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE))
                               : GetModuleHandleW(nullptr);
    s_window = CreateDialogParamW(instance, L"COPYINGDELUX", owner, CopyProgressProc, 0);
    if (!s_window) return nullptr;
    PumpMessages();
    WPARAM units = Units(static_cast<uint32_t>(total));
    SetBarRange(s_window, IDC_COPY_TOTAL_BAR, units > 1 ? units : 1);
    SetBarPos(s_window, IDC_COPY_TOTAL_BAR, 0);
    PumpMessages();
    return s_window;
}

void CloseCopyProgress() {
    if (!s_window) return;
    DestroyWindow(s_window);
    s_window = nullptr;
    s_animation = nullptr;
    PumpMessages();
}

void ShowCopyFile(HWND window, const char* path, uint32_t size) {
    if (!window) return;
    SetDlgItemTextCp932(window, IDC_COPY_FILE_NAME, path);
    SetBarRange(window, IDC_COPY_FILE_BAR, Units(size));
    SetBarPos(window, IDC_COPY_FILE_BAR, 0);
}

void ShowCopyProgress(HWND window, uint32_t fileWritten, uint32_t payloadConsumed) {
    if (!window) return;
    SetBarPos(window, IDC_COPY_FILE_BAR, Units(fileWritten));
    SetBarPos(window, IDC_COPY_TOTAL_BAR, Units(payloadConsumed));
}

#include "update/done_win.h"

#include "config/settings.h"
#include "process/launch_win.h"
#include "process/msgbox_win.h"
#include "process/ui_text_win.h"
#include "resources/resource.h"

namespace {

const size_t kReadmeLabelBytes = 512;

char s_readmeLabel[kReadmeLabelBytes];
int s_runChoice;
int s_readmeChoice;

INT_PTR OnInitDialog(HWND dialog) {
    // The short form has no read-me box; these calls then find no control and do nothing.
    CheckDlgButton(dialog, IDC_END_README, BST_UNCHECKED);
    SetDlgItemTextCp932(dialog, IDC_END_README, s_readmeLabel);
    CheckDlgButton(dialog, IDC_END_RUN, BST_CHECKED);
    CenterWindow(dialog);
    return TRUE;
}

// Only a click (notification 0) counts; Escape and the close box arrive as IDCANCEL.
INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
    switch (wParam) {
    case IDOK:
        s_readmeChoice = IsDlgButtonChecked(dialog, IDC_END_README) == BST_CHECKED;
        s_runChoice = IsDlgButtonChecked(dialog, IDC_END_RUN) == BST_CHECKED;
        EndDialog(dialog, IDOK);
        return TRUE;
    case IDCANCEL:
        s_readmeChoice = 0;
        s_runChoice = 0;
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK CompletionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: return OnCommand(dialog, wParam);
    default: return FALSE;
    }
}

void ShowCompletionDialog() {
    GetSetting(kInstReadmeKey, s_readmeLabel, sizeof s_readmeLabel, kInstReadmeDefault);
    bool shortForm = IsSettingOff(s_readmeLabel);
    HWND owner = GetMainWindow();
    HINSTANCE instance =
        owner ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE)) : GetModuleHandleW(nullptr);
    DialogBoxParamW(instance, shortForm ? L"ENDINSTALL_SHORT" : L"ENDINSTALL", owner, CompletionProc, 0);
    if (shortForm) s_readmeChoice = 0;
}

int GetRunChoice() { return s_runChoice; }
int GetReadmeChoice() { return s_readmeChoice; }

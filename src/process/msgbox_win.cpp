#include "process/msgbox_win.h"

#include <cstdarg>
#include "common/str_util.h"
#include "process/ui_text_win.h"

namespace {


HWND s_mainWindow;
char s_caption[kMaxPathBytes];

// Formats, brings the main window forward, optionally copies the text to the clipboard and shows
// the box owned by owner (or the main window) with the main window's current title as caption.
int ShowMessage(const char* fmt, va_list args, UINT style, bool toClipboard, HWND owner = nullptr) {
    char text[kMessageBytes];
    FormatStrV(text, sizeof text, fmt, args);  // a longer text is cut at 1023 bytes
    if (s_mainWindow) SetForegroundWindow(s_mainWindow);
    if (toClipboard) CopyTextToClipboard(text);
    return MessageBoxCp932(owner ? owner : s_mainWindow, text, MainWindowTitle(), style);
}

}  // namespace

int ReportRetryable(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int choice = ShowMessage(fmt, args, MB_RETRYCANCEL | MB_ICONERROR, true);
    va_end(args);
    return choice == IDCANCEL ? -1 : 0;
}

void ReportError(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    ShowMessage(fmt, args, MB_OK | MB_ICONERROR, true);
    va_end(args);
}

bool AskRetry(HWND owner, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int choice = ShowMessage(fmt, args, MB_RETRYCANCEL | MB_ICONWARNING, true, owner);
    va_end(args);
    return choice == IDRETRY;
}

bool AskYesNo(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int choice = ShowMessage(fmt, args, MB_YESNO | MB_ICONQUESTION, false);
    va_end(args);
    return choice == IDYES;
}

int CopyTextToClipboard(const char* text) { return SetClipboardCp932(GetActiveWindow(), text); }

const char* MainWindowTitle() {
    s_caption[0] = '\0';
    if (s_mainWindow) GetWindowTextCp932(s_mainWindow, s_caption, sizeof s_caption);
    return s_caption;
}

void SetMainWindow(HWND window) { s_mainWindow = window; }

HWND GetMainWindow() { return s_mainWindow; }

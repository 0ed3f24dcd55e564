#pragma once
// Drives Windows programs under test the way a player would: starts them, finds their windows, reads
// what they show and presses their buttons. Texts are read with the wide calls, so Japanese reads back
// the same whatever the system's code page. Every wait polls against a deadline.
#include <windows.h>

#include <string>
#include <vector>

struct DriveProcess {
    HANDLE process = nullptr;
    DWORD pid = 0;
};

// Starts commandLine (the program path first, quoted where needed) in folder (null: ours). Returns
// false when the process could not be created.
bool StartProgram(const std::wstring& commandLine, DriveProcess* out, const wchar_t* folder = nullptr);

// Waits up to timeoutMs for the process to end and stores its exit code. False on timeout.
bool WaitProgram(DriveProcess* proc, DWORD timeoutMs, DWORD* exitCode);

const DWORD kExitMinusOne = 0xFFFFFFFFu;

// Waits for the process to end and returns its exit code; when it does not end in time, ends it,
// fails the test and returns 0xDEAD.
DWORD FinishProgram(DriveProcess* proc, DWORD timeoutMs);

// Ends a process that is still running (after a failed check) and releases the handle.
void EndProgram(DriveProcess* proc);

// Ends a program left running by a failed check, so its files can be removed.
struct EndOnExit {
    DriveProcess* proc;
    ~EndOnExit() { EndProgram(proc); }
};

// Waits up to timeoutMs for a visible top-level window of process pid whose title and/or class equal
// the given ones (null matches any). Returns the window or null.
HWND WaitTopWindow(DWORD pid, const wchar_t* title, const wchar_t* className, DWORD timeoutMs);

// The visible top-level windows of the process, in z-order.
std::vector<HWND> TopWindows(DWORD pid);

std::wstring WindowText(HWND window);
std::wstring WindowClass(HWND window);

struct DriveButton {
    int id;
    std::wstring text;
};

struct MessageBoxView {
    std::wstring text;     // the static control with ID 0xFFFF
    std::wstring caption;  // the box's title
    HWND owner = nullptr;
    std::vector<DriveButton> buttons;  // left to right
    bool hasIcon = false;
};

// The IDs of the box's buttons, left to right.
std::vector<int> ButtonIds(const MessageBoxView& box);

// Reads a message box. False when window is not one (no 0xFFFF static).
bool ReadMessageBox(HWND window, MessageBoxView* out);

// Waits up to timeoutMs for a message box of process pid (other dialogs are passed over) and reads
// it into out. Returns the box, or null on timeout.
HWND WaitMessageBox(DWORD pid, MessageBoxView* out, DWORD timeoutMs);

// Presses a button of a dialog or message box by ID, as a click would.
bool PressButton(HWND dialog, int id);

// The colour shown on the screen at the client point (x, y) of window.
COLORREF ScreenPixel(HWND window, int x, int y);

// Whether the caption's close box shows its glyph: the ink (button-text colour) in the window's
// top right corner is mirror-symmetric, as the symbol font's cross is and the letter "r" drawn in
// its place without that font is not.
bool CloseBoxShowsGlyph(HWND window);

// Whether the control's text is drawn whole on the screen: as many bands of ink as it has lines,
// the last one above the bottom edge (a line wrapped past the rectangle shows as a cut band).
bool TextFitsControl(HWND control);

// Presses the visible button labelled text. False when there is none.
bool PressLabelled(HWND dialog, const std::wstring& text);

// Clicks a control the way the mouse would (a check box toggles, then notifies its parent).
bool ClickControl(HWND dialog, int id);

struct DriveControl {
    int id;  // low 16 bits of the control ID
    std::wstring className;
    std::wstring text;
    RECT rect;  // in the dialog's client coordinates
    int check;  // BST_* for check boxes and radio buttons, -1 for other controls
    bool visible;
    bool enabled;
};

// The dialog's child controls in z-order (the tab order of a template).
std::vector<DriveControl> ListControls(HWND dialog);

// Waits up to timeoutMs until window is gone (destroyed). False on timeout.
bool WaitWindowGone(HWND window, DWORD timeoutMs);

// Reads the clipboard as CF_UNICODETEXT and as the raw bytes of CF_TEXT. False when it cannot be
// opened.
bool ReadClipboard(std::wstring* unicodeText, std::string* ansiBytes);

// Polls until fn() is true or timeoutMs passed; returns the last result.
template <typename Fn>
bool WaitUntil(Fn fn, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (fn()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(20);
    }
}

// Saves the whole display (the run's virtual desktop, captions included) as screenshots/NAME.png
// beside the run's Wine folder, taken by the host's ImageMagick. Returns false when the run has no
// screenshot service or it failed. name: letters, digits, '_' and '-'.
bool SaveScreenshot(const char* name);

// The folder for this test's scratch files (under the prefix's temporary folder), made empty.
std::wstring MakeScratchFolder(const wchar_t* name);
// The names in folder (ending in a backslash) that match pattern, without "." and "..".
std::vector<std::wstring> ListFolder(const std::wstring& folder, const wchar_t* pattern);

// Deletes a folder with everything in it. True when it is gone.
bool RemoveTree(const std::wstring& folder);

// This test program's own folder, with a trailing backslash.
std::wstring ModuleFolder();

// Wide <-> CP932 for building expected texts.
std::wstring FromCp932(const std::string& bytes);
std::string ToCp932(const std::wstring& text);

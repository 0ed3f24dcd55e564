#pragma once
// The program's message boxes and the record of the main window that owns them. Texts are CP932;
// formats are printf-style and a formatted text is cut at 1023 bytes.
#include <windows.h>

#include <cstddef>

// A message box text, arguments included, holds at most kMessageBytes - 1 bytes.
const size_t kMessageBytes = 1024;

// Error with Retry/Cancel. Returns 0 after Retry, -1 after Cancel (the run then ends).
int ReportRetryable(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Error with OK; returns after the box is closed.
void ReportError(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Error with Retry/Cancel over owner (the main window when null), captioned with the main window's
// title; true for Retry. Cancel is the caller's to act on.
bool AskRetry(HWND owner, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// Question with Yes/No; true only for Yes.
bool AskYesNo(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Puts the CP932 text on the clipboard. Returns 0, or -1 when no memory could be had for it.
int CopyTextToClipboard(const char* text);

// The main window's current title, CP932, in a 260-byte buffer owned here; empty without one.
const char* MainWindowTitle();
void SetMainWindow(HWND window);
HWND GetMainWindow();

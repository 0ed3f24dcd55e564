#pragma once
// The one place where the program's CP932 texts meet the screen. Whatever the player reads (message
// boxes, window, dialog and control texts, the clipboard) is converted from CP932 explicitly and shown
// through the wide-character calls, so Japanese stays legible on systems whose ANSI code page is not
// 932. What the game reads (file names, registry, INI files, command lines) keeps using the ANSI calls
// and never passes through here.
#include <windows.h>

#include <cstddef>

// Converts CP932 text to UTF-16 into dst (dstCount wide characters). Returns 0, or -1 when it did
// not fit (dst then holds an empty string).
int Cp932ToWide(const char* src, wchar_t* dst, size_t dstCount);

// Converts UTF-16 text to CP932 into dst. A text that does not fit is cut at a character boundary,
// so no lone lead byte is left. Returns 0, or -1 when cut.
int WideToCp932(const wchar_t* src, char* dst, size_t dstSize);

// MessageBoxW with the CP932 text and caption converted.
int MessageBoxCp932(HWND owner, const char* text, const char* caption, UINT style);

BOOL SetWindowTextCp932(HWND window, const char* text);
BOOL SetDlgItemTextCp932(HWND dialog, int id, const char* text);

// Reads a window's text through GetWindowTextW into dst as CP932 (cut as WideToCp932 does).
// Returns 0, or -1 when cut.
int GetWindowTextCp932(HWND window, char* dst, size_t dstSize);

// Places the CP932 text on the clipboard as CF_TEXT (the bytes as they are) and as CF_UNICODETEXT.
// The clipboard is opened with owner (may be none). Returns 0, or -1 when no memory could be had for
// the CF_TEXT copy; the clipboard is then left alone.
int SetClipboardCp932(HWND owner, const char* text);

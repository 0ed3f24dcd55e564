#pragma once
// The copy-progress window: a modeless dialog with a looping clip, the path of the file being
// written, a bar for that file and one for the whole payload. Bars count in 128 KiB units. The
// window's handle stays inside this module: callers only report what is being written, and the
// window shows the latest of it as often as a person can follow, not after every block.
#include <windows.h>

#include <cstdint>

// Opens the window (closing an earlier one) with the payload's byte count as the overall total.
// Returns 0, or -1 when it cannot be made; the extraction then runs without display, and the
// calls below do nothing.
int OpenCopyProgress(int32_t total);
void CloseCopyProgress();
// The window, for owning a question asked while it is open; null when there is none.
HWND GetCopyProgressWindow();
INT_PTR CALLBACK CopyProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The file about to be written: its path, and its bar at 0 of size/128 KiB.
void ShowCopyFile(const char* path, uint32_t size);
// After a block: this file's bytes written and the payload bytes read.
void ShowCopyProgress(uint32_t fileWritten, uint32_t payloadConsumed);

#pragma once
// The copy-progress window: a modeless dialog with a looping clip, the path of the file being
// written, a bar for that file and one for the whole payload. Bars count in 128 KiB units.
#include <windows.h>

#include <cstdint>

// Opens the window (closing an earlier one) with the payload's byte count as the overall total.
// Returns it, or null when it cannot be made; the extraction then runs without display.
HWND OpenCopyProgress(int32_t total);
void CloseCopyProgress();
INT_PTR CALLBACK CopyProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the file about to be written: its path and its bar reset to 0 of size/128 KiB.
void ShowCopyFile(HWND window, const char* path, uint32_t size);
// Moves both bars after a block: this file's bytes written and the payload bytes read.
void ShowCopyProgress(HWND window, uint32_t fileWritten, uint32_t payloadConsumed);

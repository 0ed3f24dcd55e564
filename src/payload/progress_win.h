#pragma once
// The copy-progress window: a modeless dialog with a looping clip, the path of the file being
// written, a bar for that file and one for the whole payload. Bars count in 128 KiB units. The
// window's handle stays inside this module: the caller hands it what the copy published, and the
// window shows the latest of it as often as a person can follow, not after every block.
#include <windows.h>

#include <cstdint>

#include "payload/copy_run.h"

// Opens the window (closing an earlier one) with the payload's byte count as the overall total.
// Returns 0, or -1 when it cannot be made; the extraction then runs without display, and the
// calls below do nothing.
int OpenCopyProgress(int32_t total);
void CloseCopyProgress();
// The window, for owning a question asked while it is open; null when there is none.
HWND GetCopyProgressWindow();
INT_PTR CALLBACK CopyProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows view: the file's path, its bar at fileWritten of fileSize and the overall bar at consumed,
// in 128 KiB units; at most every 40 ms unless now.
void ShowCopyView(const CopyView* view, bool now);
// Whether Cancel was pressed since the window opened.
bool CopyCancelPressed();

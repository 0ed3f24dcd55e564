#pragma once
// The dialog that ends an update: the game is installed; start it, and open its read-me?
#include <windows.h>

// Shows ENDINSTALL, with INSTREADME as the read-me box's label, or ENDINSTALL_SHORT when INSTREADME
// is absent or begins with "-", modally over the main window, and records the player's choices.
void ShowCompletionDialog();

// The choices of the last completion dialog: 1 when ticked and confirmed with OK, 0 otherwise
// (always 0 after Escape or the close box, and the read-me always 0 in the short form).
int GetRunChoice();
int GetReadmeChoice();

// The dialog procedure both layouts share.
INT_PTR CALLBACK CompletionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

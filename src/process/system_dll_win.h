#pragma once
// The system DLLs the program reaches at run time instead of importing them (winmm's clock,
// comctl32's control classes, uxtheme's theme switch), each loaded from the system folder only, and
// that restriction for the rest. The updater runs from a download folder, where a planted DLL with
// a system DLL's name would otherwise be loaded in its place.
#include <windows.h>

// Called first thing at start-up: restricts the default DLL search to the system folder where the
// system offers SetDefaultDllDirectories (looked up at run time, so older systems still start).
// Returns true when the restriction is in place.
bool RestrictDllLoading();

// Loads a DLL by name from the system folder only (name like L"winmm.dll"). Null when it cannot be
// loaded. The module stays loaded for the life of the process.
HMODULE LoadSystemDll(const wchar_t* name);

// timeGetTime from winmm, which is not imported statically; GetTickCount when winmm is missing.
DWORD SystemTimeGetTime();

// InitCommonControlsEx from comctl32 for the given ICC_* classes. Returns true when they were
// registered.
bool InitCommonControlClasses(DWORD classes);

// Draws window without visual styles. Windows gives this program none, since its manifest asks for
// none; Wine gives them anyway, and a styled progress bar costs milliseconds a repaint there.
void DrawWithoutVisualStyles(HWND window);

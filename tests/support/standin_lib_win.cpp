// The library the stand-in game loads from the game folder.
#include <windows.h>

extern "C" __declspec(dllexport) int StandInValue() { return 7; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

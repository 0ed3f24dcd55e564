#include <windows.h>

// The start-up sequence lands here; for now the program only proves it builds and starts.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }

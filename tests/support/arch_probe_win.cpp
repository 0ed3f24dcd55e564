// The smallest Windows program: exits 32 at once. Started under Wine when the build folder is
// configured, it tells whether this machine runs the shipped program's architecture.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 32; }

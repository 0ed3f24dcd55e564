// Stands for the installed game while an update runs: started from the game folder, it loads
// game.dll from beside itself, writes the file named on its command line once both its image and
// the library are mapped, and runs until the test ends it.
#include <windows.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    wchar_t* sep = n > 0 && n < MAX_PATH ? wcsrchr(path, L'\\') : nullptr;
    if (!sep || static_cast<size_t>(sep - path) + 10 >= MAX_PATH) return 2;
    wcscpy(sep + 1, L"game.dll");
    if (!LoadLibraryW(path)) return 3;
    HANDLE ready = CreateFileW(commandLine, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready == INVALID_HANDLE_VALUE) return 4;
    CloseHandle(ready);
    Sleep(INFINITE);
    return 0;
}

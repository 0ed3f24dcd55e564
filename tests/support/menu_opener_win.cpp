// Stands in for the program the system opens .txt documents with: records the document it was
// asked to open (its first argument) as UTF-16 in menu_opened.rec beside itself, then ends.
#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 1;
    wchar_t self[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring record(self, n);
    record = record.substr(0, record.find_last_of(L'\\') + 1) + L"menu_opened.rec";
    std::wstring tmp = record + L".tmp";
    HANDLE h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(h, argv[1], static_cast<DWORD>(wcslen(argv[1]) * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(h);
    // Whole or not at all: the test polls for the file.
    return MoveFileExW(tmp.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

// Stands in for the game and for the read-me's viewer in the end-to-end tests: appends one line to
// the file named by VN_E2E_RECORD saying that it ran, and as what, then ends. Fields, tab-separated,
// UTF-8: its creation time (100 ns units), its module path, its current folder, its command line.
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t record[MAX_PATH];
    if (!GetEnvironmentVariableW(L"VN_E2E_RECORD", record, MAX_PATH)) return 1;
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    unsigned long long t = (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    wchar_t module[MAX_PATH], folder[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring line = std::to_wstring(t) + L"\t" + module + L"\t" + folder + L"\t" + GetCommandLineW() + L"\n";
    std::string bytes = Utf8(line);
    // The game and the viewer may write at once, and Wine appends by finding the end, then writing
    // there: the one that opens the file second would write over the first's line. So the file is
    // held unshared, and the other waits its turn.
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int tries = 0; h == INVALID_HANDLE_VALUE && tries < 1000; ++tries) {
        h = CreateFileW(record, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_SHARING_VIOLATION) return 1;
        if (h == INVALID_HANDLE_VALUE) Sleep(10);
    }
    if (h == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return 0;
}

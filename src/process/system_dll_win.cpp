#include "process/system_dll_win.h"

#include <commctrl.h>

#include <cwchar>

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);
typedef DWORD(WINAPI* TimeGetTimeFn)();
typedef BOOL(WINAPI* InitCommonControlsExFn)(const INITCOMMONCONTROLSEX*);
typedef HRESULT(WINAPI* SetWindowThemeFn)(HWND, LPCWSTR, LPCWSTR);

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

bool s_restricted;

// GetProcAddress returns a generic function pointer; going through void* keeps -Wcast-function-type
// quiet for the typed one.
template <typename Fn>
Fn FindProc(HMODULE module, const char* name) {
    if (!module) return nullptr;
    void* proc = reinterpret_cast<void*>(GetProcAddress(module, name));
    return reinterpret_cast<Fn>(proc);
}

}  // namespace

bool RestrictDllLoading() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto setDirs = FindProc<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories");
    s_restricted = setDirs && setDirs(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return s_restricted;
}

HMODULE LoadSystemDll(const wchar_t* name) {
    // By bare name with the system-folder flag where that exists, so a manifest's side-by-side
    // comctl32 still applies; otherwise by full path, which no search order can redirect.
    if (s_restricted) return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    wchar_t path[MAX_PATH];
    UINT n = GetSystemDirectoryW(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    size_t nameLen = wcslen(name);
    if (n + 1 + nameLen >= MAX_PATH) return nullptr;
    path[n] = L'\\';
    wmemcpy(path + n + 1, name, nameLen + 1);
    return LoadLibraryW(path);
}

DWORD SystemTimeGetTime() {
    static TimeGetTimeFn timeGetTimeFn = FindProc<TimeGetTimeFn>(LoadSystemDll(L"winmm.dll"), "timeGetTime");
    return timeGetTimeFn ? timeGetTimeFn() : GetTickCount();
}

bool InitCommonControlClasses(DWORD classes) {
    static InitCommonControlsExFn initFn =
        FindProc<InitCommonControlsExFn>(LoadSystemDll(L"comctl32.dll"), "InitCommonControlsEx");
    if (!initFn) return false;
    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof icc;
    icc.dwICC = classes;
    return initFn(&icc) != FALSE;
}

void DrawWithoutVisualStyles(HWND window) {
    static SetWindowThemeFn setTheme = FindProc<SetWindowThemeFn>(LoadSystemDll(L"uxtheme.dll"), "SetWindowTheme");
    // A name that matches no style: the control draws as it would without them.
    if (setTheme && window) setTheme(window, L" ", L" ");
}

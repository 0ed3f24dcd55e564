#include <windows.h>

#include <cstdio>

#include "limit_io.h"

static int Join(const char* dest, const char* name, char* path, size_t size) {
    int n = snprintf(path, size, "%s\\%s", dest, name);
    return n > 0 && static_cast<size_t>(n) < size ? 0 : -1;
}

void* CreateLimitFile(const char* dest, const char* name) {
    char path[MAX_PATH];
    if (Join(dest, name, path, sizeof path) != 0) return nullptr;
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

int WriteLimitFile(void* file, const void* bytes, size_t n) {
    DWORD done = 0;
    return WriteFile(file, bytes, static_cast<DWORD>(n), &done, nullptr) && done == n ? 0 : -1;
}

int CloseLimitFile(void* file, uint64_t fileTime) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(fileTime);
    ft.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    BOOL ok = SetFileTime(file, nullptr, nullptr, &ft);
    return CloseHandle(file) && ok ? 0 : -1;
}

void CreateLimitDir(const char* dest, const char* name) {
    char path[MAX_PATH];
    if (Join(dest, name, path, sizeof path) == 0) CreateDirectoryA(path, nullptr);
}

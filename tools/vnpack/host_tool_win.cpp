// The Windows side of what signing needs: temporary files, replacing a file, running a program.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <cwchar>

#include "common/alloc.h"
#include "common/str_util.h"
#include "vnpack/host.h"
#include "vnpack/host_win.h"

// A FILE on wide, opened as disposition asks and held without sharing. Returns null with errno set.
static FILE* OpenFile(const wchar_t* wide, DWORD disposition) {
    HANDLE h = CreateFileW(wide, GENERIC_READ | GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        FailWithLastError();
        return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
    FILE* f = fd >= 0 ? _fdopen(fd, "w+b") : nullptr;
    if (!f && fd >= 0) _close(fd);
    if (fd < 0) CloseHandle(h);
    return f;
}

FILE* CreateHostFileBeside(const char* path, char* tmp, size_t tmpSize) {
    static unsigned s_count;
    for (int tries = 0; tries < 100; ++tries) {
        unsigned id = (GetCurrentProcessId() << 8) + s_count++;
        if (FormatStr(tmp, tmpSize, "%s.vnsign-%08x", path, id) != 0) return nullptr;
        wchar_t* wide = MakeWidePath(tmp);
        if (!wide) return nullptr;
        FILE* f = OpenFile(wide, CREATE_NEW);
        FreeChecked(wide);
        if (f || errno != EEXIST) return f;
    }
    return nullptr;
}

// The user's temporary folder lies in his profile, which other users cannot read.
FILE* CreateHostTempFile(char* path, size_t pathSize) {
    wchar_t dir[MAX_PATH + 1], name[MAX_PATH + 14];
    DWORD n = GetTempPathW(MAX_PATH + 1, dir);
    if (n == 0 || n > MAX_PATH || GetTempFileNameW(dir, L"vnp", 0, name) == 0) {
        FailWithLastError();
        return nullptr;
    }
    FILE* f = nullptr;
    if (WideCharToMultiByte(CP_UTF8, 0, name, -1, path, static_cast<int>(pathSize), nullptr, nullptr) <= 0) {
        errno = ENAMETOOLONG;
    } else {
        f = OpenFile(name, TRUNCATE_EXISTING);  // GetTempFileNameW made it empty
    }
    if (!f) DeleteFileW(name);
    return f;
}

int ReplaceHostFile(const char* from, const char* to) {
    wchar_t* wideFrom = MakeWidePath(from);
    wchar_t* wideTo = wideFrom ? MakeWidePath(to) : nullptr;
    int rc = -1;
    if (wideTo)
        rc = MoveFileExW(wideFrom, wideTo, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : FailWithLastError();
    FreeChecked(wideFrom);
    FreeChecked(wideTo);
    return rc;
}

// Appends arg to the command line as the C runtime's argument parser reads it back.
static void AppendArgument(wchar_t* line, size_t* len, const wchar_t* arg) {
    if (*len) line[(*len)++] = L' ';
    bool plain = arg[0] && !wcspbrk(arg, L" \t\"");
    if (!plain) line[(*len)++] = L'"';
    size_t slashes = 0;
    for (const wchar_t* p = arg; *p; ++p) {
        if (*p == L'\\') {
            ++slashes;
        } else {
            if (*p == L'"' && !plain) {
                for (size_t i = 0; i <= slashes; ++i) line[(*len)++] = L'\\';
            }
            slashes = 0;
        }
        line[(*len)++] = *p;
    }
    if (!plain) {
        for (size_t i = 0; i < slashes; ++i) line[(*len)++] = L'\\';
        line[(*len)++] = L'"';
    }
    line[*len] = L'\0';
}

// NAME.exe beside the tool, else in a folder of PATH; never the current folder, where an updater's
// own folder could plant one.
static int FindProgram(const char* name, wchar_t* found, size_t foundChars) {
    wchar_t file[64];
    if (MultiByteToWideChar(CP_UTF8, 0, name, -1, file, 60) <= 0) return -1;
    wcscat(file, L".exe");
    DWORD n = GetModuleFileNameW(nullptr, found, static_cast<DWORD>(foundChars));
    wchar_t* sep = n > 0 && n < foundChars ? wcsrchr(found, L'\\') : nullptr;
    if (sep && static_cast<size_t>(sep + 1 - found) + wcslen(file) < foundChars) {
        wcscpy(sep + 1, file);
        if (GetFileAttributesW(found) != INVALID_FILE_ATTRIBUTES) return 0;
    }
    wchar_t* part = nullptr;
    DWORD got = SearchPathW(_wgetenv(L"PATH"), file, nullptr, static_cast<DWORD>(foundChars), found, &part);
    return got > 0 && got < foundChars ? 0 : -1;
}

static HANDLE DuplicateForChild(HANDLE h) {
    HANDLE copy = nullptr;
    if (!h || h == INVALID_HANDLE_VALUE) return nullptr;
    DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS);
    return copy;
}

int RunHostProgram(const char* const* argv, FILE* out, bool quiet) {
    wchar_t exe[MAX_PATH];
    if (FindProgram(argv[0], exe, MAX_PATH) != 0) return kHostProgramMissing;
    wchar_t* line = static_cast<wchar_t*>(AllocChecked(kWidePathChars * 2 * sizeof(wchar_t)));
    wchar_t* arg = line ? line + kWidePathChars : nullptr;
    size_t len = 0;
    bool fits = line != nullptr;
    for (int i = 0; argv[i] && fits; ++i) {
        // Each character may double when quoted; the line holds at most 32767.
        const wchar_t* text = exe;
        if (i > 0) {
            fits = MultiByteToWideChar(CP_UTF8, 0, argv[i], -1, arg, kWidePathChars / 2) > 0;
            text = arg;
        }
        fits = fits && len + 2 * wcslen(text) + 3 < kWidePathChars;
        if (fits) AppendArgument(line, &len, text);
    }
    int status = -1;
    if (out) fflush(out);
    fflush(stdout);
    fflush(stderr);
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE target = out ? reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out))) : nul;
    // A relayed stderr is a pipe into the relay; the program writes to the console itself.
    HANDLE errors = GetHostConsole(stderr);
    if (!errors) errors = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stderr)));
    STARTUPINFOW si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = DuplicateForChild(nul);
    si.hStdOutput = DuplicateForChild(target);
    si.hStdError = DuplicateForChild(quiet ? target : errors);
    PROCESS_INFORMATION pi;
    if (fits && CreateProcessW(exe, line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        DWORD code;
        WaitForSingleObject(pi.hProcess, INFINITE);
        // A code past 255 is the system's (a missing DLL, a crash): the program did not run.
        if (GetExitCodeProcess(pi.hProcess, &code) && code <= 255) status = static_cast<int>(code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    } else if (fits) {
        status = kHostProgramMissing;
    }
    HANDLE opened[] = {si.hStdInput, si.hStdOutput, si.hStdError, nul};
    for (HANDLE h : opened) {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    FreeChecked(line);
    return status;
}

// The tool's host calls on Windows. Files go through the wide calls on absolute paths prefixed with
// \\?\, so that names in any language and paths past 260 characters work whatever the system's code
// page; the tool's UTF-8 paths are converted here and nowhere else.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <cwchar>

#include "common/alloc.h"
#include "vnpack/cp932_text.h"
#include "vnpack/host.h"
#include "vnpack/host_win.h"


int FailWithLastError() {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: errno = EACCES; break;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: errno = EEXIST; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: errno = ENOMEM; break;
    case ERROR_DIRECTORY: errno = ENOTDIR; break;
    case ERROR_FILENAME_EXCED_RANGE: errno = ENAMETOOLONG; break;
    default: errno = EIO; break;
    }
    return -1;
}

wchar_t* MakeWidePath(const char* path) {
    wchar_t* given = static_cast<wchar_t*>(AllocChecked(kWidePathChars * 2 * sizeof(wchar_t)));
    if (!given) {
        errno = ENOMEM;
        return nullptr;
    }
    wchar_t* full = given + kWidePathChars;
    DWORD n = 0;
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, given, kWidePathChars) <= 0) {
        errno = GetLastError() == ERROR_INSUFFICIENT_BUFFER ? ENAMETOOLONG : EILSEQ;
    } else if (wcsncmp(given, L"\\\\?\\", 4) == 0) {
        return given;
    } else if ((n = GetFullPathNameW(given, kWidePathChars - 8, full + 8, nullptr)) == 0) {
        FailWithLastError();
    } else if (n >= kWidePathChars - 8) {
        errno = ENAMETOOLONG;
    } else {
        const wchar_t* rest = full + 8;
        const wchar_t* prefix = L"\\\\?\\";
        if (rest[0] == L'\\' && rest[1] == L'\\') {
            rest += 2;
            prefix = L"\\\\?\\UNC\\";
        }
        size_t prefixLen = wcslen(prefix);
        wmemmove(given + prefixLen, rest, wcslen(rest) + 1);
        wmemcpy(given, prefix, prefixLen);
        return given;
    }
    FreeChecked(given);
    return nullptr;
}

static uint64_t GetFileTimeValue(const FILETIME* t) {
    return (static_cast<uint64_t>(t->dwHighDateTime) << 32) | t->dwLowDateTime;
}

static const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// True for a symbolic link or a junction: a reparse point that names another file. Others (cloud
// placeholders, deduplicated files) are the file itself.
static bool IsNameSurrogate(const wchar_t* wide) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileExW(wide, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(found.dwReserved0);
}

int GetHostFileInfo(const char* path, bool follow, HostFileInfo* info) {
    wchar_t* wide = MakeWidePath(path);
    if (!wide) return -1;
    memset(info, 0, sizeof *info);
    WIN32_FILE_ATTRIBUTE_DATA data;
    int rc = GetFileAttributesExW(wide, GetFileExInfoStandard, &data) ? 0 : FailWithLastError();
    if (rc == 0 && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        info->isLink = IsNameSurrogate(wide);
        if (info->isLink && !follow) {
            FreeChecked(wide);
            return 0;
        }
        // Like stat, describe what it leads to.
        HANDLE h =
            CreateFileW(wide, FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        BY_HANDLE_FILE_INFORMATION target;
        if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &target)) {
            rc = FailWithLastError();
        } else {
            data.dwFileAttributes = target.dwFileAttributes;
            data.ftLastWriteTime = target.ftLastWriteTime;
            data.nFileSizeHigh = target.nFileSizeHigh;
            data.nFileSizeLow = target.nFileSizeLow;
        }
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    FreeChecked(wide);
    if (rc != 0) return rc;
    info->isDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info->isFile = !info->isDir && !(data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE);
    info->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    info->time = GetFileTimeValue(&data.ftLastWriteTime);
    return 0;
}

int GetHostRealPath(const char* path, char* dst, size_t dstSize) {
    wchar_t* wide = MakeWidePath(path);
    if (!wide) return -1;
    HANDLE h =
        CreateFileW(wide, FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    int rc = -1;
    DWORD n = 0;
    if (h == INVALID_HANDLE_VALUE) {
        FailWithLastError();
    } else if ((n = GetFinalPathNameByHandleW(h, wide, kWidePathChars, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS)) == 0) {
        FailWithLastError();
    } else if (n >= kWidePathChars) {
        errno = ENAMETOOLONG;
    } else {
        // Shown in messages: C:\dir and \\server\share\dir rather than their \\?\ forms.
        const wchar_t* shown = wide;
        if (wcsncmp(wide, L"\\\\?\\UNC\\", 8) == 0) {
            shown = wide + 6;
            wide[6] = L'\\';
        } else if (wcsncmp(wide, L"\\\\?\\", 4) == 0) {
            shown = wide + 4;
        }
        int m = WideCharToMultiByte(CP_UTF8, 0, shown, -1, dst, static_cast<int>(dstSize), nullptr, nullptr);
        if (m > 0) {
            rc = 0;
        } else {
            errno = ENAMETOOLONG;
        }
    }
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    FreeChecked(wide);
    return rc;
}

int ListHostFolder(const char* path, HostNameFn fn, void* ctx) {
    wchar_t* wide = MakeWidePath(path);
    if (!wide) return -1;
    size_t len = wcslen(wide);
    if (len + 3 > kWidePathChars) {
        FreeChecked(wide);
        errno = ENAMETOOLONG;
        return -1;
    }
    const wchar_t* pattern = wide[len - 1] == L'\\' ? L"*" : L"\\*";
    wmemcpy(wide + len, pattern, wcslen(pattern) + 1);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileExW(wide, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    FreeChecked(wide);
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : FailWithLastError();
    int rc = 0;
    do {
        const wchar_t* name = found.cFileName;
        if (wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0) continue;
        char utf8[MAX_PATH * 4];
        if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, name, -1, utf8, sizeof utf8, nullptr, nullptr) <= 0) {
            errno = EILSEQ;
            rc = -1;
        } else {
            rc = fn(ctx, utf8);
        }
    } while (rc == 0 && FindNextFileW(find, &found));
    if (rc == 0 && GetLastError() != ERROR_NO_MORE_FILES) rc = FailWithLastError();
    FindClose(find);
    return rc;
}

FILE* OpenHostFile(const char* path, const char* mode) {
    wchar_t wideMode[8];
    size_t i = 0;
    for (; mode[i] && i < 7; ++i) wideMode[i] = static_cast<wchar_t>(mode[i]);
    wideMode[i] = L'\0';
    wchar_t* wide = MakeWidePath(path);
    if (!wide) return nullptr;
    FILE* f = _wfopen(wide, wideMode);
    FreeChecked(wide);
    return f;
}

int SeekHostFile(FILE* f, uint64_t offset) { return _fseeki64(f, static_cast<int64_t>(offset), SEEK_SET); }

int RemoveHostFile(const char* path) {
    wchar_t* wide = MakeWidePath(path);
    if (!wide) return -1;
    int rc = DeleteFileW(wide) ? 0 : FailWithLastError();
    FreeChecked(wide);
    return rc;
}

int CreateHostFolder(const char* path) {
    wchar_t* wide = MakeWidePath(path);
    if (!wide) return -1;
    int rc = CreateDirectoryW(wide, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS ? 0 : FailWithLastError();
    FreeChecked(wide);
    return rc;
}

int SetHostFileTime(const char* path, uint64_t fileTime) {
    wchar_t* wide = MakeWidePath(path);
    if (!wide) return -1;
    HANDLE h =
        CreateFileW(wide, FILE_WRITE_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    FreeChecked(wide);
    if (h == INVALID_HANDLE_VALUE) return FailWithLastError();
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(fileTime);
    t.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    int rc = SetFileTime(h, nullptr, nullptr, &t) ? 0 : FailWithLastError();
    CloseHandle(h);
    return rc;
}

char GetHostPathSep() { return '\\'; }

int GetHostProcessorCount() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}

int GetHostProgramDir(char* dst, size_t dstSize) {
    wchar_t* self = static_cast<wchar_t*>(AllocChecked(kWidePathChars * sizeof(wchar_t)));
    if (!self) return -1;
    int rc = -1;
    DWORD n = GetModuleFileNameW(nullptr, self, kWidePathChars);
    wchar_t* sep = n > 0 && n < kWidePathChars ? wcsrchr(self, L'\\') : nullptr;
    if (sep) {
        *sep = L'\0';
        rc = WideCharToMultiByte(CP_UTF8, 0, self, -1, dst, static_cast<int>(dstSize), nullptr, nullptr) > 0 ? 0 : -1;
    }
    FreeChecked(self);
    return rc;
}

static const UINT kCp932 = 932;

size_t ConvertCp932Char(const char* cp932, size_t len, char* utf8, size_t utf8Size) {
    wchar_t wide[2];
    int n = MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, cp932, static_cast<int>(len), wide, 2);
    if (n <= 0) return 0;
    int m = WideCharToMultiByte(CP_UTF8, 0, wide, n, utf8, static_cast<int>(utf8Size), nullptr, nullptr);
    return m > 0 ? static_cast<size_t>(m) : 0;
}

int ConvertUtf8ToCp932(const char* utf8, char* dst, size_t dstSize) {
    if (dstSize == 0) return -1;
    dst[0] = '\0';
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
    if (n <= 0) return -1;
    wchar_t* wide = static_cast<wchar_t*>(AllocChecked(static_cast<size_t>(n) * sizeof(wchar_t)));
    if (!wide) return -1;
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, n);
    // No best fit: a character without its own CP932 form must be refused, not turned into a
    // look-alike (or into '\').
    BOOL usedDefault = FALSE;
    int m =
        WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide, -1, dst, static_cast<int>(dstSize), nullptr, &usedDefault);
    FreeChecked(wide);
    if (m <= 0 || usedDefault) {
        dst[0] = '\0';
        return -1;
    }
    return 0;
}

// The console relay: a stream on a console writes into a pipe whose other end a thread reads,
// decodes as UTF-8 and hands to WriteConsoleW.
struct ConsoleRelay {
    FILE* stream;
    HANDLE console;
    int readFd;
    HANDLE thread;
};

static ConsoleRelay s_relays[2];

// The length of buf without an unfinished UTF-8 sequence at its end.
static size_t GetCompleteUtf8Length(const unsigned char* buf, size_t len) {
    for (size_t back = 1; back <= 3 && back <= len; ++back) {
        unsigned char c = buf[len - back];
        if ((c & 0xC0) == 0x80) continue;
        size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return need > back ? len - back : len;
    }
    return len;
}

static void WriteConsoleText(HANDLE console, const unsigned char* text, size_t len) {
    wchar_t wide[4096];
    while (len > 0) {
        size_t n = GetCompleteUtf8Length(text, len < 4096 ? len : 4096);
        if (n == 0) n = len < 4096 ? len : 4096;  // bytes that never complete: shown as U+FFFD
        int w = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(text), static_cast<int>(n), wide, 4096);
        DWORD written;
        if (w > 0) WriteConsoleW(console, wide, static_cast<DWORD>(w), &written, nullptr);
        text += n;
        len -= n;
    }
}

static DWORD WINAPI RunConsoleRelay(void* param) {
    ConsoleRelay* relay = static_cast<ConsoleRelay*>(param);
    unsigned char buf[4096 + 4];
    size_t kept = 0;
    for (;;) {
        int got = _read(relay->readFd, buf + kept, 4096);
        if (got <= 0) break;
        size_t len = kept + static_cast<size_t>(got);
        size_t complete = GetCompleteUtf8Length(buf, len);
        WriteConsoleText(relay->console, buf, complete);
        kept = len - complete;
        memmove(buf, buf + complete, kept);
    }
    WriteConsoleText(relay->console, buf, kept);
    _close(relay->readFd);
    return 0;
}

static void StopConsoleRelays() {
    for (ConsoleRelay& relay : s_relays) {
        if (!relay.thread) continue;
        fflush(relay.stream);
        _close(_fileno(relay.stream));  // the pipe's only writer: the relay reads to its end
        WaitForSingleObject(relay.thread, INFINITE);
        CloseHandle(relay.thread);
        relay.thread = nullptr;
    }
}

static void StartConsoleRelay(ConsoleRelay* relay, FILE* stream, DWORD stdId) {
    int fd = _fileno(stream);
    _setmode(fd, _O_BINARY);
    relay->stream = stream;
    HANDLE console = GetStdHandle(stdId);
    DWORD mode;
    if (console == nullptr || console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) return;
    // Replacing the descriptor closes its handle, so the relay writes through a copy of it.
    int fds[2];
    if (!DuplicateHandle(GetCurrentProcess(), console, GetCurrentProcess(), &console, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return;
    if (_pipe(fds, 65536, _O_BINARY | _O_NOINHERIT) != 0) {
        CloseHandle(console);
        return;
    }
    relay->console = console;
    relay->readFd = fds[0];
    relay->thread = CreateThread(nullptr, 0, RunConsoleRelay, relay, 0, nullptr);
    if (!relay->thread || _dup2(fds[1], fd) != 0) {
        _close(fds[1]);  // the relay, if it started, ends at once
        if (relay->thread) {
            WaitForSingleObject(relay->thread, INFINITE);
            CloseHandle(relay->thread);
            relay->thread = nullptr;
        } else {
            _close(fds[0]);
        }
        return;
    }
    _close(fds[1]);
}

void StartHostConsole() {
    StartConsoleRelay(&s_relays[0], stdout, STD_OUTPUT_HANDLE);
    StartConsoleRelay(&s_relays[1], stderr, STD_ERROR_HANDLE);
    atexit(StopConsoleRelays);
}

bool IsHostTerminal(FILE* stream) { return GetHostConsole(stream) != nullptr; }

HANDLE GetHostConsole(FILE* stream) {
    for (const ConsoleRelay& relay : s_relays) {
        if (relay.stream == stream && relay.thread) return relay.console;
    }
    return nullptr;
}

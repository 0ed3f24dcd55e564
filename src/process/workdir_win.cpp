#include "process/workdir_win.h"

#include <windows.h>

#include "common/str_util.h"
#include "process/system_dll_win.h"
#include "process/workdir.h"

static char s_startFolder[kMaxPathBytes];
static char s_workFolder[kMaxPathBytes];

static HANDLE s_search = INVALID_HANDLE_VALUE;
static int s_searchState = -1;  // -1 none or finished, 1 first entry not yet delivered, 0 later
static char s_searchPattern[kMaxPathBytes];
static WIN32_FIND_DATAA s_found;
static char s_matchPath[kMaxPathBytes];

const char* GetWorkFolder() { return s_workFolder; }

static int CreateFolder(void*, const char* path) {
    if (CreateDirectoryA(path, nullptr)) return kFolderMade;
    return GetLastError() == ERROR_ALREADY_EXISTS ? kFolderTaken : kFolderFailed;
}

int CreateWorkFolder() {
    char temp[kMaxPathBytes];
    char path[kMaxPathBytes];
    DWORD n = GetCurrentDirectoryA(sizeof s_startFolder, s_startFolder);
    if (n == 0 || n >= sizeof s_startFolder) return -1;
    n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp || !EnsureTrailingBackslash(temp, sizeof temp)) return -1;
    if (CreateWorkFolderNamed(temp, SystemTimeGetTime(), CreateFolder, nullptr, path, sizeof path) != 0) return -1;
    CopyStr(s_workFolder, sizeof s_workFolder, path);
    SetCurrentDirectoryA(path);
    return 0;
}

void RemoveWorkFolder() {
    if (s_workFolder[0] == '\0') return;
    SetCurrentDirectoryA(s_startFolder);
    DeleteMatchingFiles(s_workFolder, "*.*");
    RemoveDirectoryA(s_workFolder);
    // Gone (or left to the player when it held folders): a later call must not enter it again.
    s_workFolder[0] = '\0';
}

void DeleteMatchingFiles(const char* folder, const char* pattern) {
    char saved[kMaxPathBytes];
    DWORD n = GetCurrentDirectoryA(sizeof saved, saved);
    if (n == 0 || n >= sizeof saved) return;
    // Deleting "*.*" in whatever folder happens to be current would destroy the player's files.
    if (!SetCurrentDirectoryA(folder)) return;
    if (FindFirstMatch(pattern) == 0) {
        while (const char* file = FindNextMatch()) DeleteFileA(file);
    }
    SetCurrentDirectoryA(saved);
}

static void CloseSearch() {
    if (s_search != INVALID_HANDLE_VALUE) FindClose(s_search);
    s_search = INVALID_HANDLE_VALUE;
    s_searchState = -1;
}

int FindFirstMatch(const char* pattern) {
    CloseSearch();
    if (CopyStr(s_searchPattern, sizeof s_searchPattern, pattern) != 0) return 1;
    s_search = FindFirstFileA(pattern, &s_found);
    if (s_search == INVALID_HANDLE_VALUE) return 1;
    s_searchState = 1;
    return 0;
}

const char* FindNextMatch() {
    if (s_search == INVALID_HANDLE_VALUE || s_searchState == -1) return nullptr;
    for (;;) {
        bool haveEntry = false;
        if (s_searchState == 1) {
            s_searchState = 0;
            haveEntry = true;
        } else {
            haveEntry = FindNextFileA(s_search, &s_found) != 0;
        }
        if (!haveEntry) {
            CloseSearch();
            return nullptr;
        }
        if (s_found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        // A name that cannot be joined within the path buffer is passed over, never cut.
        if (JoinMatchPath(s_searchPattern, s_found.cFileName, s_matchPath, sizeof s_matchPath) == 0) {
            return s_matchPath;
        }
    }
}

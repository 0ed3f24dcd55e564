#include "process/file_open_win.h"

#include <windows.h>

#include <cstdlib>

#include "process/msgbox_win.h"

namespace {

CRITICAL_SECTION s_lock;
bool s_lockReady;

void DeleteLock() { DeleteCriticalSection(&s_lock); }

void EnsureLock() {
    if (s_lockReady) return;
    InitializeCriticalSection(&s_lock);
    s_lockReady = true;
    atexit(DeleteLock);
}

// Names are ANSI on purpose: the game and its installer name their files through the system code
// page, and the updater must find the same files they do.
FILE* LockedOpen(const char* name, const char* mode) {
    EnterCriticalSection(&s_lock);
    FILE* f = fopen(name, mode);
    LeaveCriticalSection(&s_lock);
    return f;
}

}  // namespace

FILE* OpenGuarded(const char* name, const char* mode) {
    EnsureLock();
    for (;;) {
        FILE* f = LockedOpen(name, mode);
        if (f) return f;
        // Never holding the lock while the box waits for the player.
        ReportRetryable("Ffopen : ファイル[%s]の読み込みで失敗しました", name);
    }
}

bool FileExists(const char* name) {
    EnsureLock();
    EnterCriticalSection(&s_lock);
    FILE* f = fopen(name, "rb");
    if (f) fclose(f);
    LeaveCriticalSection(&s_lock);
    return f != nullptr;
}

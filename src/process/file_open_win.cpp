#include "process/file_open_win.h"

#include "process/msgbox_win.h"

// Names are ANSI on purpose: the game and its installer name their files through the system code
// page, and the updater must find the same files they do.
FILE* OpenGuarded(const char* name, const char* mode) {
    for (;;) {
        FILE* f = fopen(name, mode);
        if (f) return f;
        if (ReportRetryable("Ffopen : ファイル[%s]の読み込みで失敗しました", name) != 0) return nullptr;
    }
}

bool FileExists(const char* name) {
    FILE* f = fopen(name, "rb");
    if (f) fclose(f);
    return f != nullptr;
}

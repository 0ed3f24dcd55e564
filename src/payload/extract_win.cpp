#include "payload/extract_win.h"

#include <windows.h>

#include <cstring>

#include "common/alloc.h"
#include "common/str_util.h"

#include "payload/progress_win.h"
#include "payload/staging.h"
#include "process/launch_win.h"
#include "process/msgbox_win.h"
#include "process/workdir.h"

namespace {

struct Target {
    HANDLE out;        // INVALID_HANDLE_VALUE when no file is open
    HANDLE old;        // the installed file a delta reads, or INVALID_HANDLE_VALUE
    const char* dest;  // the folder extracted into
};

int GetKind(void*, const char* path, bool* readOnly) {
    DWORD attr = GetFileAttributesA(path);
    if (attr == INVALID_FILE_ATTRIBUTES) return kStageMissing;
    *readOnly = (attr & FILE_ATTRIBUTE_READONLY) != 0;
    return (attr & FILE_ATTRIBUTE_DIRECTORY) ? kStageFolder : kStageFile;
}

// The journal stays open between its lines: opening it for each of a few hundred lines costs more
// than the lines. Any other use of its name closes it first.
HANDLE s_journal = INVALID_HANDLE_VALUE;
char s_journalPath[kMaxPathBytes];

void ReleaseJournal(const char* path) {
    if (s_journal == INVALID_HANDLE_VALUE || (path && strcmp(path, s_journalPath) != 0)) return;
    CloseHandle(s_journal);
    s_journal = INVALID_HANDLE_VALUE;
}

int RenameFile(void*, const char* from, const char* to) {
    ReleaseJournal(from);
    return MoveFileA(from, to) ? 0 : -1;
}

int RemoveFile(void*, const char* path) {
    ReleaseJournal(path);
    return DeleteFileA(path) ? 0 : -1;
}
int RemoveDir(void*, const char* path) { return RemoveDirectoryA(path) ? 0 : -1; }
int MakeDir(void*, const char* path) { return CreateDirectoryA(path, nullptr) ? 0 : -1; }

// A running program's image or a loaded library can be renamed, but not opened for writing. Nothing
// has moved yet, so the player may close the game and try again; Cancel refuses the update.
int OpenExclusive(void*, const char* path) {
    for (;;) {
        HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return 0;
        }
        DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) return -1;
        if (!AskRetry(GetCopyProgressWindow(),
                      "ファイル[%s]は使用中のため置き換えられません。\nゲームを終了してから[再試行]を押してください。",
                      path)) {
            return -1;
        }
    }
}

// Written straight to the system: once WriteFile returns, the line outlives this process.
int AppendFile(void*, const char* path, const char* bytes, size_t n) {
    if (s_journal == INVALID_HANDLE_VALUE || strcmp(path, s_journalPath) != 0) {
        ReleaseJournal(nullptr);
        if (CopyStr(s_journalPath, sizeof s_journalPath, path) != 0) return -1;
        s_journal = CreateFileA(path, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (s_journal == INVALID_HANDLE_VALUE) return -1;
    }
    DWORD done = 0;
    if (WriteFile(s_journal, bytes, static_cast<DWORD>(n), &done, nullptr) && done == n) return 0;
    ReleaseJournal(nullptr);
    return -1;
}

int LoadFile(void*, const char* path, size_t maxBytes, char** bytes, size_t* n) {
    ReleaseJournal(path);
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    int rc = -1;
    DWORD high = 0;
    DWORD size = GetFileSize(h, &high);
    DWORD got = 0;
    char* block = nullptr;
    if (size == INVALID_FILE_SIZE || high != 0 || size > maxBytes) goto done;
    block = static_cast<char*>(AllocChecked(size ? size : 1));
    if (!block || !ReadFile(h, block, size, &got, nullptr) || got != size) goto done;
    *bytes = block;
    *n = size;
    block = nullptr;
    rc = 0;
done:
    FreeChecked(block);
    CloseHandle(h);
    return rc;
}

const StageFs kWindowsFs = {GetKind, RenameFile, RemoveFile, RemoveDir, MakeDir, OpenExclusive, AppendFile, LoadFile};

int CreateDir(void*, const char* path, const PayloadRecord*) {
    CreateDirectoryA(path, nullptr);  // usually exists already; a missing one fails the next open
    return 0;
}

// Opens path for writing; during the update that is the file's temporary name.
int OpenFile(void* ctx, const char* path, const PayloadRecord* rec) {
    Target* t = static_cast<Target*>(ctx);
    // Whole 128 KiB blocks go straight to the file: a stream's buffer would only copy them.
    t->out = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (t->out == INVALID_HANDLE_VALUE) return -1;
    char shown[kPayloadNameBytes];
    // The player sees where the file goes, not its temporary name.
    if (JoinPayloadPath(t->dest, rec->name, shown, sizeof shown) != 0) CopyStr(shown, sizeof shown, path);
    ShowCopyFile(shown, rec->size);
    return 0;
}

int WriteBlock(void* ctx, const uint8_t* bytes, size_t n, uint32_t fileWritten, uint32_t consumed) {
    Target* t = static_cast<Target*>(ctx);
    DWORD done = 0;
    if (!WriteFile(t->out, bytes, static_cast<DWORD>(n), &done, nullptr) || done != n) return -1;
    ShowCopyProgress(fileWritten, consumed);
    return PumpMessages() < 0 ? -1 : 0;
}

int CloseFile(void* ctx, const char*, const PayloadRecord* rec, bool ok) {
    Target* t = static_cast<Target*>(ctx);
    if (t->out == INVALID_HANDLE_VALUE) return ok ? 0 : -1;
    if (ok) {
        // Set through the handle that wrote the file, after its last write, so nothing moves it
        // again; a rename keeps it. The result is not checked: a file without its time still works.
        FILETIME ft;
        ft.dwLowDateTime = static_cast<DWORD>(rec->time);
        ft.dwHighDateTime = static_cast<DWORD>(rec->time >> 32);
        SetFileTime(t->out, nullptr, nullptr, &ft);
    }
    bool closed = CloseHandle(t->out) != 0;
    t->out = INVALID_HANDLE_VALUE;
    return ok && closed ? 0 : -1;
}

// The program's own file, positioned at the first record; null when it cannot be read as one.
FILE* OpenPayload(PayloadReader* reader) {
    char self[kMaxPathBytes];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (n == 0 || n >= sizeof self) return nullptr;
    FILE* f = fopen(self, "rb");
    if (f && OpenPayloadReader(f, reader) != 0) {
        fclose(f);
        f = nullptr;
    }
    return f;
}

void CloseOld(void* ctx) {
    Target* t = static_cast<Target*>(ctx);
    if (t->old != INVALID_HANDLE_VALUE) CloseHandle(t->old);
    t->old = INVALID_HANDLE_VALUE;
}

// The installed file a delta applies to, read in place while its result goes to the temporary name.
int OpenOld(void* ctx, const char* path, const PayloadRecord*, uint64_t* size) {
    Target* t = static_cast<Target*>(ctx);
    t->old = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (t->old == INVALID_HANDLE_VALUE) return -1;
    LARGE_INTEGER n;
    if (!GetFileSizeEx(t->old, &n)) {
        CloseOld(ctx);
        return -1;
    }
    *size = static_cast<uint64_t>(n.QuadPart);
    return 0;
}

// Hashing a large file takes a while before its first block is written: the windows stay alive.
int ReadOld(void* ctx, uint64_t offset, uint8_t* dst, size_t n) {
    Target* t = static_cast<Target*>(ctx);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    if (!SetFilePointerEx(t->old, at, nullptr, FILE_BEGIN) || !ReadFile(t->old, dst, static_cast<DWORD>(n), &got, nullptr) ||
        got != n)
        return -1;
    return PumpMessages() < 0 ? -1 : 0;
}

// An installed file that no delta of this update applies to: the player has another version.
void ReportVersionMismatch(const char* dest, const char* name) {
    char path[kPayloadNameBytes];
    if (JoinPayloadPath(dest, name, path, sizeof path) != 0) CopyStr(path, sizeof path, name);
    CloseCopyProgress();
    ReportError(
        "%s は、このアップデートが対象とするバージョンのファイルではありません。\n"
        "このアップデートはお使いのバージョンには適用できません。",
        path);
}

}  // namespace

void ReportPayloadFailure() {
    CloseCopyProgress();
    ReportError("ファイルの読み込みに失敗しました。ファイルが壊れている可能性があります。");
}

int ExtractPayload(const char* dest, int mode) {
    PayloadReader reader;
    FILE* f = OpenPayload(&reader);
    if (!f) {
        ReportPayloadFailure();
        return kRunFailed;
    }

    Target target = {};
    target.out = INVALID_HANDLE_VALUE;
    target.old = INVALID_HANDLE_VALUE;
    target.dest = dest;
    ExtractOps ops = {CreateDir, OpenFile, WriteBlock, CloseFile, OpenOld, ReadOld, CloseOld};
    ExtractResult result;
    int rc;
    if (mode == kExtractAll) {
        // Only the update stages: start-up writes into a fresh work folder that a failure removes whole.
        OpenCopyProgress(static_cast<int32_t>(reader.total));  // without it the update runs unseen
        rc = RunStagedExtraction(&reader, dest, &kWindowsFs, &ops, &target, GetTickCount(), &result);
    } else {
        rc = RunPayloadExtraction(&reader, dest, mode, &ops, &target, &result);
    }
    if (target.out != INVALID_HANDLE_VALUE) CloseHandle(target.out);
    CloseOld(&target);
    ReleaseJournal(nullptr);
    fclose(f);
    int quitCode;
    if (GetQuitCode(&quitCode)) {
        CloseCopyProgress();
        return kRunQuit;
    }
    if (rc != 0 && result.error == kPayloadOldMismatch) {
        ReportVersionMismatch(dest, result.name);
        return kRunFailed;
    }
    if (rc != 0) {
        ReportPayloadFailure();
        return kRunFailed;
    }
    CloseCopyProgress();
    return 0;
}

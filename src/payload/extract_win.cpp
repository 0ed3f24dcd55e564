#include "payload/extract_win.h"

#include <windows.h>

#include <cstdlib>

#include "common/str_util.h"

#include "payload/progress_win.h"
#include "payload/staging.h"
#include "process/launch_win.h"
#include "process/msgbox_win.h"
#include "process/workdir.h"
#include "process/workdir_win.h"

namespace {

struct Target {
    HWND window;
    FILE* out;
    StageJournal* journal;          // ExtractAll only: files go to temporary names first
    bool failed;                    // a created folder could not be recorded
    char temp[kPayloadNameBytes];   // where the open file is written
};

int GetKind(void*, const char* path, bool* readOnly) {
    DWORD attr = GetFileAttributesA(path);
    if (attr == INVALID_FILE_ATTRIBUTES) return kStageMissing;
    *readOnly = (attr & FILE_ATTRIBUTE_READONLY) != 0;
    return (attr & FILE_ATTRIBUTE_DIRECTORY) ? kStageFolder : kStageFile;
}

int RenameFile(void*, const char* from, const char* to) { return MoveFileA(from, to) ? 0 : -1; }
int RemoveFile(void*, const char* path) { return DeleteFileA(path) ? 0 : -1; }
int RemoveDir(void*, const char* path) { return RemoveDirectoryA(path) ? 0 : -1; }

const StageFs kWindowsFs = {GetKind, RenameFile, RemoveFile, RemoveDir};

void CreateDir(void* ctx, const char* path, const PayloadRecord*) {
    Target* t = static_cast<Target*>(ctx);
    // Usually exists already; a missing one fails the next open.
    if (!CreateDirectoryA(path, nullptr) || !t->journal) return;
    if (AddCreatedFolder(t->journal, path) != 0) {
        RemoveDirectoryA(path);
        t->failed = true;
    }
}

int OpenFile(void* ctx, const char* path, const PayloadRecord* rec) {
    Target* t = static_cast<Target*>(ctx);
    if (t->failed) return -1;
    if (!t->journal) {
        CopyStr(t->temp, sizeof t->temp, path);
    } else if (AddStagedFile(t->journal, path, t->temp, sizeof t->temp) != 0) {
        return -1;
    }
    t->out = fopen(t->temp, "wb");
    if (!t->out) return -1;
    ShowCopyFile(t->window, path, rec->size);  // the player sees where the file goes, not its temporary name
    return 0;
}

int WriteBlock(void* ctx, const uint8_t* bytes, size_t n, uint32_t fileWritten, uint32_t consumed) {
    Target* t = static_cast<Target*>(ctx);
    if (fwrite(bytes, 1, n, t->out) != n) return -1;
    ShowCopyProgress(t->window, fileWritten, consumed);
    PumpMessages();
    return 0;
}

void SetWriteTime(const char* path, uint64_t time) {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(time);
    ft.dwHighDateTime = static_cast<DWORD>(time >> 32);
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
}

int CloseFile(void* ctx, const char*, const PayloadRecord* rec, bool ok) {
    Target* t = static_cast<Target*>(ctx);
    if (!t->out) return ok ? 0 : -1;
    bool closed = fclose(t->out) == 0;  // a full disk may only show when the buffer is flushed
    t->out = nullptr;
    if (!ok || !closed) return -1;
    SetWriteTime(t->temp, rec->time);  // a rename keeps it
    return 0;
}

[[noreturn]] void FailExtraction(FILE* payload) {
    if (payload) fclose(payload);
    FailPayload();
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

// Checks every path before anything is written, then rewinds to the first record.
int CheckPaths(FILE* f, PayloadReader* reader, const char* dest) {
    if (CheckStagePaths(reader, dest) != 0) return -1;
    return OpenPayloadReader(f, reader);
}

}  // namespace

void FailPayload() {
    CloseCopyProgress();
    ReportError("ファイルの読み込みに失敗しました。ファイルが壊れている可能性があります。");
    RemoveWorkFolder();
    exit(-1);
}

void ExtractPayload(const char* dest, int mode) {
    PayloadReader reader;
    FILE* f = OpenPayload(&reader);
    if (!f) FailExtraction(nullptr);

    Target target = {};
    StageJournal journal;
    InitStageJournal(&journal, &kWindowsFs, nullptr, GetTickCount());
    if (mode == kExtractAll) {
        // Only the update stages: start-up writes into a fresh work folder that a failure removes whole.
        target.journal = &journal;
        target.window = OpenCopyProgress(static_cast<int32_t>(reader.total));
    }
    ExtractOps ops = {CreateDir, OpenFile, WriteBlock, CloseFile};
    ExtractResult result;
    int rc = 0;
    if (target.journal) rc = CheckPaths(f, &reader, dest);
    if (rc == 0) rc = RunPayloadExtraction(&reader, dest, mode, &ops, &target, &result);
    if (target.out) fclose(target.out);
    if (rc == 0 && target.failed) rc = -1;
    if (target.journal) {
        if (rc == 0) {
            rc = CommitStaged(&journal);
        } else {
            RollBackStaged(&journal);
        }
    }
    FreeStageJournal(&journal);
    if (rc != 0) FailExtraction(f);
    fclose(f);
    CloseCopyProgress();
}

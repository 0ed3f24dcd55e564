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
    HANDLE out;                     // INVALID_HANDLE_VALUE when no file is open
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
    // Whole 128 KiB blocks go straight to the file: a stream's buffer would only copy them.
    t->out = CreateFileA(t->temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (t->out == INVALID_HANDLE_VALUE) return -1;
    ShowCopyFile(path, rec->size);  // the player sees where the file goes, not its temporary name
    return 0;
}

int WriteBlock(void* ctx, const uint8_t* bytes, size_t n, uint32_t fileWritten, uint32_t consumed) {
    Target* t = static_cast<Target*>(ctx);
    DWORD done = 0;
    if (!WriteFile(t->out, bytes, static_cast<DWORD>(n), &done, nullptr) || done != n) return -1;
    ShowCopyProgress(fileWritten, consumed);
    PumpMessages();
    return 0;
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
    target.out = INVALID_HANDLE_VALUE;
    StageJournal journal;
    InitStageJournal(&journal, &kWindowsFs, nullptr, GetTickCount());
    if (mode == kExtractAll) {
        // Only the update stages: start-up writes into a fresh work folder that a failure removes whole.
        target.journal = &journal;
        OpenCopyProgress(static_cast<int32_t>(reader.total));  // without it the update runs unseen
    }
    ExtractOps ops = {CreateDir, OpenFile, WriteBlock, CloseFile};
    ExtractResult result;
    int rc = 0;
    if (target.journal) rc = CheckPaths(f, &reader, dest);
    if (rc == 0) rc = RunPayloadExtraction(&reader, dest, mode, &ops, &target, &result);
    if (target.out != INVALID_HANDLE_VALUE) CloseHandle(target.out);
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

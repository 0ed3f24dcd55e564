#include "payload/extract_win.h"

#include <windows.h>

#include <cstring>

#include "common/alloc.h"
#include "common/str_util.h"

#include "payload/copy_run.h"
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

// A question the copy's worker needs asked: the window's thread shows it and answers.
struct Question {
    HANDLE asked;     // set by the worker
    HANDLE answered;  // set by the window's thread
    DWORD windowThread;
    const char* path;
    bool retry;
};
Question s_question;

const char kInUseText[] = "ファイル[%s]は使用中のため置き換えられません。\nゲームを終了してから[再試行]を押してください。";

// On the window's thread, over the copy window; false once the program is quitting.
void AnswerQuestion(bool quitting) {
    s_question.retry = !quitting && AskRetry(GetCopyProgressWindow(), kInUseText, s_question.path);
    SetEvent(s_question.answered);
}

bool AskInUse(const char* path) {
    if (!s_question.asked || GetCurrentThreadId() == s_question.windowThread)
        return AskRetry(GetCopyProgressWindow(), kInUseText, path);
    s_question.path = path;
    SetEvent(s_question.asked);
    WaitForSingleObject(s_question.answered, INFINITE);
    return s_question.retry;
}

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
        if (!AskInUse(path)) return -1;
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
int OpenFile(void* ctx, const char* path, const PayloadRecord*) {
    Target* t = static_cast<Target*>(ctx);
    // Whole 128 KiB blocks go straight to the file: a stream's buffer would only copy them.
    t->out = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return t->out == INVALID_HANDLE_VALUE ? -1 : 0;
}

int WriteBlock(void* ctx, const uint8_t* bytes, size_t n, uint32_t, uint32_t) {
    Target* t = static_cast<Target*>(ctx);
    DWORD done = 0;
    return WriteFile(t->out, bytes, static_cast<DWORD>(n), &done, nullptr) && done == n ? 0 : -1;
}

// Start-up's walk runs on the window's thread, which stays alive between blocks.
int WriteBlockAndPump(void* ctx, const uint8_t* bytes, size_t n, uint32_t fileWritten, uint32_t consumed) {
    if (WriteBlock(ctx, bytes, n, fileWritten, consumed) != 0) return -1;
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

int ReadOld(void* ctx, uint64_t offset, uint8_t* dst, size_t n) {
    Target* t = static_cast<Target*>(ctx);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    if (!SetFilePointerEx(t->old, at, nullptr, FILE_BEGIN) || !ReadFile(t->old, dst, static_cast<DWORD>(n), &got, nullptr) ||
        got != n)
        return -1;
    return 0;
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

const DWORD kWatchMs = 40;  // as often as the copy window is redrawn

// The copy's writer thread and the two semaphores of its hand-over.
struct Writer {
    HANDLE thread;
    HANDLE semaphores[2];
    void (*fn)(void*);
    void* arg;
};
Writer s_writer;

DWORD WINAPI RunWriter(void*) {
    s_writer.fn(s_writer.arg);
    return 0;
}

void JoinWriter(void*) {
    if (s_writer.thread) WaitForSingleObject(s_writer.thread, INFINITE);
    if (s_writer.thread) CloseHandle(s_writer.thread);
    for (HANDLE h : s_writer.semaphores) {
        if (h) CloseHandle(h);
    }
    memset(&s_writer, 0, sizeof s_writer);
}

int StartWriter(void*, void (*fn)(void*), void* arg) {
    s_writer.fn = fn;
    s_writer.arg = arg;
    s_writer.semaphores[kCopyBlockReady] = CreateSemaphoreW(nullptr, 0, kCopyBuffers, nullptr);
    s_writer.semaphores[kCopyBufferFree] = CreateSemaphoreW(nullptr, 0, kCopyBuffers, nullptr);
    if (s_writer.semaphores[0] && s_writer.semaphores[1])
        s_writer.thread = CreateThread(nullptr, 0, RunWriter, nullptr, 0, nullptr);
    if (s_writer.thread) return 0;
    JoinWriter(nullptr);
    return -1;
}

void WaitWriter(void*, int semaphore) { WaitForSingleObject(s_writer.semaphores[semaphore], INFINITE); }
void PostWriter(void*, int semaphore) { ReleaseSemaphore(s_writer.semaphores[semaphore], 1, nullptr); }
void YieldWriter(void*) { SwitchToThread(); }

const CopyThreads kWriterThreads = {nullptr, StartWriter, JoinWriter, WaitWriter, PostWriter, YieldWriter};

DWORD WINAPI CopyThread(void* job) {
    RunCopyJob(static_cast<CopyJob*>(job));
    return 0;
}

// The window's side of the copy until the worker ends: pumps messages, shows what the worker
// published at most 25 times a second, forwards Cancel and a WM_QUIT as the stop request, and asks
// the worker's questions.
void WatchCopy(CopyJob* job, HANDLE worker) {
    bool quitting = false;
    HANDLE waits[2] = {worker, s_question.asked};
    CopyView view;
    for (;;) {
        // Once quitting, nothing is pumped: the worker is only waited for.
        DWORD r = quitting ? WaitForMultipleObjects(2, waits, FALSE, INFINITE)
                           : MsgWaitForMultipleObjects(2, waits, FALSE, kWatchMs, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) break;
        if (r == WAIT_OBJECT_0 + 1) AnswerQuestion(quitting);
        if (!quitting && PumpMessages() < 0) {
            quitting = true;
            job->stop.store(kCopyQuit);
        } else if (!quitting && CopyCancelPressed()) {
            job->stop.store(kCopyCancel);
        }
        ReadCopyView(job, &view);
        ShowCopyView(&view, false);
    }
    ReadCopyView(job, &view);
    ShowCopyView(&view, true);  // the bars at their end
}

// The update's copy on a worker thread, or on this one when no thread can be had.
int RunCopy(PayloadReader* reader, const char* dest, const ExtractOps* ops, Target* target, ExtractResult* result,
            int* stopped) {
    CopyJob job;
    InitCopyJob(&job, reader, dest, &kWindowsFs, ops, target, GetTickCount(), &kWriterThreads);
    s_question.windowThread = GetCurrentThreadId();
    s_question.asked = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    s_question.answered = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE worker =
        s_question.asked && s_question.answered ? CreateThread(nullptr, 0, CopyThread, &job, 0, nullptr) : nullptr;
    if (worker) {
        WatchCopy(&job, worker);
        CloseHandle(worker);
    } else {
        RunCopyJob(&job);
    }
    if (s_question.asked) CloseHandle(s_question.asked);
    if (s_question.answered) CloseHandle(s_question.answered);
    s_question.asked = s_question.answered = nullptr;
    *result = job.result;
    *stopped = job.stopped;
    return job.rc;
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
    ExtractOps ops = {CreateDir, OpenFile, WriteBlock, CloseFile, OpenOld, ReadOld, CloseOld, nullptr};
    ExtractResult result;
    int stopped = kCopyGoOn;
    int rc;
    if (mode == kExtractAll) {
        // Only the update stages: start-up writes into a fresh work folder that a failure removes whole.
        OpenCopyProgress(static_cast<int32_t>(reader.total));  // without it the update runs unseen
        rc = RunCopy(&reader, dest, &ops, &target, &result, &stopped);
    } else {
        ops.write = WriteBlockAndPump;
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
    if (stopped == kCopyCancel) {
        CloseCopyProgress();
        ReportError("アップデートを中止しました");
        return -1;
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

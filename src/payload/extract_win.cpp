#include "payload/extract_win.h"

#include <windows.h>

#include <cstdlib>

#include "payload/progress_win.h"
#include "process/launch_win.h"
#include "process/msgbox_win.h"
#include "process/workdir.h"
#include "process/workdir_win.h"

namespace {

struct Target {
    HWND window;
    FILE* out;
};

void CreateDir(void*, const char* path, const PayloadRecord*) {
    CreateDirectoryA(path, nullptr);  // usually exists already; a missing one fails the next open
}

int OpenFile(void* ctx, const char* path, const PayloadRecord* rec) {
    Target* t = static_cast<Target*>(ctx);
    t->out = fopen(path, "wb");
    if (!t->out) return -1;
    ShowCopyFile(t->window, path, rec->size);
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

int CloseFile(void* ctx, const char* path, const PayloadRecord* rec, bool ok) {
    Target* t = static_cast<Target*>(ctx);
    if (!t->out) return ok ? 0 : -1;
    bool closed = fclose(t->out) == 0;  // a full disk may only show when the buffer is flushed
    t->out = nullptr;
    if (!ok || !closed) return -1;
    SetWriteTime(path, rec->time);
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

    Target target = {nullptr, nullptr};
    if (mode == kExtractAll) target.window = OpenCopyProgress(static_cast<int32_t>(reader.total));
    ExtractOps ops = {CreateDir, OpenFile, WriteBlock, CloseFile};
    ExtractResult result;
    int rc = RunPayloadExtraction(&reader, dest, mode, &ops, &target, &result);
    if (target.out) fclose(target.out);
    if (rc != 0) FailExtraction(f);
    fclose(f);
    CloseCopyProgress();
}

#include "payload/copy_run.h"

#include <cstring>

#include "common/str_util.h"

namespace {

// Stops the walk when asked to; relaxed is enough, the worker only needs to see it soon.
bool Stopping(CopyJob* job) {
    int stop = job->stop.load(std::memory_order_relaxed);
    if (stop == kCopyGoOn) return false;
    job->stopped = stop;
    return true;
}

void PublishFile(CopyJob* job, const PayloadRecord* rec) {
    while (job->pathBusy.test_and_set(std::memory_order_acquire)) {
    }
    // The player sees where the file goes, not its temporary name.
    if (JoinPayloadPath(job->dest, rec->name, job->path, sizeof job->path) != 0)
        CopyStr(job->path, sizeof job->path, rec->name);
    job->fileSize.store(rec->size, std::memory_order_relaxed);
    job->fileWritten.store(0, std::memory_order_relaxed);
    job->file.fetch_add(1, std::memory_order_relaxed);
    job->pathBusy.clear(std::memory_order_release);
}

int CopyCreateDir(void* ctx, const char* path, const PayloadRecord* rec) {
    CopyJob* job = static_cast<CopyJob*>(ctx);
    return job->fileOps->createDir ? job->fileOps->createDir(job->ctx, path, rec) : 0;
}

int CopyOpenFile(void* ctx, const char* path, const PayloadRecord* rec) {
    CopyJob* job = static_cast<CopyJob*>(ctx);
    if (Stopping(job)) return -1;
    PublishFile(job, rec);
    return job->fileOps->openFile ? job->fileOps->openFile(job->ctx, path, rec) : 0;
}

int CopyWrite(void* ctx, const uint8_t* bytes, size_t n, uint32_t fileWritten, uint32_t consumed) {
    CopyJob* job = static_cast<CopyJob*>(ctx);
    if (Stopping(job)) return -1;
    if (job->fileOps->write && job->fileOps->write(job->ctx, bytes, n, fileWritten, consumed) != 0) return -1;
    job->fileWritten.store(fileWritten, std::memory_order_relaxed);
    job->consumed.store(consumed, std::memory_order_relaxed);
    return 0;
}

// A stop after a file's last block still comes before the commit: that file fails too.
int CopyCloseFile(void* ctx, const char* path, const PayloadRecord* rec, bool ok) {
    CopyJob* job = static_cast<CopyJob*>(ctx);
    job->consumed.store(job->reader->consumed, std::memory_order_relaxed);  // the record's end too
    if (ok && Stopping(job)) ok = false;
    int rc = job->fileOps->closeFile ? job->fileOps->closeFile(job->ctx, path, rec, ok) : 0;
    return ok ? rc : -1;
}

int CopyOpenOld(void* ctx, const char* path, const PayloadRecord* rec, uint64_t* size) {
    CopyJob* job = static_cast<CopyJob*>(ctx);
    return job->fileOps->openOld ? job->fileOps->openOld(job->ctx, path, rec, size) : -1;
}

// Hashing a large installed file takes a while before anything is written: Cancel reaches it too.
int CopyReadOld(void* ctx, uint64_t offset, uint8_t* dst, size_t n) {
    CopyJob* job = static_cast<CopyJob*>(ctx);
    if (Stopping(job)) return -1;
    return job->fileOps->readOld(job->ctx, offset, dst, n);
}

void CopyCloseOld(void* ctx) {
    CopyJob* job = static_cast<CopyJob*>(ctx);
    if (job->fileOps->closeOld) job->fileOps->closeOld(job->ctx);
}

const ExtractOps kCopyOps = {CopyCreateDir, CopyOpenFile, CopyWrite, CopyCloseFile, CopyOpenOld, CopyReadOld, CopyCloseOld};

}  // namespace

void InitCopyJob(CopyJob* job, PayloadReader* reader, const char* dest, const StageFs* fs, const ExtractOps* fileOps,
                 void* ctx, uint32_t seed) {
    job->reader = reader;
    job->dest = dest;
    job->fs = fs;
    job->fileOps = fileOps;
    job->ctx = ctx;
    job->seed = seed;
    job->rc = 0;
    job->stopped = kCopyGoOn;
    memset(&job->result, 0, sizeof job->result);
    job->stop.store(kCopyGoOn);
    job->file.store(0);
    job->fileSize.store(0);
    job->fileWritten.store(0);
    job->consumed.store(0);
    job->pathBusy.clear();
    job->path[0] = '\0';
}

void RunCopyJob(CopyJob* job) {
    job->rc = RunStagedExtraction(job->reader, job->dest, job->fs, job->ctx, &kCopyOps, job, job->seed, &job->result);
    // A walk that failed after the request is the request's doing; one that ended did not stop.
    if (job->rc == 0) job->stopped = kCopyGoOn;
    job->consumed.store(job->reader->consumed, std::memory_order_relaxed);
}

void ReadCopyView(CopyJob* job, CopyView* view) {
    while (job->pathBusy.test_and_set(std::memory_order_acquire)) {
    }
    view->file = job->file.load(std::memory_order_relaxed);
    memcpy(view->path, job->path, sizeof view->path);
    view->fileSize = job->fileSize.load(std::memory_order_relaxed);
    view->fileWritten = job->fileWritten.load(std::memory_order_relaxed);
    view->consumed = job->consumed.load(std::memory_order_relaxed);
    job->pathBusy.clear(std::memory_order_release);
}

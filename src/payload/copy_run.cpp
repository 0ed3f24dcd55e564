#include "payload/copy_run.h"

#include <cstring>

#include "common/alloc.h"
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

void PublishBlock(CopyJob* job, uint32_t fileWritten, uint32_t consumed) {
    job->fileWritten.store(fileWritten, std::memory_order_relaxed);
    job->consumed.store(consumed, std::memory_order_relaxed);
}

// The semaphores' counts live here and the platform's only wake a side that has to wait: under
// Wine every wait or post on a kernel object is a round trip to another process. The other side
// usually frees a slot or hands a step over within a few yields, so a side looks that many times
// before it sleeps.
const int kCopyYields = 1000;

void Take(CopyJob* job, int semaphore) {
    for (int i = 0; i < kCopyYields && job->counts[semaphore].load(std::memory_order_relaxed) <= 0; ++i)
        job->threads->yield(job->threads->ctx);
    if (job->counts[semaphore].fetch_sub(1) <= 0) job->threads->wait(job->threads->ctx, semaphore);
}

void Give(CopyJob* job, int semaphore) {
    if (job->counts[semaphore].fetch_add(1) < 0) job->threads->post(job->threads->ctx, semaphore);
}

// The next free slot of the ring, for one step; Send hands it to the writer.
CopyBlock* Claim(CopyJob* job, int step) {
    Take(job, kCopyBufferFree);
    CopyBlock* b = &job->blocks[job->put++ % kCopyBuffers];
    b->step = step;
    return b;
}

void Send(CopyJob* job) { Give(job, kCopyBlockReady); }

// A step naming the file: its temporary path and its record travel with it.
void SendFileStep(CopyJob* job, int step, const char* path, const PayloadRecord* rec, bool ok) {
    CopyBlock* b = Claim(job, step);
    CopyStr(b->path, sizeof b->path, path);
    b->rec = *rec;
    b->ok = ok;
    b->consumed = job->reader->consumed;
    Send(job);
}

// Waits until the writer has done every step handed over. Returns 0, or -1 when one failed.
int Drain(CopyJob* job) {
    if (!job->writing) return 0;
    for (int i = 0; i < kCopyBuffers; ++i) Take(job, kCopyBufferFree);
    for (int i = 0; i < kCopyBuffers; ++i) Give(job, kCopyBufferFree);
    return job->writeFailed.load() ? -1 : 0;
}

int OpenTarget(CopyJob* job, const char* path, const PayloadRecord* rec) {
    PublishFile(job, rec);
    return job->fileOps->openFile ? job->fileOps->openFile(job->ctx, path, rec) : 0;
}

int WriteTarget(CopyJob* job, const uint8_t* bytes, size_t n, uint32_t fileWritten, uint32_t consumed) {
    if (job->fileOps->write && job->fileOps->write(job->ctx, bytes, n, fileWritten, consumed) != 0) return -1;
    PublishBlock(job, fileWritten, consumed);
    return 0;
}

int CloseTarget(CopyJob* job, const char* path, const PayloadRecord* rec, bool ok, uint32_t consumed) {
    int rc = job->fileOps->closeFile ? job->fileOps->closeFile(job->ctx, path, rec, ok) : 0;
    job->consumed.store(consumed, std::memory_order_relaxed);  // the record's end too
    return ok ? rc : -1;
}

// One step on the writer. After a failure nothing more is opened or written, but an open file is
// still closed, so that the rollback can remove it.
void RunStep(CopyJob* job, const CopyBlock* b) {
    bool failed = job->writeFailed.load();
    int rc = 0;
    if (b->step == kCopyOpen && !failed) {
        rc = OpenTarget(job, b->path, &b->rec);
        job->fileOpen = rc == 0;
    } else if (b->step == kCopyData && !failed) {
        rc = WriteTarget(job, b->bytes, b->n, b->fileWritten, b->consumed);
    } else if (b->step == kCopyClose && job->fileOpen) {
        job->fileOpen = false;
        rc = CloseTarget(job, b->path, &b->rec, b->ok && !failed, b->consumed);
    }
    if (rc != 0) job->writeFailed.store(true);
}

// The writer thread: runs the steps in the order handed over until the last.
void WriteBlocks(void* arg) {
    CopyJob* job = static_cast<CopyJob*>(arg);
    for (;;) {
        Take(job, kCopyBlockReady);
        const CopyBlock* b = &job->blocks[job->taken++ % kCopyBuffers];
        int step = b->step;
        if (step != kCopyEnd) RunStep(job, b);
        Give(job, kCopyBufferFree);
        if (step == kCopyEnd) return;
    }
}

int CopyCreateDir(void* ctx, const char* path, const PayloadRecord* rec) {
    CopyJob* job = static_cast<CopyJob*>(ctx);
    return job->fileOps->createDir ? job->fileOps->createDir(job->ctx, path, rec) : 0;
}

// With the writer, the file is opened there: a failure shows at the worker's next step.
int CopyOpenFile(void* ctx, const char* path, const PayloadRecord* rec) {
    CopyJob* job = static_cast<CopyJob*>(ctx);
    if (Stopping(job) || job->writeFailed.load()) return -1;
    if (!job->writing) return OpenTarget(job, path, rec);
    SendFileStep(job, kCopyOpen, path, rec, true);
    return 0;
}

int CopyWrite(void* ctx, const uint8_t* bytes, size_t n, uint32_t fileWritten, uint32_t consumed) {
    CopyJob* job = static_cast<CopyJob*>(ctx);
    if (Stopping(job) || job->writeFailed.load()) return -1;
    if (!job->writing) return WriteTarget(job, bytes, n, fileWritten, consumed);
    CopyBlock* b = Claim(job, kCopyData);
    if (n) memcpy(b->bytes, bytes, n);
    b->n = n;
    b->fileWritten = fileWritten;
    b->consumed = consumed;
    Send(job);
    return 0;
}

// A stop after a file's last block still comes before the commit: that file fails too.
int CopyCloseFile(void* ctx, const char* path, const PayloadRecord* rec, bool ok) {
    CopyJob* job = static_cast<CopyJob*>(ctx);
    if (ok && (Stopping(job) || job->writeFailed.load())) ok = false;
    if (!job->writing) return CloseTarget(job, path, rec, ok, job->reader->consumed);
    SendFileStep(job, kCopyClose, path, rec, ok);
    return ok ? 0 : -1;
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

// Nothing moves, and nothing is undone, while the writer still holds a file.
int CopySettle(void* ctx) { return Drain(static_cast<CopyJob*>(ctx)); }

const ExtractOps kCopyOps = {CopyCreateDir, CopyOpenFile, CopyWrite,    CopyCloseFile,
                             CopyOpenOld,   CopyReadOld,  CopyCloseOld, CopySettle};

}  // namespace

void InitCopyJob(CopyJob* job, PayloadReader* reader, const char* dest, const StageFs* fs, const ExtractOps* fileOps,
                 void* ctx, uint32_t seed, const CopyThreads* threads) {
    job->reader = reader;
    job->dest = dest;
    job->fs = fs;
    job->fileOps = fileOps;
    job->ctx = ctx;
    job->seed = seed;
    job->threads = threads;
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
    memset(job->blocks, 0, sizeof job->blocks);
    job->put = job->taken = 0;
    job->writing = false;
    job->fileOpen = false;
    job->writeFailed.store(false);
    job->counts[kCopyBlockReady].store(0);
    job->counts[kCopyBufferFree].store(kCopyBuffers);
}

void RunCopyJob(CopyJob* job) {
    bool buffers = true;
    for (int i = 0; job->threads && i < kCopyBuffers; ++i) {
        job->blocks[i].bytes = static_cast<uint8_t*>(AllocChecked(kPayloadBlockBytes));
        buffers = buffers && job->blocks[i].bytes;
    }
    if (!buffers) {
        job->rc = -1;
        job->result.error = kPayloadNoMemory;
    } else {
        job->writing = job->threads && job->threads->start(job->threads->ctx, WriteBlocks, job) == 0;
        job->rc = RunStagedExtraction(job->reader, job->dest, job->fs, job->ctx, &kCopyOps, job, job->seed, &job->result);
    }
    if (job->writing) {
        Claim(job, kCopyEnd);
        Send(job);
        job->threads->join(job->threads->ctx);
        job->writing = false;
    }
    for (CopyBlock& b : job->blocks) FreeChecked(b.bytes);
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

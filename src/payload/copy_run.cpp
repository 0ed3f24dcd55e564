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
// Wine every wait or post on a kernel object is a round trip to another process.
void Take(CopyJob* job, int semaphore) {
    if (job->counts[semaphore].fetch_sub(1) <= 0) job->threads->wait(job->threads->ctx, semaphore);
}

void Give(CopyJob* job, int semaphore) {
    if (job->counts[semaphore].fetch_add(1) < 0) job->threads->post(job->threads->ctx, semaphore);
}

// Copies a block into the next free buffer of the ring and hands it to the writer.
void HandOver(CopyJob* job, const uint8_t* bytes, size_t n, uint32_t fileWritten, uint32_t consumed, bool end) {
    Take(job, kCopyBufferFree);
    CopyBlock* b = &job->blocks[job->put++ % kCopyBuffers];
    if (n) memcpy(b->bytes, bytes, n);
    b->n = n;
    b->fileWritten = fileWritten;
    b->consumed = consumed;
    b->end = end;
    Give(job, kCopyBlockReady);
}

// Waits until the writer has written every block handed over. Returns 0, or -1 when one failed.
int Drain(CopyJob* job) {
    if (!job->writing) return 0;
    for (int i = 0; i < kCopyBuffers; ++i) Take(job, kCopyBufferFree);
    for (int i = 0; i < kCopyBuffers; ++i) Give(job, kCopyBufferFree);
    return job->writeFailed.load() ? -1 : 0;
}

// The writer thread: writes the blocks in the order handed over; after a failure it only frees
// them, and the worker fails at its next block or close.
void WriteBlocks(void* arg) {
    CopyJob* job = static_cast<CopyJob*>(arg);
    for (;;) {
        Take(job, kCopyBlockReady);
        const CopyBlock* b = &job->blocks[job->taken++ % kCopyBuffers];
        bool end = b->end;
        if (!end && !job->writeFailed.load()) {
            if (job->fileOps->write && job->fileOps->write(job->ctx, b->bytes, b->n, b->fileWritten, b->consumed) != 0)
                job->writeFailed.store(true);
            else
                PublishBlock(job, b->fileWritten, b->consumed);
        }
        Give(job, kCopyBufferFree);
        if (end) return;
    }
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
    if (Stopping(job) || job->writeFailed.load()) return -1;
    if (job->writing) {
        HandOver(job, bytes, n, fileWritten, consumed, false);
        return 0;
    }
    if (job->fileOps->write && job->fileOps->write(job->ctx, bytes, n, fileWritten, consumed) != 0) return -1;
    PublishBlock(job, fileWritten, consumed);
    return 0;
}

// A stop after a file's last block still comes before the commit: that file fails too.
int CopyCloseFile(void* ctx, const char* path, const PayloadRecord* rec, bool ok) {
    CopyJob* job = static_cast<CopyJob*>(ctx);
    if (Drain(job) != 0) ok = false;
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
        HandOver(job, nullptr, 0, 0, 0, true);
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

#pragma once
// The update's copy as a worker thread runs it: the staged extraction, publishing what the copy
// window shows as it goes and reading between blocks whether the window's thread asked it to stop.
// The window's thread only reads what is published and sets the stop request; everything else of
// the job belongs to the worker until it has ended (joined).
#include <atomic>
#include <cstdint>

#include "payload/staging.h"

enum CopyStop {
    kCopyGoOn = 0,
    kCopyCancel = 1,  // the player pressed Cancel
    kCopyQuit = 2,    // the window's thread met WM_QUIT
};

// A thread and two counting semaphores the platform lends the copy, so that a writer thread makes
// and writes the files while the worker inflates ahead. Without them (or when start fails) the
// worker writes each file itself.
enum CopySemaphore {
    kCopyBlockReady = 0,  // steps handed to the writer
    kCopyBufferFree = 1,  // slots the worker may fill
};
const int kCopyBuffers = 8;  // a small file takes three: its open, its block and its close
struct CopyThreads {
    void* ctx;
    int (*start)(void* ctx, void (*fn)(void* arg), void* arg);  // 0, or -1 when no thread can be had
    void (*join)(void* ctx);
    // Semaphores that start at 0 and count at most kCopyBuffers.
    void (*wait)(void* ctx, int semaphore);  // takes one
    void (*post)(void* ctx, int semaphore);  // gives one
    void (*yield)(void* ctx);                // lets another thread run on this processor
};

// What the writer does with a slot of the ring.
enum CopyStep {
    kCopyOpen,   // opens path for rec
    kCopyData,   // writes bytes
    kCopyClose,  // closes the file; ok says whether it checked out
    kCopyEnd,    // the last hand-over
};
// One step on its way to the writer.
struct CopyBlock {
    int step;
    uint8_t* bytes;
    size_t n;
    uint32_t fileWritten;
    uint32_t consumed;
    bool ok;
    char path[kPayloadNameBytes];  // the temporary name, for kCopyOpen and kCopyClose
    PayloadRecord rec;
};

// What the window shows, as last published.
struct CopyView {
    uint32_t file;  // files begun; the path changed when this did
    char path[kPayloadNameBytes];
    uint32_t fileSize;
    uint32_t fileWritten;
    uint32_t consumed;  // payload bytes read
};

struct CopyJob {
    // Set before the worker starts.
    PayloadReader* reader;
    const char* dest;
    const StageFs* fs;
    const ExtractOps* fileOps;  // handed the temporary paths
    void* ctx;
    uint32_t seed;
    const CopyThreads* threads;  // null: the worker writes
    // The worker's results, read once it has ended.
    int rc;
    int stopped;  // the stop request that ended the run, or kCopyGoOn
    ExtractResult result;
    // Shared while it runs.
    std::atomic<int> stop;
    std::atomic<uint32_t> file, fileSize, fileWritten, consumed;
    std::atomic_flag pathBusy;
    char path[kPayloadNameBytes];
    // The hand-over, a ring of kCopyBuffers steps guarded by the semaphores: put counts the
    // worker's hand-overs, taken the writer's.
    CopyBlock blocks[kCopyBuffers];
    uint32_t put, taken;
    bool writing;   // the writer thread runs
    bool fileOpen;  // the writer's: its file is open
    std::atomic<bool> writeFailed;
    std::atomic<int> counts[2];  // each semaphore's count; below 0 while a side waits
};

void InitCopyJob(CopyJob* job, PayloadReader* reader, const char* dest, const StageFs* fs, const ExtractOps* fileOps,
                 void* ctx, uint32_t seed, const CopyThreads* threads);
// The worker's body: RunStagedExtraction into job->dest. When a writer thread can be had, it opens,
// writes and closes the files in the order handed over while the worker inflates ahead (joined
// before this returns); a failure there fails the walk at the worker's next step, and nothing moves
// until the writer has closed every file. A stop request met before a file, a block or a file's
// close fails the walk, so the folder is put back as it was, and sets job->stopped; once the last
// file is handed over, the commit is no longer stopped.
void RunCopyJob(CopyJob* job);
// The latest published state, read on any thread.
void ReadCopyView(CopyJob* job, CopyView* view);

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
    // The worker's results, read once it has ended.
    int rc;
    int stopped;  // the stop request that ended the run, or kCopyGoOn
    ExtractResult result;
    // Shared while it runs.
    std::atomic<int> stop;
    std::atomic<uint32_t> file, fileSize, fileWritten, consumed;
    std::atomic_flag pathBusy;
    char path[kPayloadNameBytes];
};

void InitCopyJob(CopyJob* job, PayloadReader* reader, const char* dest, const StageFs* fs, const ExtractOps* fileOps,
                 void* ctx, uint32_t seed);
// The worker's body: RunStagedExtraction into job->dest. A stop request met before a file, a
// block or a file's close fails the walk, so the folder is put back as it was, and sets
// job->stopped; once every file is written, the commit is no longer stopped.
void RunCopyJob(CopyJob* job);
// The latest published state, read on any thread.
void ReadCopyView(CopyJob* job, CopyView* view);

#include "payload/staging.h"

#include <cstring>

#include "common/sjis.h"
#include "common/str_util.h"
#include "payload/journal.h"

namespace {

// The extraction walk's calls, redirected to temporary names.
struct StageRun {
    StageJournal* journal;
    const ExtractOps* fileOps;
    void* ctx;
    char temp[kPayloadNameBytes];
    uint32_t files;
    uint32_t blocks;
};

int StageCreateDir(void* ctx, const char* path, const PayloadRecord*) {
    StageRun* run = static_cast<StageRun*>(ctx);
    StageJournal* journal = run->journal;
    char folder[kPayloadNameBytes];
    // A folder record's name ends in a separator (which may follow a trail byte such as 0x5C).
    if (CopyStr(folder, sizeof folder, path) != 0) return -1;
    const char* last = SjisFindLastChar(folder, '\\');
    if (last && last[1] == '\0') folder[last - folder] = '\0';
    if (StagePathExists(journal, folder)) return 0;  // usually there already
    // Journaled first, so that a kill right after the creation still leaves it known as ours.
    if (AddCreatedFolder(journal, folder) != 0) return -1;
    journal->fs->createDir(journal->ctx, folder);  // a missing folder fails the next open
    return 0;
}

int StageOpenFile(void* ctx, const char* path, const PayloadRecord* rec) {
    StageRun* run = static_cast<StageRun*>(ctx);
    if (AddStagedFile(run->journal, path, run->temp, sizeof run->temp) != 0) return -1;
    return run->fileOps->openFile ? run->fileOps->openFile(run->ctx, run->temp, rec) : 0;
}

int StageWrite(void* ctx, const uint8_t* bytes, size_t n, uint32_t fileWritten, uint32_t consumed) {
    StageRun* run = static_cast<StageRun*>(ctx);
    if (run->fileOps->write && run->fileOps->write(run->ctx, bytes, n, fileWritten, consumed) != 0) return -1;
    ReachStageStep("block", ++run->blocks);
    return 0;
}

int StageCloseFile(void* ctx, const char*, const PayloadRecord* rec, bool ok) {
    StageRun* run = static_cast<StageRun*>(ctx);
    int rc = run->fileOps->closeFile ? run->fileOps->closeFile(run->ctx, run->temp, rec, ok) : (ok ? 0 : -1);
    if (rc == 0) ReachStageStep("written", ++run->files);
    return rc;
}

// A delta reads the installed file in place; only what it makes goes to the temporary name.
int StageOpenOld(void* ctx, const char* path, const PayloadRecord* rec, uint64_t* size) {
    StageRun* run = static_cast<StageRun*>(ctx);
    return run->fileOps->openOld ? run->fileOps->openOld(run->ctx, path, rec, size) : -1;
}

int StageReadOld(void* ctx, uint64_t offset, uint8_t* dst, size_t n) {
    StageRun* run = static_cast<StageRun*>(ctx);
    return run->fileOps->readOld(run->ctx, offset, dst, n);
}

void StageCloseOld(void* ctx) {
    StageRun* run = static_cast<StageRun*>(ctx);
    if (run->fileOps->closeOld) run->fileOps->closeOld(run->ctx);
}

}  // namespace

int RunStagedExtraction(PayloadReader* reader, const char* folder, const StageFs* fs, void* fsCtx, const ExtractOps* fileOps,
                        void* ctx, uint32_t seed, ExtractResult* result) {
    memset(result, 0, sizeof *result);
    // What an interrupted run left is settled before anything of this run is written.
    if (RecoverStaged(fs, fsCtx, folder, seed) != 0) {
        result->error = kPayloadSinkFailed;
        return -1;
    }
    StageJournal journal;
    InitStageJournal(&journal, fs, fsCtx, folder, seed);
    StageRun run = {&journal, fileOps, ctx, {0}, 0, 0};
    const ExtractOps ops = {StageCreateDir, StageOpenFile, StageWrite,    StageCloseFile,
                            StageOpenOld,   StageReadOld,  StageCloseOld, nullptr};
    int rc = RunPayloadExtraction(reader, folder, kExtractAll, &ops, &run, result);
    // What the walk handed over is finished before anything moves or is undone.
    if (fileOps->settle && fileOps->settle(ctx) != 0 && rc == 0) {
        result->error = kPayloadSinkFailed;
        rc = -1;
    }
    if (rc == 0) {
        rc = CommitStaged(&journal);
        if (rc != 0) result->error = kPayloadSinkFailed;
    } else {
        RollBackStaged(&journal);
    }
    // Whatever could not be finished or undone stays journaled for the next run.
    EndStageJournal(&journal);
    result->files = run.files;
    FreeStageJournal(&journal);
    return rc;
}

#pragma once
// The walk over the payload records that both the program and the studio's tool run: which records
// each mode takes, where start-up's walk stops, and every check on the way. The caller supplies the
// file system through ExtractOps, so the platform side stays a few calls thick.
#include "payload/delta.h"
#include "payload/payload_format.h"

enum ExtractMode {
    kExtractAll = 0,         // every record, below the install folder
    kExtractSetupFiles = 1,  // the setup files only, into the work folder, no window
};

// Paths are "dest\name" in CP932; rec carries the record as stored. Any pointer may be null.
struct ExtractOps {
    // Creates the folder. Returns 0, or -1 to fail the walk. A folder that exists already, or
    // cannot be made, is no failure here: a file inside it then fails to open.
    int (*createDir)(void* ctx, const char* path, const PayloadRecord* rec);
    // Opens (creates or empties) the file; 0, or -1 to fail the walk.
    int (*openFile)(void* ctx, const char* path, const PayloadRecord* rec);
    PayloadSink write;
    // Closes the file after its stream; ok says whether it checked out (then the time is set).
    // Returns 0, or -1 to fail the walk.
    int (*closeFile)(void* ctx, const char* path, const PayloadRecord* rec, bool ok);
    // The installed file at path that a delta applies to: 0 with its size, or -1 when it is missing
    // or cannot be read. readOld reads it, closeOld closes it. With openOld null, deltas are only
    // checked, never applied, and a file no delta fits is no failure.
    int (*openOld)(void* ctx, const char* path, const PayloadRecord* rec, uint64_t* size);
    DeltaSource readOld;
    void (*closeOld)(void* ctx);
    // Only the staged update calls it: once its walk has ended, before anything is moved or undone.
    // Returns 0 when every file handed to the calls above is whole and closed, or -1. Null when
    // those calls finish their work before they return.
    int (*settle)(void* ctx);
};

// An update writes each file to a temporary name beside its destination first, "~vnXXXXX.tmp"
// with five hex digits; the walk checks that it fits, the staging makes and finds those names.
const uint32_t kStageIdCount = 0x100000;
const char kStagePrefix[] = "~vn";
const char kStageSuffix[] = ".tmp";

// "folder\~vnXXXXX.tmp" for dest's folder and id into dst. Returns 0, or -1 when it does not fit.
int FormatStagePath(const char* dest, uint32_t id, char* dst, size_t dstSize);

struct ExtractResult {
    int error;                     // kPayloadOk, or why the walk failed
    char name[kPayloadNameBytes];  // the record that failed or stopped the walk; empty at the end marker
    bool stopped;                  // start-up's walk ended at a deeper directory
    uint32_t files;                // file records written
};

// Walks the records of an open payload into dest (CP932, no trailing backslash). In kExtractAll
// mode every file's temporary name beside it must fit too (kPayloadLongPath). The delta records of
// a file come together, before its whole record if it has one: the first delta whose old content
// is the installed file's makes it, else the whole record does, else the walk fails with
// kPayloadOldMismatch naming the file; every installed file deltas apply to is checked so before
// the first call that writes. openFile and closeFile see a delta's record with its new
// size. Returns 0 when the walk ends normally, or -1 with result->error and result->name set;
// nothing written is undone.
int RunPayloadExtraction(PayloadReader* reader, const char* dest, int mode, const ExtractOps* ops, void* ctx,
                         ExtractResult* result);

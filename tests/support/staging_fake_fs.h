#pragma once
// A folder tree in memory behind the staging's file-system calls, failing them on demand or dying
// after a given number of changes (as a killed updater leaves its folder), and the small game
// folder and update the staging tests start from.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/alloc.h"
#include "payload/copy_run.h"
#include "payload/staging.h"
#include "support/payload_writer.h"

struct FakeNode {
    std::string name;  // as created, the key folds case as Windows does
    int kind;
    bool readOnly;
    std::string data;
    bool operator==(const FakeNode& o) const {
        return name == o.name && kind == o.kind && readOnly == o.readOnly && data == o.data;
    }
};

struct FakeFs {
    std::map<std::string, FakeNode> nodes;
    int renames = 0;
    int removes = 0;
    int writes = 0;                       // journal appends, file creations and blocks written
    int changes = 0;                      // every call that changes the tree
    std::vector<int> failRenames;         // these renames (counting from 1) fail
    int failRemoveAt = 0;                 // this removal (of a file or folder) fails
    int failWriteAt = 0;                  // this write fails
    int dieAfter = -1;                    // after this many changes every call fails: killed
    int dieAfterRenames = -1;             // the same after this many renames
    std::vector<std::string> failRemove;  // files whose removal fails
    std::vector<std::string> failRenameFrom;
    std::vector<std::string> inUse;  // files that cannot be opened without sharing
    std::string open;                // the file being written, until closed
    std::string reading;             // the installed file a delta reads

    static std::string Key(const std::string& path) {
        std::string k = path;
        for (char& c : k) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return k;
    }
    void AddFile(const std::string& path, const std::string& data, bool readOnly = false) {
        nodes[Key(path)] = {path, kStageFile, readOnly, data};
    }
    void AddFolder(const std::string& path) { nodes[Key(path)] = {path, kStageFolder, false, ""}; }
    const FakeNode* Find(const std::string& path) const {
        auto it = nodes.find(Key(path));
        return it == nodes.end() ? nullptr : &it->second;
    }
    std::string Data(const std::string& path) const {
        const FakeNode* n = Find(path);
        return n ? n->data : "(missing)";
    }
    size_t CountTemporaries() const {
        size_t n = 0;
        for (const auto& kv : nodes) n += kv.second.name.find("~vn") != std::string::npos;
        return n;
    }
    static bool Listed(const std::vector<std::string>& list, const std::string& path) {
        for (const std::string& s : list) {
            if (Key(s) == Key(path)) return true;
        }
        return false;
    }
    bool Dead() const {
        return (dieAfter >= 0 && changes >= dieAfter) || (dieAfterRenames >= 0 && renames >= dieAfterRenames);
    }
    // Counts one change; false when the process is dead or this write is the one to fail.
    bool Change() {
        if (Dead()) return false;
        ++changes;
        return true;
    }
    bool Write() { return Change() && ++writes != failWriteAt; }
};

// The copy's worker and its writer reach the tree at once, as two threads reach a real disk.
inline std::recursive_mutex s_fakeLock;

inline int FakeKind(void* ctx, const char* path, bool* readOnly) {
    std::lock_guard<std::recursive_mutex> hold(s_fakeLock);
    const FakeNode* n = static_cast<FakeFs*>(ctx)->Find(path);
    if (!n) return kStageMissing;
    *readOnly = n->readOnly;
    return n->kind;
}

inline int FakeRename(void* ctx, const char* from, const char* to) {
    std::lock_guard<std::recursive_mutex> hold(s_fakeLock);
    FakeFs* fs = static_cast<FakeFs*>(ctx);
    if (!fs->Change()) return -1;
    ++fs->renames;
    for (int n : fs->failRenames) {
        if (n == fs->renames) return -1;
    }
    if (FakeFs::Listed(fs->failRenameFrom, from)) return -1;
    const FakeNode* n = fs->Find(from);
    if (!n || n->kind != kStageFile || fs->Find(to)) return -1;
    FakeNode moved = *n;
    moved.name = to;
    fs->nodes.erase(FakeFs::Key(from));
    fs->nodes[FakeFs::Key(to)] = moved;
    return 0;
}

inline int FakeRemoveFile(void* ctx, const char* path) {
    std::lock_guard<std::recursive_mutex> hold(s_fakeLock);
    FakeFs* fs = static_cast<FakeFs*>(ctx);
    if (!fs->Change() || ++fs->removes == fs->failRemoveAt) return -1;
    const FakeNode* n = fs->Find(path);
    // As on Windows, a file still open for writing cannot be removed.
    if (!n || n->kind != kStageFile || FakeFs::Listed(fs->failRemove, path) || FakeFs::Key(path) == FakeFs::Key(fs->open))
        return -1;
    fs->nodes.erase(FakeFs::Key(path));
    return 0;
}

inline int FakeRemoveDir(void* ctx, const char* path) {
    std::lock_guard<std::recursive_mutex> hold(s_fakeLock);
    FakeFs* fs = static_cast<FakeFs*>(ctx);
    if (!fs->Change() || ++fs->removes == fs->failRemoveAt) return -1;
    const FakeNode* n = fs->Find(path);
    if (!n || n->kind != kStageFolder) return -1;
    std::string prefix = FakeFs::Key(path) + "\\";
    for (const auto& kv : fs->nodes) {
        if (kv.first.compare(0, prefix.size(), prefix) == 0) return -1;
    }
    fs->nodes.erase(FakeFs::Key(path));
    return 0;
}

inline int FakeCreateDir(void* ctx, const char* path) {
    std::lock_guard<std::recursive_mutex> hold(s_fakeLock);
    FakeFs* fs = static_cast<FakeFs*>(ctx);
    std::string p = path;
    const FakeNode* parent = fs->Find(p.substr(0, p.rfind('\\')));
    // As on Windows, a folder is made only inside one that exists.
    if (!fs->Change() || fs->Find(path) || !parent || parent->kind != kStageFolder) return -1;
    fs->AddFolder(path);
    return 0;
}

inline int FakeOpenExclusive(void* ctx, const char* path) {
    std::lock_guard<std::recursive_mutex> hold(s_fakeLock);
    FakeFs* fs = static_cast<FakeFs*>(ctx);
    return fs->Find(path) && !FakeFs::Listed(fs->inUse, path) ? 0 : -1;
}

inline int FakeAppend(void* ctx, const char* path, const char* bytes, size_t n) {
    std::lock_guard<std::recursive_mutex> hold(s_fakeLock);
    FakeFs* fs = static_cast<FakeFs*>(ctx);
    if (!fs->Write()) return -1;
    const FakeNode* node = fs->Find(path);
    if (node && node->kind != kStageFile) return -1;
    std::string data = node ? node->data : "";
    fs->AddFile(path, data + std::string(bytes, n));
    return 0;
}

inline int FakeLoad(void* ctx, const char* path, size_t maxBytes, char** bytes, size_t* n) {
    std::lock_guard<std::recursive_mutex> hold(s_fakeLock);
    const FakeNode* node = static_cast<FakeFs*>(ctx)->Find(path);
    if (!node || node->kind != kStageFile || node->data.size() > maxBytes) return -1;
    *bytes = static_cast<char*>(AllocChecked(node->data.size() + 1));
    if (!*bytes) return -1;
    memcpy(*bytes, node->data.data(), node->data.size());
    *n = node->data.size();
    return 0;
}

const StageFs kFakeOps = {FakeKind,      FakeRename,        FakeRemoveFile, FakeRemoveDir,
                          FakeCreateDir, FakeOpenExclusive, FakeAppend,     FakeLoad};

// The platform's side of writing a file, into the same tree.
inline int FakeOpenFile(void* ctx, const char* path, const PayloadRecord*) {
    std::lock_guard<std::recursive_mutex> hold(s_fakeLock);
    FakeFs* fs = static_cast<FakeFs*>(ctx);
    const FakeNode* parent = nullptr;
    std::string p = path;
    size_t sep = p.rfind('\\');
    if (sep != std::string::npos) parent = fs->Find(p.substr(0, sep));
    if (!fs->Write() || !parent || parent->kind != kStageFolder || fs->Find(path)) return -1;
    fs->AddFile(path, "");
    fs->open = path;
    return 0;
}

inline int FakeWriteBlock(void* ctx, const uint8_t* bytes, size_t n, uint32_t, uint32_t) {
    std::lock_guard<std::recursive_mutex> hold(s_fakeLock);
    FakeFs* fs = static_cast<FakeFs*>(ctx);
    if (!fs->Write()) return -1;
    fs->nodes[FakeFs::Key(fs->open)].data.append(reinterpret_cast<const char*>(bytes), n);
    return 0;
}

inline int FakeCloseFile(void* ctx, const char*, const PayloadRecord*, bool ok) {
    std::lock_guard<std::recursive_mutex> hold(s_fakeLock);
    static_cast<FakeFs*>(ctx)->open.clear();
    return ok ? 0 : -1;
}

// The installed file a delta reads, in place.
inline int FakeOpenOld(void* ctx, const char* path, const PayloadRecord*, uint64_t* size) {
    std::lock_guard<std::recursive_mutex> hold(s_fakeLock);
    FakeFs* fs = static_cast<FakeFs*>(ctx);
    const FakeNode* node = fs->Find(path);
    if (!node || node->kind != kStageFile) return -1;
    fs->reading = path;
    *size = node->data.size();
    return 0;
}

inline int FakeReadOld(void* ctx, uint64_t offset, uint8_t* dst, size_t n) {
    std::lock_guard<std::recursive_mutex> hold(s_fakeLock);
    FakeFs* fs = static_cast<FakeFs*>(ctx);
    const FakeNode* node = fs->Find(fs->reading);
    if (!node || offset > node->data.size() || n > node->data.size() - offset) return -1;
    memcpy(dst, node->data.data() + offset, n);
    return 0;
}

const ExtractOps kFakeFileOps = {nullptr,     FakeOpenFile, FakeWriteBlock, FakeCloseFile,
                                 FakeOpenOld, FakeReadOld,  nullptr,        nullptr};

struct FakeNewFile {
    const char* dest;
    const char* data;
};

// A game folder with two files, one in a folder, as an update meets it.
inline FakeFs MakeFakeGame() {
    FakeFs fs;
    fs.AddFolder("C:\\G");
    fs.AddFolder("C:\\G\\data");
    fs.AddFile("C:\\G\\game.exe", "old exe");
    fs.AddFile("C:\\G\\data\\a.dat", "old a");
    return fs;
}

// Replaces game.exe, adds new\b.dat in a folder this run creates, replaces data\a.dat.
const std::vector<FakeNewFile> kFakeUpdate = {
    {"C:\\G\\game.exe", "new exe"},
    {"C:\\G\\new\\b.dat", "new b"},
    {"C:\\G\\data\\a.dat", "new a"},
};

// Begins a journal for C:\G and stages files the way the extraction does: a folder created before
// the files inside it.
inline void StageFake(StageJournal* j, FakeFs* fs, uint32_t seed, const std::vector<FakeNewFile>& files) {
    InitStageJournal(j, &kFakeOps, fs, "C:\\G", seed);
    ASSERT_EQ(AddCreatedFolder(j, "C:\\G\\new"), 0);
    fs->AddFolder("C:\\G\\new");
    for (const FakeNewFile& f : files) {
        char temp[kPayloadNameBytes];
        ASSERT_EQ(AddStagedFile(j, f.dest, temp, sizeof temp), 0) << f.dest;
        EXPECT_EQ(fs->Find(temp), nullptr);
        fs->AddFile(temp, f.data);
    }
}

// kFakeUpdate as a payload: "new\" comes before the file inside it.
inline std::vector<uint8_t> MakeFakeUpdatePayload() {
    TestPayload p;
    BeginTestPayload(&p);
    AddTestFile(&p, "game.exe", "new exe");
    AddTestDir(&p, "new\\");
    AddTestFile(&p, "new\\b.dat", "new b");
    AddTestFile(&p, "data\\a.dat", "new a");
    EndTestPayload(&p);
    return p.bytes;
}

// The folder after kFakeUpdate: every new file, nothing else.
inline FakeFs MakeFakeUpdated() {
    FakeFs fs = MakeFakeGame();
    fs.AddFolder("C:\\G\\new");
    for (const FakeNewFile& f : kFakeUpdate) fs.AddFile(f.dest, f.data);
    return fs;
}

// The tree, one node a line, for a failure message.
inline std::string DumpFakeFs(const FakeFs& fs) {
    std::string t;
    for (const auto& kv : fs.nodes) t += "\n  " + kv.second.name + " = " + kv.second.data;
    return t;
}

// Fails the reads of a payload held in memory (the fake update unless given another) from the nth
// on, through an unbuffered stream so that every read of the reader reaches it.
struct FaultyBytes {
    std::vector<uint8_t> bytes = MakeFakeUpdatePayload();
    size_t pos = 0;
    long reads = 0;
    long failAt = 0;
};

inline ssize_t ReadFaulty(void* cookie, char* buf, size_t n) {
    FaultyBytes* b = static_cast<FaultyBytes*>(cookie);
    if (++b->reads == b->failAt) return -1;
    size_t left = b->bytes.size() - b->pos;
    if (n > left) n = left;
    memcpy(buf, b->bytes.data() + b->pos, n);
    b->pos += n;
    return static_cast<ssize_t>(n);
}

inline int SeekFaulty(void* cookie, off64_t* offset, int whence) {
    FaultyBytes* b = static_cast<FaultyBytes*>(cookie);
    off64_t base = whence == SEEK_SET   ? 0
                   : whence == SEEK_CUR ? static_cast<off64_t>(b->pos)
                                        : static_cast<off64_t>(b->bytes.size());
    if (base + *offset < 0) return -1;
    b->pos = static_cast<size_t>(base + *offset);
    *offset = static_cast<off64_t>(b->pos);
    return 0;
}

// The writer thread and semaphores a threaded copy borrows.
struct FakeThreads {
    std::thread thread;
    std::mutex lock;
    std::condition_variable changed;
    int count[2] = {0, 0};
};

inline int FakeStart(void* ctx, void (*fn)(void*), void* arg) {
    static_cast<FakeThreads*>(ctx)->thread = std::thread(fn, arg);
    return 0;
}

inline void FakeJoin(void* ctx) { static_cast<FakeThreads*>(ctx)->thread.join(); }
inline void FakeYield(void*) { std::this_thread::yield(); }

inline void FakeWait(void* ctx, int semaphore) {
    FakeThreads* t = static_cast<FakeThreads*>(ctx);
    std::unique_lock<std::mutex> hold(t->lock);
    t->changed.wait(hold, [&] { return t->count[semaphore] > 0; });
    --t->count[semaphore];
}

inline void FakePost(void* ctx, int semaphore) {
    FakeThreads* t = static_cast<FakeThreads*>(ctx);
    std::lock_guard<std::mutex> hold(t->lock);
    ++t->count[semaphore];
    t->changed.notify_all();
}

// One whole update of the fake game from payload bytes; reads fail from the nth on (0: none). With a
// watch, the copy runs on a worker thread as the program runs it, while watch runs on this one as
// the window's thread would (told when the worker has ended); the worker is joined before this
// returns, and *stopped says which stop request ended it.
inline int RunFakeUpdate(FakeFs* fs, FaultyBytes* in, uint32_t seed = 5,
                         const std::function<void(CopyJob*, const std::atomic<bool>&)>& watch = nullptr,
                         int* stopped = nullptr) {
    cookie_io_functions_t io = {ReadFaulty, nullptr, SeekFaulty, nullptr};
    in->pos = 0;
    FILE* f = fopencookie(in, "rb", io);
    setvbuf(f, nullptr, _IONBF, 0);
    PayloadReader reader;
    ExtractResult result;
    int rc = OpenPayloadReader(f, &reader);
    if (rc == 0 && watch) {
        CopyJob job;
        FakeThreads lent;
        const CopyThreads threads = {&lent, FakeStart, FakeJoin, FakeWait, FakePost, FakeYield};
        InitCopyJob(&job, &reader, "C:\\G", &kFakeOps, &kFakeFileOps, fs, seed, &threads);
        std::atomic<bool> ended(false);
        std::thread worker([&] {
            RunCopyJob(&job);
            ended = true;
        });
        watch(&job, ended);
        worker.join();
        rc = job.rc;
        if (stopped) *stopped = job.stopped;
    } else if (rc == 0) {
        rc = RunStagedExtraction(&reader, "C:\\G", &kFakeOps, fs, &kFakeFileOps, fs, seed, &result);
    }
    fclose(f);
    return rc;
}

// The window's side of a threaded copy, as the program's: reads what the worker publishes until it
// ends and, once the worker is held after block CancelAtBlock(n) (HoldAtBlock is the step hook),
// presses Cancel.
inline std::atomic<uint32_t> s_cancelAt;
inline std::atomic<bool> s_cancelHeld;
inline std::atomic<CopyJob*> s_cancelled;

inline void CancelAtBlock(uint32_t n) {
    s_cancelAt = n;
    s_cancelHeld = false;
    s_cancelled = nullptr;
}

inline void HoldAtBlock(const char* step, uint32_t n) {
    if (strcmp(step, "block") != 0 || n != s_cancelAt) return;
    s_cancelHeld = true;
    while (!s_cancelled) std::this_thread::yield();
}

inline void WatchAndCancel(CopyJob* job, const std::atomic<bool>& ended) {
    CopyView view;
    do {
        ReadCopyView(job, &view);
        if (s_cancelHeld && !s_cancelled) {
            job->stop.store(kCopyCancel);
            s_cancelled = job;
        }
    } while (!ended);
}

// The update's copy, on this thread and on a worker as the program runs it (this binary is also
// built under ThreadSanitizer): faults and stop requests anywhere leave the folder as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/alloc_host.h"
#include "payload/copy_run.h"
#include "payload/staging.h"
#include "support/staging_fake_fs.h"

namespace {

// Like a coverage test, the nth allocation, payload read (the inflate's input), write, rename or
// block after which Cancel is pressed fails the update, for every n until it gets through, on
// either thread: each run ends in failure with the folder as it was, journal and temporaries gone
// (LeakSanitizer checks that nothing leaks on the way).
TEST(StagedRun, EveryFaultLeavesTheFolderAsItWas) {
    const FakeFs before = MakeFakeGame();
    const FakeFs updated = MakeFakeUpdated();
    enum Kind { kAlloc, kRead, kWrite, kRename, kCancel };
    const char* names[] = {"allocation", "read", "write", "rename", "cancel"};
    SetStageStepHook(HoldAtBlock);
    for (bool threaded : {false, true}) {
        for (int kind = kAlloc; kind <= (threaded ? kCancel : kRename); ++kind) {
            const std::string what = std::string(names[kind]) + (threaded ? " on the worker" : "");
            int n = 1;
            for (;; ++n) {
                FakeFs fs = before;
                FaultyBytes in;
                if (kind == kRead) in.failAt = n;
                if (kind == kWrite) fs.failWriteAt = n;
                if (kind == kRename) fs.failRenames = {n};
                CancelAtBlock(kind == kCancel ? n : 0);
                SetAllocFault(kind == kAlloc ? n : 0);
                int stopped = kCopyGoOn;
                int rc = RunFakeUpdate(&fs, &in, 5, threaded ? WatchAndCancel : nullptr, &stopped);
                long allocs = SetAllocFault(0);
                bool reached = kind == kAlloc    ? allocs >= n
                               : kind == kRead   ? in.reads >= n
                               : kind == kWrite  ? fs.writes >= n
                               : kind == kRename ? fs.renames >= n
                                                 : s_cancelHeld.load();
                if (!reached) {
                    EXPECT_EQ(rc, 0) << what << " " << n;
                    EXPECT_EQ(fs.nodes, updated.nodes) << what;
                    break;
                }
                EXPECT_EQ(rc, -1) << what << " " << n;
                EXPECT_EQ(stopped, kind == kCancel ? kCopyCancel : kCopyGoOn) << what << " " << n;
                EXPECT_EQ(fs.nodes, before.nodes) << what << " " << n;
            }
            // Each kind must have had several steps to fail, or the table tests nothing.
            EXPECT_GT(n, 3) << what;
            printf("[ faults   ] %s: %d failing runs\n", what.c_str(), n - 1);
        }
    }
    SetStageStepHook(nullptr);
}

// A file of many blocks keeps the writer's ring full while the worker inflates ahead: a write
// failing at any of its blocks fails the update with the folder as it was.
TEST(CopyRun, AWriteFailingBehindAFullRingLeavesTheFolderAsItWas) {
    const FakeFs before = MakeFakeGame();
    TestPayload p;
    BeginTestPayload(&p);
    AddTestFile(&p, "game.exe", MakeTestPattern(9 * kPayloadBlockBytes + 5, 3));
    EndTestPayload(&p);
    int n = 1;
    for (;; ++n) {
        FakeFs fs = before;
        FaultyBytes in;
        in.bytes = p.bytes;
        fs.failWriteAt = n;
        int rc = RunFakeUpdate(&fs, &in, 5, WatchAndCancel);
        if (fs.writes < n) break;
        EXPECT_EQ(rc, -1) << n;
        EXPECT_EQ(fs.nodes, before.nodes) << n;
    }
    EXPECT_GT(n, 10);
}

}  // namespace

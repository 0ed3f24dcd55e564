#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/alloc_host.h"
#include "payload/staging.h"
#include "support/payload_capture.h"
#include "support/staging_fake_fs.h"

namespace {

const std::vector<FakeNewFile> kTwice = {{"C:\\G\\game.exe", "first"}, {"C:\\G\\GAME.EXE", "second"}};

TEST(Staging, CommitReplacesEveryFileAndLeavesNoTemporary) {
    struct Case {
        uint32_t seed;
        std::vector<FakeNewFile> files;
        std::vector<FakeNewFile> want;
    } cases[] = {
        {0xFFFFE, kFakeUpdate, kFakeUpdate},  // ids wrap past the last five-digit name
        {0, kTwice, {{"C:\\G\\game.exe", "second"}, {"C:\\G\\data\\a.dat", "old a"}}},
    };
    for (const Case& c : cases) {
        FakeFs fs = MakeFakeGame();
        StageJournal j;
        StageFake(&j, &fs, c.seed, c.files);
        ASSERT_EQ(CommitStaged(&j), 0);
        EXPECT_EQ(EndStageJournal(&j), 0);
        for (const FakeNewFile& w : c.want) EXPECT_EQ(fs.Data(w.dest), w.data) << w.dest;
        EXPECT_EQ(fs.CountTemporaries(), 0u);
        EXPECT_EQ(fs.nodes.size(), 3 + c.want.size());  // C:\G, data, new and the files
        FreeStageJournal(&j);
    }
}

// A record fails before the commit (-1: roll back instead), a name comes twice and its second move
// fails, or a destination cannot be replaced: the folder always comes back exactly as it was, the
// journal gone with the rest. (StagedRun fails every rename of a whole run in turn.)
TEST(Staging, AnyFailureLeavesTheFolderAsItWas) {
    struct Case {
        const char* what;
        int failAt;
        void (*spoil)(FakeFs*);
        const std::vector<FakeNewFile>* files;
    } cases[] = {
        {"record failed", -1, nullptr, &kFakeUpdate},
        {"name given twice", 4, nullptr, &kTwice},
        {"read-only file", 0, [](FakeFs* fs) { fs->AddFile("C:\\G\\data\\a.dat", "old a", true); }, &kFakeUpdate},
        {"folder in the way", 0,
         [](FakeFs* fs) {
             fs->nodes.erase(FakeFs::Key("C:\\G\\data\\a.dat"));
             fs->AddFolder("C:\\G\\data\\a.dat");
         },
         &kFakeUpdate},
        {"file held open", 0, [](FakeFs* fs) { fs->failRenameFrom.push_back("C:\\G\\data\\a.dat"); }, &kFakeUpdate},
        // Renaming a running program works; only opening it for writing tells that it is in use.
        {"program running", 0, [](FakeFs* fs) { fs->inUse.push_back("C:\\G\\data\\a.dat"); }, &kFakeUpdate},
    };
    for (const Case& c : cases) {
        FakeFs fs = MakeFakeGame();
        if (c.spoil) c.spoil(&fs);
        const FakeFs before = fs;
        StageJournal j;
        StageFake(&j, &fs, 7, *c.files);
        fs.failRenames = {c.failAt};
        EXPECT_EQ(c.failAt < 0 ? RollBackStaged(&j) : CommitStaged(&j), c.failAt < 0 ? 0 : -1) << c.what;
        if (c.spoil && fs.failRenameFrom.empty()) {
            EXPECT_EQ(fs.renames, 0) << c.what << ": refused before anything moved";
        }
        EXPECT_EQ(EndStageJournal(&j), 0) << c.what;
        EXPECT_EQ(fs.nodes, before.nodes) << c.what;
        FreeStageJournal(&j);
    }
}

// With seed 0 the temporaries are ids 0..2 and the asides 3 (game.exe) and 4 (a.dat). The moves:
// exe aside (1), exe in (2), b in (3), a aside (4), a in (5); undoing a: a back (6), exe back (7).
// An old file that cannot go back or be deleted is kept at its aside name rather than lost, and
// the journal stays with it, so that the next run ends the job.
TEST(Staging, WhatCannotBeUndoneIsLeftToTheNextRun) {
    struct Case {
        const char* what;
        std::vector<int> failRenames;
        const char* failRemove;
        int rc;
        const char* keptAside;
        const char* keptData;
    } cases[] = {
        {"putting the old file back", {5, 6}, nullptr, -1, "C:\\G\\data\\~vn00004.tmp", "old a"},
        {"removing the new file from its place", {5}, "C:\\G\\game.exe", -1, "C:\\G\\~vn00003.tmp", "old exe"},
        {"deleting the old file after a success", {}, "C:\\G\\~vn00003.tmp", 0, "C:\\G\\~vn00003.tmp", "old exe"},
    };
    for (const Case& c : cases) {
        FakeFs fs = MakeFakeGame();
        const FakeFs before = fs;
        StageJournal j;
        StageFake(&j, &fs, 0, kFakeUpdate);
        fs.failRenames = c.failRenames;
        if (c.failRemove) fs.failRemove.push_back(c.failRemove);
        EXPECT_EQ(CommitStaged(&j), c.rc) << c.what;
        EXPECT_EQ(EndStageJournal(&j), -1) << c.what;
        EXPECT_EQ(fs.Data(c.keptAside), c.keptData) << c.what;
        EXPECT_EQ(fs.Data("C:\\G\\new\\b.dat"), c.rc == 0 ? "new b" : "(missing)") << c.what;
        EXPECT_EQ(fs.CountTemporaries(), 2u) << c.what;  // the old file and the journal
        FreeStageJournal(&j);

        fs.failRenames.clear();
        fs.failRemove.clear();
        EXPECT_EQ(RecoverStaged(&kFakeOps, &fs, "C:\\G", 9), 0) << c.what;
        EXPECT_EQ(fs.nodes, c.rc == 0 ? MakeFakeUpdated().nodes : before.nodes) << c.what;
    }
}

TEST(Staging, TemporaryNamesAvoidEveryNameInUse) {
    FakeFs fs = MakeFakeGame();
    fs.AddFile("C:\\G\\~vn00000.tmp", "someone else's");
    StageJournal j;
    InitStageJournal(&j, &kFakeOps, &fs, "C:\\G", 0);
    char temp[kPayloadNameBytes];
    // A payload name of the temporary form keeps that id from being handed out.
    ASSERT_EQ(AddStagedFile(&j, "C:\\G\\~VN00001.TMP", temp, sizeof temp), 0);
    EXPECT_STREQ(temp, "C:\\G\\~vn00002.tmp");
    fs.AddFile(temp, "x");
    ASSERT_EQ(AddStagedFile(&j, "C:\\G\\data\\a.dat", temp, sizeof temp), 0);
    EXPECT_STREQ(temp, "C:\\G\\data\\~vn00003.tmp");
    fs.AddFile(temp, "y");
    // A later payload name that is a temporary of this run cannot be written, nor the journal.
    EXPECT_EQ(AddStagedFile(&j, "C:\\G\\data\\~vn00003.tmp", temp, sizeof temp), -1);
    EXPECT_EQ(AddStagedFile(&j, "C:\\G\\~VNJOURNAL.TMP", temp, sizeof temp), -1);
    // The same id in another folder is a different file.
    EXPECT_EQ(AddStagedFile(&j, "C:\\G\\~vn00003.tmp", temp, sizeof temp), 0);
    FreeStageJournal(&j);
}

TEST(Staging, FolderCreatedByTheRunIsRemovedOnlyWhenEmpty) {
    FakeFs fs = MakeFakeGame();
    StageJournal j;
    InitStageJournal(&j, &kFakeOps, &fs, "C:\\G", 0);
    fs.AddFolder("C:\\G\\x");
    fs.AddFolder("C:\\G\\x\\y");
    ASSERT_EQ(AddCreatedFolder(&j, "C:\\G\\x"), 0);
    ASSERT_EQ(AddCreatedFolder(&j, "C:\\G\\x\\y"), 0);
    EXPECT_EQ(RollBackStaged(&j), 0);
    EXPECT_EQ(fs.Find("C:\\G\\x"), nullptr);

    fs.AddFolder("C:\\G\\x");
    fs.AddFile("C:\\G\\x\\player.sav", "someone put this here");
    ASSERT_EQ(AddCreatedFolder(&j, "C:\\G\\x"), 0);
    EXPECT_EQ(RollBackStaged(&j), -1);
    EXPECT_NE(fs.Find("C:\\G\\x\\player.sav"), nullptr);
    FreeStageJournal(&j);
}

// The updater is killed after every single change it makes, on a good update and on one whose
// second move fails (so that it is killed while undoing): the next run leaves the folder fully old
// (killed before the moves began, or while undoing them) or fully new, with no temporary file.
TEST(StagedRun, AnUpdateKilledAnywhereIsFinishedOrUndoneByTheNextRun) {
    const FakeFs before = MakeFakeGame();
    const FakeFs updated = MakeFakeUpdated();
    for (int failMove : {0, 2, 5}) {
        int olds = 0, news = 0;
        for (int kill = 0;; ++kill) {
            FakeFs fs = before;
            FaultyBytes in;
            fs.dieAfter = kill;
            fs.failRenames = {failMove};
            RunFakeUpdate(&fs, &in);
            bool lived = !fs.Dead();
            fs.dieAfter = -1;
            fs.failRenames.clear();
            FaultyBytes empty;
            empty.bytes = MakeNamedPayload({});
            EXPECT_EQ(RunFakeUpdate(&fs, &empty, 77), 0) << "killed after " << kill;
            bool isOld = fs.nodes == before.nodes;
            bool isNew = fs.nodes == updated.nodes;
            EXPECT_TRUE(isOld || isNew) << "failed move " << failMove << ", killed after " << kill << DumpFakeFs(fs);
            olds += isOld;
            news += isNew;
            if (lived) break;
        }
        EXPECT_GT(olds, 5) << failMove;
        if (failMove == 0) {
            EXPECT_GT(news, 5);
        }
        printf("[ kills    ] failed move %d: %d ended old, %d new\n", failMove, olds, news);
    }
}

// Killed once game.exe was replaced, the update is finished by the next run, but not while the
// game (started again meanwhile) holds a file that still has to be replaced: that run fails and
// changes nothing, the journal stays, and a later run finishes the job.
TEST(StagedRun, ANextRunDoesNotFinishOverAFileInUse) {
    FakeFs fs = MakeFakeGame();
    FaultyBytes in;
    fs.dieAfterRenames = 2;
    RunFakeUpdate(&fs, &in);
    ASSERT_TRUE(fs.Dead());
    fs.dieAfterRenames = -1;
    ASSERT_EQ(fs.Data("C:\\G\\game.exe"), "new exe");
    ASSERT_EQ(fs.Data("C:\\G\\data\\a.dat"), "old a");
    fs.inUse = {"C:\\G\\data\\a.dat"};
    const FakeFs stuck = fs;
    EXPECT_EQ(RecoverStaged(&kFakeOps, &fs, "C:\\G", 3), -1);
    EXPECT_EQ(fs.nodes, stuck.nodes);
    fs.inUse.clear();
    EXPECT_EQ(RecoverStaged(&kFakeOps, &fs, "C:\\G", 3), 0);
    EXPECT_EQ(fs.nodes, MakeFakeUpdated().nodes);
}

// Journals this program did not write, or that would lead outside the folder, are refused whole:
// nothing is touched. A line torn by a kill is a step never taken.
TEST(StagedRun, AJournalNotOursIsRefused) {
    const std::string h = "vnupdate journal 1\n";
    struct Case {
        const char* what;
        std::string text;
        int rc;
    } cases[] = {
        {"torn header", "vnupdate jour", 0},
        {"torn line", h + "T 00001 game.exe\nT 00002 da", 0},
        {"other header", "vnupdate journal 2\n", -1},
        {"climbs out", h + "T 00001 ..\\x.dat\n", -1},
        {"drive", h + "T 00001 C:\\x.dat\n", -1},
        {"absolute folder", h + "D \\x\n", -1},
        {"id twice", h + "T 00001 a.dat\nT 00001 b.dat\n", -1},
        {"aside is a temporary", h + "T 00001 a.dat\nT 00002 b.dat\nC\nA 00001 00002\n", -1},
        {"lower-case id", h + "T 0000a a.dat\n", -1},
        {"aside before the commit", h + "T 00001 a.dat\nA 00001 00002\n", -1},
        {"aside of no file", h + "T 00001 a.dat\nC\nA 00003 00002\n", -1},
        {"file after the commit", h + "C\nT 00001 a.dat\n", -1},
        {"commit twice", h + "C\nC\n", -1},
        {"undo before the commit", h + "U\n", -1},
        {"control byte", h + "T 00001 a\r.dat\n", -1},
        {"NUL inside", h + std::string("T 00001 a\0.dat\n", 15), -1},
        {"the journal itself", h + "T 00001 ~VNJOURNAL.TMP\n", -1},
        {"unknown line", h + "X\n", -1},
    };
    for (const Case& c : cases) {
        FakeFs fs = MakeFakeGame();
        fs.AddFile("C:\\G\\~vn00001.tmp", "someone's");
        fs.AddFile("C:\\x.dat", "outside");
        fs.AddFile("C:\\G\\~vnjournal.tmp", c.text);
        FakeFs before = fs;
        EXPECT_EQ(RecoverStaged(&kFakeOps, &fs, "C:\\G", 1), c.rc) << c.what;
        if (c.rc != 0) {
            EXPECT_EQ(fs.nodes, before.nodes) << c.what;
        }
        EXPECT_EQ(fs.Data("C:\\x.dat"), "outside") << c.what;
    }
}

TEST(StagedRun, NamesWhoseTemporaryDoesNotFitFailTheWalk) {
    std::string dest = "C:\\" + std::string(240, 'd');  // 243 bytes
    struct Case {
        std::vector<std::string> names;  // a trailing backslash makes a folder
        int error;
    } cases[] = {
        // dest + "\" + 15 bytes is 259: the file fits, and so does its temporary name.
        {{"x\\", "x\\" + std::string(13, 'n')}, kPayloadOk},
        // A short name deep down: the file fits, "~vnXXXXX.tmp" beside it does not.
        {{"a.txt", std::string(10, 'f') + "\\a.dat"}, kPayloadLongPath},
        {{"a.txt", std::string(20, 'n')}, kPayloadLongPath},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WalkTest(MakeNamedPayload(c.names), kExtractAll, dest.c_str()).result.error, c.error) << c.names.back();
    }
}

}  // namespace

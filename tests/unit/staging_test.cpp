#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload/staging.h"
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
        InitStageJournal(&j, &kFakeOps, &fs, c.seed);
        StageFake(&j, &fs, c.files);
        ASSERT_EQ(CommitStaged(&j), 0);
        for (const FakeNewFile& w : c.want) EXPECT_EQ(fs.Data(w.dest), w.data) << w.dest;
        EXPECT_EQ(fs.CountTemporaries(), 0u);
        EXPECT_EQ(fs.nodes.size(), 3 + c.want.size());  // C:\G, data, new and the files
        FreeStageJournal(&j);
    }
}

// Every rename of the commit fails in turn (two moves per replaced file, one per new file), a record
// fails before the commit (-1: roll back instead), or a destination cannot be replaced: the folder
// always comes back exactly as it was.
TEST(Staging, AnyFailureLeavesTheFolderAsItWas) {
    struct Case {
        const char* what;
        int failAt;
        void (*spoil)(FakeFs*);
        const std::vector<FakeNewFile>* files;
    } cases[] = {
        {"record failed", -1, nullptr, &kFakeUpdate},
        {"move 1", 1, nullptr, &kFakeUpdate},
        {"move 2", 2, nullptr, &kFakeUpdate},
        {"move 3", 3, nullptr, &kFakeUpdate},
        {"move 4", 4, nullptr, &kFakeUpdate},
        {"move 5", 5, nullptr, &kFakeUpdate},
        {"name given twice", 4, nullptr, &kTwice},
        {"read-only file", 0, [](FakeFs* fs) { fs->AddFile("C:\\G\\data\\a.dat", "old a", true); },
         &kFakeUpdate},
        {"folder in the way", 0,
         [](FakeFs* fs) {
             fs->nodes.erase(FakeFs::Key("C:\\G\\data\\a.dat"));
             fs->AddFolder("C:\\G\\data\\a.dat");
         },
         &kFakeUpdate},
        {"file held open", 0, [](FakeFs* fs) { fs->failRenameFrom.push_back("C:\\G\\data\\a.dat"); },
         &kFakeUpdate},
    };
    for (const Case& c : cases) {
        FakeFs fs = MakeFakeGame();
        if (c.spoil) c.spoil(&fs);
        const FakeFs before = fs;
        StageJournal j;
        InitStageJournal(&j, &kFakeOps, &fs, 7);
        StageFake(&j, &fs, *c.files);
        fs.failRenames = {c.failAt};
        EXPECT_EQ(c.failAt < 0 ? RollBackStaged(&j) : CommitStaged(&j), c.failAt < 0 ? 0 : -1) << c.what;
        EXPECT_EQ(fs.nodes, before.nodes) << c.what;
        FreeStageJournal(&j);
    }
}

// With seed 0 the temporaries are ids 0..2 and the asides 3 (game.exe) and 4 (a.dat). The moves:
// exe aside (1), exe in (2), b in (3), a aside (4), a in (5); undoing a: a back (6), exe back (7).
// An old file that cannot go back or be deleted is kept at its aside name rather than lost.
TEST(Staging, AnOldFileThatCannotGoBackOrBeDeletedStaysAside) {
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
        StageJournal j;
        InitStageJournal(&j, &kFakeOps, &fs, 0);
        StageFake(&j, &fs, kFakeUpdate);
        fs.failRenames = c.failRenames;
        if (c.failRemove) fs.failRemove.push_back(c.failRemove);
        EXPECT_EQ(CommitStaged(&j), c.rc) << c.what;
        EXPECT_EQ(fs.Data(c.keptAside), c.keptData) << c.what;
        EXPECT_EQ(fs.Data("C:\\G\\new\\b.dat"), c.rc == 0 ? "new b" : "(missing)") << c.what;
        EXPECT_EQ(fs.CountTemporaries(), 1u) << c.what;  // everything else was done or undone
        FreeStageJournal(&j);
    }
}

TEST(Staging, TemporaryNamesAvoidEveryNameInUse) {
    FakeFs fs = MakeFakeGame();
    fs.AddFile("C:\\G\\~vn00000.tmp", "someone else's");
    StageJournal j;
    InitStageJournal(&j, &kFakeOps, &fs, 0);
    char temp[kPayloadNameBytes];
    // A payload name of the temporary form keeps that id from being handed out.
    ASSERT_EQ(AddStagedFile(&j, "C:\\G\\~VN00001.TMP", temp, sizeof temp), 0);
    EXPECT_STREQ(temp, "C:\\G\\~vn00002.tmp");
    fs.AddFile(temp, "x");
    ASSERT_EQ(AddStagedFile(&j, "C:\\G\\data\\a.dat", temp, sizeof temp), 0);
    EXPECT_STREQ(temp, "C:\\G\\data\\~vn00003.tmp");
    fs.AddFile(temp, "y");
    // A later payload name that is a temporary of this run cannot be written.
    EXPECT_EQ(AddStagedFile(&j, "C:\\G\\data\\~vn00003.tmp", temp, sizeof temp), -1);
    // The same id in another folder is a different file.
    EXPECT_EQ(AddStagedFile(&j, "C:\\G\\~vn00003.tmp", temp, sizeof temp), 0);
    FreeStageJournal(&j);
}

TEST(Staging, FolderCreatedByTheRunIsRemovedOnlyWhenEmpty) {
    FakeFs fs = MakeFakeGame();
    StageJournal j;
    InitStageJournal(&j, &kFakeOps, &fs, 0);
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

TEST(Staging, PathChecksCoverTheTemporaryNames) {
    std::string dest = "C:\\" + std::string(240, 'd');  // 243 bytes
    // dest + "\" + 15 bytes is 259: the file fits, and so does its temporary name.
    EXPECT_EQ(CheckFakePaths({"x\\", "x\\" + std::string(13, 'n')}, dest), kPayloadOk);
    // A short name deep down: the file fits, "~vnXXXXX.tmp" beside it does not.
    EXPECT_EQ(CheckFakePaths({"a.txt", std::string(10, 'f') + "\\a.dat"}, dest), kPayloadLongPath);
    EXPECT_EQ(CheckFakePaths({"a.txt", std::string(20, 'n')}, dest), kPayloadLongPath);
    EXPECT_NE(CheckFakePaths({"a.txt"}, "C:\\G", false), kPayloadOk);  // no end marker
}

}  // namespace

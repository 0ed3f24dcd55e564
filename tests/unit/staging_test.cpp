#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "payload/staging.h"
#include "support/payload_writer.h"

namespace {

struct Node {
    std::string name;  // as created, the key folds case as Windows does
    int kind;
    bool readOnly;
    std::string data;
    bool operator==(const Node& o) const {
        return name == o.name && kind == o.kind && readOnly == o.readOnly && data == o.data;
    }
};

// A folder tree in memory whose calls fail on demand.
struct FakeFs {
    std::map<std::string, Node> nodes;
    int renames = 0;
    std::vector<int> failRenames;       // these renames (counting from 1) fail
    std::vector<std::string> failRemove;  // files whose removal fails
    std::vector<std::string> failRenameFrom;

    static std::string Key(const std::string& path) {
        std::string k = path;
        for (char& c : k) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return k;
    }
    void AddFile(const std::string& path, const std::string& data, bool readOnly = false) {
        nodes[Key(path)] = {path, kStageFile, readOnly, data};
    }
    void AddFolder(const std::string& path) { nodes[Key(path)] = {path, kStageFolder, false, ""}; }
    const Node* Find(const std::string& path) const {
        auto it = nodes.find(Key(path));
        return it == nodes.end() ? nullptr : &it->second;
    }
    size_t CountTemporaries() const {
        size_t n = 0;
        for (const auto& kv : nodes) n += kv.second.name.find("~vn") != std::string::npos;
        return n;
    }
};

bool Listed(const std::vector<std::string>& list, const std::string& path) {
    for (const std::string& s : list) {
        if (FakeFs::Key(s) == FakeFs::Key(path)) return true;
    }
    return false;
}

int FakeKind(void* ctx, const char* path, bool* readOnly) {
    const Node* n = static_cast<FakeFs*>(ctx)->Find(path);
    if (!n) return kStageMissing;
    *readOnly = n->readOnly;
    return n->kind;
}

int FakeRename(void* ctx, const char* from, const char* to) {
    FakeFs* fs = static_cast<FakeFs*>(ctx);
    ++fs->renames;
    for (int n : fs->failRenames) {
        if (n == fs->renames) return -1;
    }
    if (Listed(fs->failRenameFrom, from)) return -1;
    const Node* n = fs->Find(from);
    if (!n || n->kind != kStageFile || fs->Find(to)) return -1;
    Node moved = *n;
    moved.name = to;
    fs->nodes.erase(FakeFs::Key(from));
    fs->nodes[FakeFs::Key(to)] = moved;
    return 0;
}

int FakeRemoveFile(void* ctx, const char* path) {
    FakeFs* fs = static_cast<FakeFs*>(ctx);
    const Node* n = fs->Find(path);
    if (!n || n->kind != kStageFile || Listed(fs->failRemove, path)) return -1;
    fs->nodes.erase(FakeFs::Key(path));
    return 0;
}

int FakeRemoveDir(void* ctx, const char* path) {
    FakeFs* fs = static_cast<FakeFs*>(ctx);
    const Node* n = fs->Find(path);
    if (!n || n->kind != kStageFolder) return -1;
    std::string prefix = FakeFs::Key(path) + "\\";
    for (const auto& kv : fs->nodes) {
        if (kv.first.compare(0, prefix.size(), prefix) == 0) return -1;
    }
    fs->nodes.erase(FakeFs::Key(path));
    return 0;
}

const StageFs kFakeOps = {FakeKind, FakeRename, FakeRemoveFile, FakeRemoveDir};

struct NewFile {
    const char* dest;
    const char* data;
};

// A game folder with two files, one in a folder, as an update meets it.
FakeFs MakeGame() {
    FakeFs fs;
    fs.AddFolder("C:\\G");
    fs.AddFolder("C:\\G\\data");
    fs.AddFile("C:\\G\\game.exe", "old exe");
    fs.AddFile("C:\\G\\data\\a.dat", "old a");
    return fs;
}

// Stages files the way the extraction does: a folder created before the files inside it.
void Stage(StageJournal* j, FakeFs* fs, const std::vector<NewFile>& files) {
    fs->AddFolder("C:\\G\\new");
    ASSERT_EQ(AddCreatedFolder(j, "C:\\G\\new"), 0);
    for (const NewFile& f : files) {
        char temp[kPayloadNameBytes];
        ASSERT_EQ(AddStagedFile(j, f.dest, temp, sizeof temp), 0) << f.dest;
        EXPECT_EQ(fs->Find(temp), nullptr);
        fs->AddFile(temp, f.data);
    }
}

const std::vector<NewFile> kUpdate = {
    {"C:\\G\\game.exe", "new exe"},
    {"C:\\G\\new\\b.dat", "new b"},
    {"C:\\G\\data\\a.dat", "new a"},
};

TEST(Staging, CommitReplacesEveryFileAndLeavesNoTemporary) {
    FakeFs fs = MakeGame();
    StageJournal j;
    InitStageJournal(&j, &kFakeOps, &fs, 0xFFFFE);  // ids wrap past the last five-digit name
    Stage(&j, &fs, kUpdate);
    ASSERT_EQ(CommitStaged(&j), 0);
    for (const NewFile& f : kUpdate) {
        ASSERT_NE(fs.Find(f.dest), nullptr) << f.dest;
        EXPECT_EQ(fs.Find(f.dest)->data, f.data);
    }
    EXPECT_EQ(fs.CountTemporaries(), 0u);
    EXPECT_EQ(fs.nodes.size(), 6u);
    FreeStageJournal(&j);
}

// Every rename of the commit fails in turn, and so does every staging step before it: the folder
// always comes back exactly as it was.
TEST(Staging, AnyFailureLeavesTheFolderAsItWas) {
    const FakeFs original = MakeGame();
    for (int failAt = 0; failAt <= 6; ++failAt) {  // two moves per replaced file, one per new file
        FakeFs fs = original;
        StageJournal j;
        InitStageJournal(&j, &kFakeOps, &fs, 7);
        Stage(&j, &fs, kUpdate);
        fs.failRenames = {failAt};
        if (failAt == 0) {
            EXPECT_EQ(RollBackStaged(&j), 0);  // a record failed before the commit
        } else if (failAt <= 5) {
            EXPECT_EQ(CommitStaged(&j), -1) << failAt;
        } else {
            EXPECT_EQ(CommitStaged(&j), 0);  // there are only five moves
        }
        if (failAt <= 5) {
            EXPECT_EQ(fs.nodes, original.nodes) << failAt;
        }
        FreeStageJournal(&j);
    }
}

TEST(Staging, DestinationsThatCannotBeReplacedFailTheCommit) {
    struct Case {
        const char* what;
        void (*spoil)(FakeFs*);
    } cases[] = {
        {"read-only file", [](FakeFs* fs) { fs->AddFile("C:\\G\\data\\a.dat", "old a", true); }},
        {"folder in the way", [](FakeFs* fs) {
             fs->nodes.erase(FakeFs::Key("C:\\G\\data\\a.dat"));
             fs->AddFolder("C:\\G\\data\\a.dat");
         }},
        {"file held open", [](FakeFs* fs) { fs->failRenameFrom.push_back("C:\\G\\data\\a.dat"); }},
    };
    for (const Case& c : cases) {
        FakeFs fs = MakeGame();
        c.spoil(&fs);
        const FakeFs before = fs;
        StageJournal j;
        InitStageJournal(&j, &kFakeOps, &fs, 0);
        Stage(&j, &fs, kUpdate);
        EXPECT_EQ(CommitStaged(&j), -1) << c.what;
        EXPECT_EQ(fs.nodes, before.nodes) << c.what;
        FreeStageJournal(&j);
    }
}

// With seed 0 the temporaries are ids 0..2 and the asides 3 (game.exe) and 4 (a.dat). The moves:
// exe aside (1), exe in (2), b in (3), a aside (4), a in (5); undoing a: a back (6), exe back (7).
// When undoing fails too, the old file is kept at its aside name rather than lost.
TEST(Staging, AnOldFileThatCannotGoBackStaysAside) {
    struct Case {
        const char* what;
        std::vector<int> failRenames;
        const char* failRemove;
        const char* keptAside;
        const char* keptData;
    } cases[] = {
        {"putting the old file back", {5, 6}, nullptr, "C:\\G\\data\\~vn00004.tmp", "old a"},
        {"removing the new file from its place", {5}, "C:\\G\\game.exe", "C:\\G\\~vn00003.tmp", "old exe"},
    };
    for (const Case& c : cases) {
        FakeFs fs = MakeGame();
        StageJournal j;
        InitStageJournal(&j, &kFakeOps, &fs, 0);
        Stage(&j, &fs, kUpdate);
        fs.failRenames = c.failRenames;
        if (c.failRemove) fs.failRemove.push_back(c.failRemove);
        EXPECT_EQ(CommitStaged(&j), -1) << c.what;
        const Node* kept = fs.Find(c.keptAside);
        ASSERT_NE(kept, nullptr) << c.what;
        EXPECT_EQ(kept->data, c.keptData);
        // Everything else was undone.
        EXPECT_EQ(fs.Find("C:\\G\\new\\b.dat"), nullptr);
        EXPECT_EQ(fs.CountTemporaries(), 1u) << c.what;
        FreeStageJournal(&j);
    }
}

TEST(Staging, OldFilesThatCannotBeDeletedStayAfterASuccess) {
    FakeFs fs = MakeGame();
    StageJournal j;
    InitStageJournal(&j, &kFakeOps, &fs, 0);
    Stage(&j, &fs, kUpdate);
    fs.failRemove.push_back("C:\\G\\~vn00003.tmp");
    ASSERT_EQ(CommitStaged(&j), 0);
    EXPECT_EQ(fs.Find("C:\\G\\game.exe")->data, "new exe");
    EXPECT_EQ(fs.Find("C:\\G\\~vn00003.tmp")->data, "old exe");
    EXPECT_EQ(fs.CountTemporaries(), 1u);
    FreeStageJournal(&j);
}

TEST(Staging, ANameGivenTwiceEndsWithTheLaterFileOrTheOriginal) {
    const std::vector<NewFile> twice = {
        {"C:\\G\\game.exe", "first"},
        {"C:\\G\\GAME.EXE", "second"},
    };
    for (int failAt : {0, 4}) {
        FakeFs fs = MakeGame();
        const FakeFs before = fs;
        StageJournal j;
        InitStageJournal(&j, &kFakeOps, &fs, 0);
        Stage(&j, &fs, twice);
        fs.failRenames = {failAt};
        if (failAt == 0) {
            ASSERT_EQ(CommitStaged(&j), 0);
            EXPECT_EQ(fs.Find("C:\\G\\game.exe")->data, "second");
            EXPECT_EQ(fs.CountTemporaries(), 0u);
        } else {
            EXPECT_EQ(CommitStaged(&j), -1);
            EXPECT_EQ(fs.nodes, before.nodes);
        }
        FreeStageJournal(&j);
    }
}

TEST(Staging, TemporaryNamesAvoidEveryNameInUse) {
    FakeFs fs = MakeGame();
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
    FakeFs fs = MakeGame();
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

int CheckPaths(const std::vector<std::string>& names, const std::string& dest) {
    TestPayload p;
    BeginTestPayload(&p);
    for (const std::string& n : names) {
        if (n.back() == '\\') {
            AddTestDir(&p, n);
        } else {
            AddTestFile(&p, n, "data");
        }
    }
    EndTestPayload(&p);
    FILE* f = OpenTestBytes(p.bytes);
    PayloadReader reader;
    int rc = OpenPayloadReader(f, &reader);
    if (rc == 0) rc = CheckStagePaths(&reader, dest.c_str());
    if (rc != 0) rc = reader.error;
    fclose(f);
    return rc;
}

TEST(Staging, PathChecksCoverTheTemporaryNames) {
    std::string dest = "C:\\" + std::string(240, 'd');  // 243 bytes
    // dest + "\" + 15 bytes is 259: the file fits, and so does its temporary name.
    EXPECT_EQ(CheckPaths({"x\\", "x\\" + std::string(13, 'n')}, dest), kPayloadOk);
    // A short name deep down: the file fits, "~vnXXXXX.tmp" beside it does not.
    EXPECT_EQ(CheckPaths({"a.txt", std::string(10, 'f') + "\\a.dat"}, dest), kPayloadLongPath);
    EXPECT_EQ(CheckPaths({"a.txt", std::string(20, 'n')}, dest), kPayloadLongPath);
    std::vector<uint8_t> cut;
    TestPayload p;
    BeginTestPayload(&p);
    AddTestFile(&p, "a.txt", "data");
    EndTestPayload(&p, false);
    FILE* f = OpenTestBytes(p.bytes);
    PayloadReader reader;
    ASSERT_EQ(OpenPayloadReader(f, &reader), 0);
    EXPECT_EQ(CheckStagePaths(&reader, "C:\\G"), -1);  // no end marker
    fclose(f);
}

}  // namespace

#pragma once
// A folder tree in memory behind the staging's file-system calls, failing them on demand, and the
// small game folder and update the staging tests start from.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

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
    std::vector<int> failRenames;           // these renames (counting from 1) fail
    std::vector<std::string> failRemove;    // files whose removal fails
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
};

inline int FakeKind(void* ctx, const char* path, bool* readOnly) {
    const FakeNode* n = static_cast<FakeFs*>(ctx)->Find(path);
    if (!n) return kStageMissing;
    *readOnly = n->readOnly;
    return n->kind;
}

inline int FakeRename(void* ctx, const char* from, const char* to) {
    FakeFs* fs = static_cast<FakeFs*>(ctx);
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
    FakeFs* fs = static_cast<FakeFs*>(ctx);
    const FakeNode* n = fs->Find(path);
    if (!n || n->kind != kStageFile || FakeFs::Listed(fs->failRemove, path)) return -1;
    fs->nodes.erase(FakeFs::Key(path));
    return 0;
}

inline int FakeRemoveDir(void* ctx, const char* path) {
    FakeFs* fs = static_cast<FakeFs*>(ctx);
    const FakeNode* n = fs->Find(path);
    if (!n || n->kind != kStageFolder) return -1;
    std::string prefix = FakeFs::Key(path) + "\\";
    for (const auto& kv : fs->nodes) {
        if (kv.first.compare(0, prefix.size(), prefix) == 0) return -1;
    }
    fs->nodes.erase(FakeFs::Key(path));
    return 0;
}

const StageFs kFakeOps = {FakeKind, FakeRename, FakeRemoveFile, FakeRemoveDir};

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

// Stages files the way the extraction does: a folder created before the files inside it.
inline void StageFake(StageJournal* j, FakeFs* fs, const std::vector<FakeNewFile>& files) {
    fs->AddFolder("C:\\G\\new");
    ASSERT_EQ(AddCreatedFolder(j, "C:\\G\\new"), 0);
    for (const FakeNewFile& f : files) {
        char temp[kPayloadNameBytes];
        ASSERT_EQ(AddStagedFile(j, f.dest, temp, sizeof temp), 0) << f.dest;
        EXPECT_EQ(fs->Find(temp), nullptr);
        fs->AddFile(temp, f.data);
    }
}

// Runs CheckStagePaths over a payload of these names (a trailing backslash makes a folder) and
// returns 0 or the reader's error; without the end marker when endMarker is false.
inline int CheckFakePaths(const std::vector<std::string>& names, const std::string& dest,
                          bool endMarker = true) {
    TestPayload p;
    BeginTestPayload(&p);
    for (const std::string& n : names) {
        if (n.back() == '\\') {
            AddTestDir(&p, n);
        } else {
            AddTestFile(&p, n, "data");
        }
    }
    EndTestPayload(&p, endMarker);
    FILE* f = OpenTestBytes(p.bytes);
    PayloadReader reader;
    int rc = OpenPayloadReader(f, &reader);
    if (rc == 0) rc = CheckStagePaths(&reader, dest.c_str());
    if (rc != 0) rc = reader.error == kPayloadOk ? -1 : reader.error;
    fclose(f);
    return rc;
}

// An update that fails leaves the game folder as it was; one that succeeds replaces every file.
// The probe extracts its own payload into a game folder made here, the way the update command does.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/drive_win.h"
#include "support/payload_writer.h"
#include "support/updater_win.h"

namespace {

struct Seen {
    bool folder;
    DWORD attributes;
    uint64_t time;  // last write; files only, since a folder's changes whenever its entries do
    std::vector<uint8_t> bytes;
    bool operator==(const Seen& o) const {
        return folder == o.folder && attributes == o.attributes && time == o.time && bytes == o.bytes;
    }
};

uint64_t ToU64(const FILETIME& ft) {
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// Every file and folder below root, by relative path.
void Look(const std::wstring& root, const std::wstring& rel, std::map<std::wstring, Seen>* out) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((root + rel + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring n = fd.cFileName;
        if (n == L"." || n == L"..") continue;
        Seen s;
        s.folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        s.attributes = fd.dwFileAttributes;
        s.time = s.folder ? 0 : ToU64(fd.ftLastWriteTime);
        if (!s.folder) s.bytes = LoadBytes(root + rel + n);
        (*out)[rel + n] = s;
        if (s.folder) Look(root, rel + n + L"\\", out);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
}

std::map<std::wstring, Seen> LookAll(const std::wstring& root) {
    std::map<std::wstring, Seen> seen;
    Look(root + L"\\", L"", &seen);
    return seen;
}

// The entries of `a` that `b` lacks or holds otherwise, for a failure message.
std::string Differences(const std::map<std::wstring, Seen>& a, const std::map<std::wstring, Seen>& b) {
    std::string text;
    for (const auto& kv : a) {
        auto it = b.find(kv.first);
        if (it != b.end() && it->second == kv.second) continue;
        char line[160];
        snprintf(line, sizeof line, " %s (attributes %lx, time %llx, %u bytes)", ToCp932(kv.first).c_str(),
                 static_cast<unsigned long>(kv.second.attributes), static_cast<unsigned long long>(kv.second.time),
                 static_cast<unsigned>(kv.second.bytes.size()));
        text += line;
    }
    return text;
}

const uint64_t kOldTime = 0x01D4000000000000ull;
const uint64_t kNewTime = 0x01D6000000000000ull;

void PutFile(const std::wstring& path, const std::string& data, uint64_t time) {
    ASSERT_TRUE(SaveTestBytes(std::vector<uint8_t>(data.begin(), data.end()), ToCp932(path)));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME ft = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
    CloseHandle(h);
}

class Staging : public ::testing::Test {
protected:
    void SetUp() override {
        scratch = MakeScratchFolder(L"staging テスト");
        game = scratch + L"ゲーム";
        MakeGame();
    }
    // The installed game as an update meets it.
    void MakeGame() {
        SetFileAttributesW((game + L"\\data\\last.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveTree(game);
        ASSERT_TRUE(CreateDirectoryW(game.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((game + L"\\data").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((game + L"\\save").c_str(), nullptr));
        PutFile(game + L"\\game.exe", MakeTestPattern(70000, 1), kOldTime + 1);
        PutFile(game + L"\\data\\ソ.dat", MakeTestPattern(300000, 2), kOldTime + 2);
        PutFile(game + L"\\data\\b.dat", "old b", kOldTime + 3);
        PutFile(game + L"\\data\\last.dat", "old last", kOldTime + 4);
        PutFile(game + L"\\save\\player.sav", "the player's", kOldTime + 5);
    }
    void TearDown() override {
        SetFileAttributesW((game + L"\\data\\last.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveTree(scratch);
    }
    // An update of the game's files, ending with whatever `last` adds.
    TestPayload Update(void (*last)(TestPayload*)) {
        TestPayload p = OnProgram(L"extract_probe.exe");
        AddTestFile(&p, "game.exe", MakeTestPattern(90000, 11), kNewTime + 1);
        AddTestDir(&p, "data\\");
        AddTestFile(&p, "data\\ソ.dat", MakeTestPattern(400000, 12), kNewTime + 2);
        AddTestFile(&p, "data\\b.dat", "new b", kNewTime + 3);
        AddTestFile(&p, "data\\c.dat", "new c", kNewTime + 4);
        last(&p);
        return p;
    }
    DWORD Run(TestPayload* p) {
        DriveProcess proc = StartUpdater(SaveUpdater(scratch, L"update.exe", p), game);
        return FinishUpdater(&proc);
    }
    std::wstring scratch;
    std::wstring game;
};

TEST_F(Staging, AGoodUpdateReplacesEveryFileWithItsTimeAndLeavesNoTemporary) {
    TestPayload p = Update([](TestPayload* q) {
        AddTestDir(q, "new\\");
        AddTestFile(q, "new\\d.dat", "new d", kNewTime + 5);
        AddTestFile(q, "data\\last.dat", "new last", kNewTime + 6);
    });
    std::map<std::wstring, Seen> before = LookAll(game);
    ASSERT_EQ(Run(&p), 0u);
    std::map<std::wstring, Seen> after = LookAll(game);

    struct Want {
        const wchar_t* name;
        std::string data;
        uint64_t time;
    } wants[] = {
        {L"game.exe", MakeTestPattern(90000, 11), kNewTime + 1},
        {L"data\\ソ.dat", MakeTestPattern(400000, 12), kNewTime + 2},
        {L"data\\b.dat", "new b", kNewTime + 3},
        {L"data\\c.dat", "new c", kNewTime + 4},
        {L"new\\d.dat", "new d", kNewTime + 5},
        {L"data\\last.dat", "new last", kNewTime + 6},
    };
    for (const Want& w : wants) {
        ASSERT_TRUE(after.count(w.name)) << ToCp932(w.name);
        const Seen& s = after[w.name];
        EXPECT_EQ(std::string(s.bytes.begin(), s.bytes.end()), w.data) << ToCp932(w.name);
        EXPECT_EQ(s.time, w.time) << ToCp932(w.name);
    }
    EXPECT_TRUE(after[L"save\\player.sav"] == before[L"save\\player.sav"]);
    // The six files, the player's save and three folders: no temporary or old file anywhere.
    EXPECT_EQ(after.size(), 10u) << Differences(after, {});
}

// Each failure comes after several files were written (and, for the held file, after others were
// already moved into place); the game folder must come back exactly.
TEST_F(Staging, AFailedUpdateLeavesTheGameFolderAsItWas) {
    struct Case {
        const char* what;
        void (*last)(TestPayload*);
        void (*spoil)(const std::wstring& game, HANDLE* held);
    } cases[] = {
        {"read-only destination",
         [](TestPayload* q) { AddTestFile(q, "data\\last.dat", "new last", kNewTime + 6); },
         [](const std::wstring& g, HANDLE*) {
             ASSERT_TRUE(SetFileAttributesW((g + L"\\data\\last.dat").c_str(), FILE_ATTRIBUTE_READONLY));
         }},
        {"destination held open without sharing",
         [](TestPayload* q) { AddTestFile(q, "data\\last.dat", "new last", kNewTime + 6); },
         [](const std::wstring& g, HANDLE* held) {
             *held = CreateFileW((g + L"\\data\\last.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                 nullptr);
             ASSERT_NE(*held, INVALID_HANDLE_VALUE);
         }},
        {"damaged last record",
         [](TestPayload* q) {
             TestFileFaults bad;
             bad.badAdler = true;
             AddTestFile(q, "data\\last.dat", MakeTestPattern(200000, 13), kNewTime + 6, bad);
         },
         nullptr},
        {"last record cut short",
         [](TestPayload* q) {
             TestFileFaults cut;
             cut.cutStream = 3;
             AddTestFile(q, "data\\last.dat", MakeTestPattern(5000, 14), kNewTime + 6, cut);
         },
         nullptr},
        {"last record in folders this run creates",
         [](TestPayload* q) {
             AddTestDir(q, "new\\");
             AddTestDir(q, "new\\deep\\");
             TestFileFaults lying;
             lying.sizeDelta = 1;
             AddTestFile(q, "new\\deep\\last.dat", "new last", kNewTime + 6, lying);
         },
         nullptr},
    };
    for (const Case& c : cases) {
        MakeGame();
        TestPayload p = Update(c.last);
        std::wstring last = game + L"\\data\\last.dat";
        // Seen before the spoiling: a file held without sharing cannot be read from here.
        std::map<std::wstring, Seen> before = LookAll(game);
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.spoil) c.spoil(game, &held);
        DWORD spoiledAttributes = GetFileAttributesW(last.c_str());
        DriveProcess proc = StartUpdater(SaveUpdater(scratch, L"update.exe", &p), game);
        EXPECT_EQ(AnswerOwnerlessBox(proc), kDamagedMessage) << c.what;
        EXPECT_EQ(FinishUpdater(&proc), kExitMinusOne) << c.what;
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        EXPECT_EQ(GetFileAttributesW(last.c_str()), spoiledAttributes) << c.what;
        SetFileAttributesW(last.c_str(), FILE_ATTRIBUTE_NORMAL);
        std::map<std::wstring, Seen> after = LookAll(game);
        EXPECT_TRUE(after == before) << c.what << "\nonly before:" << Differences(before, after)
                                     << "\nonly after:" << Differences(after, before);
    }
}

// A path whose temporary name would not fit fails before anything is written.
TEST_F(Staging, ATemporaryPathTooLongFailsBeforeAnyWrite) {
    // Folders that bring "game\rel" to 250 bytes: a 5-byte name fits, a 12-byte one does not.
    std::wstring deep = game;
    std::string rel;
    size_t remaining = 250 - ToCp932(game).size() - 1;
    while (remaining > 0) {
        size_t seg = remaining > 22 ? 10 : remaining - 1;
        remaining -= seg + 1;
        std::string part(seg, 'd');
        rel += part + "\\";
        deep += L"\\" + FromCp932(part);
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    }
    std::string name = rel + "x.dat";  // fits, while "~vnXXXXX.tmp" beside it does not
    ASSERT_LE(ToCp932(game).size() + 1 + name.size(), 259u);
    ASSERT_GT(ToCp932(game).size() + 1 + rel.size() + 12, 259u);
    TestPayload p = Update([](TestPayload*) {});
    AddTestFile(&p, name, "x");
    std::map<std::wstring, Seen> before = LookAll(game);
    DriveProcess proc = StartUpdater(SaveUpdater(scratch, L"update.exe", &p), game);
    EXPECT_EQ(AnswerOwnerlessBox(proc), kDamagedMessage);
    EXPECT_EQ(FinishUpdater(&proc), kExitMinusOne);
    EXPECT_TRUE(LookAll(game) == before);
}

}  // namespace

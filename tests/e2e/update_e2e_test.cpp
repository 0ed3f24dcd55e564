// The update as a player meets it: updaters built by `vnpack build` from the real program, started,
// driven through the menu, and judged by what they leave in the game folder, the INI file, the
// registry and the programs they start.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/drive_win.h"
#include "support/payload_writer.h"
#include "support/staging_tree_win.h"
#include "support/updater_win.h"

namespace {

const wchar_t kTitle[] = L"E2E テスト アップデータ";
const wchar_t kKeyParent[] = L"Software\\VnE2E";
const wchar_t kKey[] = L"Software\\VnE2E\\ゲーム表";
const wchar_t kReadmeLabel[] = L"更新内容を読む";
const wchar_t kStopped[] = L"アップデートを中止しました";
const wchar_t kNotInstalled[] = L"本体がインストールされていません";
const wchar_t kNoFolder[] = L"インストール先が特定できませんでした";
const wchar_t kOldVersion[] = L"アップデート元のバージョンが不適合です";
const int kReadmeBox = 1007;
const int kRunBox = 1009;
const uint64_t kOldTime = 0x01D0000000000000ull;

std::wstring Updaters() { return ModuleFolder() + L"updaters\\"; }

std::wstring IniPath() {
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows) + L"\\vn_e2e.ini";
}

// --- the installation key ---

struct RegValue {
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const RegValue& o) const { return type == o.type && data == o.data; }
};
using RegValues = std::map<std::wstring, RegValue>;

RegValues ReadKey() {
    RegValues values;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLen = 256, type = 0, size = 1024;
        std::vector<BYTE> data(size);
        if (RegEnumValueW(key, i, name, &nameLen, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
        data.resize(size);
        values[name] = {type, data};
    }
    RegCloseKey(key);
    return values;
}

void SetValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetText(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    SetValue(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void DeleteValue(const wchar_t* name) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, name);
    RegCloseKey(key);
}

std::wstring ReadText(const wchar_t* name) {
    RegValues values = ReadKey();
    auto it = values.find(name);
    if (it == values.end() || it->second.type != REG_SZ) return L"(none)";
    return reinterpret_cast<const wchar_t*>(it->second.data.data());
}

std::wstring IniValue(const wchar_t* key) {
    wchar_t value[512] = {};
    GetPrivateProfileStringW(L"Setup", key, L"(none)", value, 512, IniPath().c_str());
    return value;
}

// --- what the stand-in game and read-me viewer recorded ---

struct Started {
    uint64_t created;
    std::wstring module, folder, commandLine;
};

std::wstring FromUtf8(const std::string& s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::vector<Started> ReadRecord(const std::wstring& path) {
    std::vector<uint8_t> bytes = LoadBytes(path);
    std::wstring text = FromUtf8(std::string(bytes.begin(), bytes.end()));
    std::vector<Started> started;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(L'\n', at);
        std::wstring line = text.substr(at, end - at);
        at = end == std::wstring::npos ? text.size() : end + 1;
        std::vector<std::wstring> f;
        for (size_t from = 0;;) {
            size_t tab = line.find(L'\t', from);
            f.push_back(line.substr(from, tab - from));
            if (tab == std::wstring::npos) break;
            from = tab + 1;
        }
        if (f.size() == 4) started.push_back({std::stoull(f[0]), f[1], f[2], f[3]});
    }
    return started;
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

// True once no recorder started by pid is left, so that every one of them has written its line.
bool RecordersGone(DWORD pid) {
    return WaitUntil(
        [&] {
            HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
            PROCESSENTRY32W pe = {};
            pe.dwSize = sizeof pe;
            bool any = false;
            for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
                bool recorder = _wcsicmp(pe.szExeFile, L"game.exe") == 0 || _wcsicmp(pe.szExeFile, L"e2e_recorder.exe") == 0;
                if (recorder && pe.th32ParentProcessID == pid) any = true;
            }
            CloseHandle(snap);
            return !any;
        },
        kUpdaterWaitMs);
}

// --- the player's side of the windows ---

// Waits for the message box the program shows now and returns it.
HWND WaitBox(DWORD pid, MessageBoxView* view) {
    HWND box = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : TopWindows(pid)) {
                MessageBoxView seen;
                if (ReadMessageBox(w, &seen)) {
                    box = w;
                    *view = seen;
                }
            }
            return box != nullptr;
        },
        kUpdaterWaitMs);
    return box;
}

// Reads the box, checks that the menu owns it under the updater's title, and presses answer.
std::wstring AnswerBox(DWORD pid, HWND menu, int answer) {
    MessageBoxView view;
    HWND box = WaitBox(pid, &view);
    if (!box) {
        ADD_FAILURE() << "no message box";
        return L"";
    }
    EXPECT_EQ(view.caption, kTitle);
    EXPECT_EQ(view.owner, menu);
    EXPECT_TRUE(PressButton(box, answer));
    EXPECT_TRUE(WaitWindowGone(box, kUpdaterWaitMs));
    return view.text;
}

int UpdateButton(HWND menu) {
    for (const DriveControl& c : ListControls(menu)) {
        if (c.text == L"アップデート" && c.visible) return c.id;
    }
    ADD_FAILURE() << "no Update button";
    return 0;
}

std::string ProgramBytes(const wchar_t* name) {
    std::vector<uint8_t> b = LoadBytes(ModuleFolder() + name);
    EXPECT_GT(b.size(), 1024u) << ToCp932(name);
    return std::string(b.begin(), b.end());
}

void ExpectSameTree(const Tree& after, const Tree& want) {
    EXPECT_TRUE(after == want) << "only before:" << TreeDifferences(want, after)
                               << "\nonly after:" << TreeDifferences(after, want);
}

// How the player leaves the completion dialog.
enum Leave { kOk, kEscape, kCloseBox };

struct Ending {
    const char* what;
    const wchar_t* updater;  // L"full.exe" offers the read-me, L"short.exe" does not
    const wchar_t* folder;   // the install folder's name
    bool tickReadme, untickRun;
    Leave leave;
    bool wantGame, wantReadme;
};

class Update : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The read-me opens with its associated program: here the recorder, for a type of our own.
        std::wstring command = L"\"" + ModuleFolder() + L"e2e_recorder.exe\" \"%1\"";
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L".vnrm", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"VnE2E.Readme"), 13 * sizeof(wchar_t));
        RegCloseKey(key);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"VnE2E.Readme\\shell\\open\\command", 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    static void TearDownTestSuite() {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L".vnrm");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"VnE2E.Readme");
        RegDeleteTreeW(HKEY_CURRENT_USER, kKeyParent);
        DeleteFileW(IniPath().c_str());
    }
    void TearDown() override {
        EndProgram(&proc);
        RemoveTree(scratch);
    }

    // An installed older game in scratch\name, registered as version 5, and the updater copied
    // into a folder of its own beside a stray game.exe that must never be the one started.
    void Install(const wchar_t* name, const wchar_t* updater) {
        scratch = MakeScratchFolder(L"e2e");
        record = scratch + L"record.txt";
        SetEnvironmentVariableW(L"VN_E2E_RECORD", record.c_str());
        ASSERT_NO_FATAL_FAILURE(PutOldGame(scratch + name));
        std::wstring own = scratch + L"download";
        ASSERT_TRUE(CreateDirectoryW(own.c_str(), nullptr));
        exe = own + L"\\" + updater;
        ASSERT_TRUE(CopyFileW((Updaters() + updater).c_str(), exe.c_str(), FALSE));
        ASSERT_TRUE(CopyFileW((ModuleFolder() + L"e2e_recorder.exe").c_str(), (own + L"\\game.exe").c_str(), FALSE));
        tree = Updaters() + std::wstring(updater).substr(0, wcslen(updater) - 4);
        RegDeleteTreeW(HKEY_CURRENT_USER, kKeyParent);
        SetText(L"IsInst", L"1");
        SetText(L"InstTo", game);
        SetText(L"Version", L"5");
        DeleteFileW(IniPath().c_str());
        workFolders = WorkFolders();
    }

    // The older game in folder: game.exe, data\scenario.dat and the player's save.
    void PutOldGame(const std::wstring& folder) {
        game = folder;
        ASSERT_TRUE(CreateDirectoryW(game.c_str(), nullptr));
        for (const wchar_t* f : {L"\\data", L"\\save"}) ASSERT_TRUE(CreateDirectoryW((game + f).c_str(), nullptr));
        PutTimedFile(game + L"\\game.exe", "the old game", kOldTime + 1);
        PutTimedFile(game + L"\\data\\scenario.dat", "old scenario", kOldTime + 2);
        PutTimedFile(game + L"\\save\\player.sav", "the player's", kOldTime + 3);
    }

    // Starts the updater and waits for its menu.
    void StartMenu() {
        proc = StartUpdater(exe);
        menu = WaitTopWindow(proc.pid, kTitle, L"#32770", kUpdaterWaitMs);
        ASSERT_NE(menu, nullptr);
    }

    // Update, Yes to the question that names the folder, then the completion dialog, left as asked.
    void RunRoad(const Ending& e) {
        ASSERT_TRUE(PressButton(menu, UpdateButton(menu)));
        EXPECT_EQ(AnswerBox(proc.pid, menu, IDYES), L"[" + game + L"]をアップデートします");
        HWND done = WaitTopWindow(proc.pid, L"インストール終了", L"#32770", kUpdaterWaitMs);
        ASSERT_NE(done, nullptr);
        EXPECT_EQ(GetWindow(done, GW_OWNER), menu);
        std::map<int, DriveControl> boxes;
        for (const DriveControl& c : ListControls(done)) boxes[c.id] = c;
        bool full = wcscmp(e.updater, L"full.exe") == 0;
        ASSERT_EQ(boxes.count(kReadmeBox), full ? 1u : 0u);
        if (full) {
            EXPECT_EQ(boxes[kReadmeBox].text, kReadmeLabel);
            EXPECT_EQ(boxes[kReadmeBox].check, BST_UNCHECKED);
        }
        EXPECT_EQ(boxes[kRunBox].check, BST_CHECKED);
        if (e.tickReadme) {
            ASSERT_TRUE(ClickControl(done, kReadmeBox));
        }
        if (e.untickRun) {
            ASSERT_TRUE(ClickControl(done, kRunBox));
        }
        if (e.tickReadme || e.untickRun) {
            ASSERT_TRUE(WaitUntil(
                [&] {
                    return IsDlgButtonChecked(done, kRunBox) == (e.untickRun ? BST_UNCHECKED : BST_CHECKED) &&
                           (!full || IsDlgButtonChecked(done, kReadmeBox) == (e.tickReadme ? BST_CHECKED : BST_UNCHECKED));
                },
                kUpdaterWaitMs));
        }
        switch (e.leave) {
        case kOk: ASSERT_TRUE(PressButton(done, IDOK)); break;
        case kEscape: ASSERT_TRUE(PostMessageW(done, WM_KEYDOWN, VK_ESCAPE, 0)); break;
        case kCloseBox: ASSERT_TRUE(PostMessageW(done, WM_SYSCOMMAND, SC_CLOSE, 0)); break;
        }
        DWORD pid = proc.pid;
        EXPECT_EQ(FinishUpdater(&proc), 0u);
        EXPECT_TRUE(RecordersGone(pid));
    }

    // Everything a finished update leaves behind.
    void ExpectUpdated(const Ending& e) {
        Tree shipped = LookAll(tree);
        Tree installed = LookAll(game);
        for (const auto& kv : shipped) {
            if (kv.second.folder) {
                EXPECT_TRUE(installed.count(kv.first) && installed[kv.first].folder) << ToCp932(kv.first);
                continue;
            }
            const TreeEntry& got = installed[kv.first];
            EXPECT_TRUE(got.bytes == kv.second.bytes) << ToCp932(kv.first);
            EXPECT_EQ(got.time, kv.second.time) << ToCp932(kv.first);
        }
        EXPECT_EQ(installed[L"save\\player.sav"].time, kOldTime + 3);
        // The shipped entries and the player's save folder and file: nothing else, no temporary.
        EXPECT_EQ(installed.size(), shipped.size() + 2) << TreeDifferences(installed, shipped);

        EXPECT_EQ(IniValue(L"InstallPath"), game);
        EXPECT_EQ(IniValue(L"SaveFolder"), game + L"\\save");
        EXPECT_EQ(IniValue(L"Mode"), L"updated");
        EXPECT_EQ(ReadText(L"InstallPath"), game);
        EXPECT_EQ(ReadText(L"SaveFolder"), game + L"\\save");
        EXPECT_EQ(ReadText(L"Title"), L"テスト ゲーム ソフト");
        EXPECT_EQ(ReadText(L"InstTo"), game);

        EXPECT_EQ(WorkFolders(), workFolders) << "the work folder must be gone";

        std::vector<Started> started = ReadRecord(record);
        const Started* gameRun = nullptr;
        const Started* readme = nullptr;
        for (const Started& s : started) {
            if (s.commandLine.find(L"readme.vnrm") != std::wstring::npos) {
                readme = &s;
            } else {
                gameRun = &s;
            }
        }
        ASSERT_EQ(started.size(), static_cast<size_t>(e.wantGame + e.wantReadme)) << e.what;
        if (e.wantGame) {
            ASSERT_NE(gameRun, nullptr);
            EXPECT_TRUE(SamePath(gameRun->module, game + L"\\game.exe")) << ToCp932(gameRun->module);
            EXPECT_TRUE(SamePath(gameRun->folder, game)) << ToCp932(gameRun->folder);
            EXPECT_TRUE(SamePath(gameRun->commandLine, L"\"" + game + L"\\game.exe\"")) << ToCp932(gameRun->commandLine);
        }
        if (e.wantReadme) {
            ASSERT_NE(readme, nullptr);
            EXPECT_NE(readme->commandLine.find(game + L"\\readme.vnrm"), std::wstring::npos) << ToCp932(readme->commandLine);
            if (gameRun) {
                EXPECT_LT(gameRun->created, readme->created) << "the game starts before the read-me";
            }
        }
    }

    std::wstring scratch, game, record, exe, tree;
    std::set<std::wstring> workFolders;
    DriveProcess proc;
    HWND menu = nullptr;
};

// Each way out of the completion dialog, on folders with and without a space and 0x5C trail bytes.
TEST_F(Update, TheWholeRoadEndsAsThePlayerChose) {
    const Ending endings[] = {
        {"read-me ticked", L"full.exe", L"ゲーム ソ表", true, false, kOk, true, true},
        {"OK as offered", L"full.exe", L"Game", false, false, kOk, true, false},
        {"only the read-me", L"full.exe", L"Game", true, true, kOk, false, true},
        {"short form", L"short.exe", L"ゲーム ソ表", false, false, kOk, true, false},
        {"Escape", L"full.exe", L"Game", true, false, kEscape, false, false},
        {"close box", L"short.exe", L"Game", false, false, kCloseBox, false, false},
    };
    for (const Ending& e : endings) {
        SCOPED_TRACE(e.what);
        ASSERT_NO_FATAL_FAILURE(Install(e.folder, e.updater));
        ASSERT_NO_FATAL_FAILURE(StartMenu());
        ASSERT_NO_FATAL_FAILURE(RunRoad(e));
        ExpectUpdated(e);
        EndProgram(&proc);
        RemoveTree(scratch);
    }
}

// A refused update writes nothing and leaves the menu open; once the cause is mended, Update runs
// the whole road in the same menu.
TEST_F(Update, ARefusalWritesNothingAndTheMenuTriesAgain) {
    struct Refusal {
        const char* what;
        void (*spoil)(const std::wstring& game);
        void (*mend)(const std::wstring& game);
        const wchar_t* message;  // null: the player answers No
    } refusals[] = {
        {"IsInst missing", [](const std::wstring&) { DeleteValue(L"IsInst"); },
         [](const std::wstring&) { SetText(L"IsInst", L"1"); }, kNotInstalled},
        {"IsInst 0", [](const std::wstring&) { SetText(L"IsInst", L"0"); },
         [](const std::wstring&) { SetText(L"IsInst", L"1"); }, kNotInstalled},
        {"IsInst REG_DWORD",
         [](const std::wstring&) {
             DWORD one = 1;
             SetValue(L"IsInst", REG_DWORD, &one, sizeof one);
         },
         [](const std::wstring&) { SetText(L"IsInst", L"1"); }, kNotInstalled},
        {"InstTo empty", [](const std::wstring&) { SetText(L"InstTo", L""); },
         [](const std::wstring& g) { SetText(L"InstTo", g); }, kNoFolder},
        {"InstTo REG_EXPAND_SZ", [](const std::wstring& g) { SetText(L"InstTo", g, REG_EXPAND_SZ); },
         [](const std::wstring& g) { SetText(L"InstTo", g); }, kNoFolder},
        {"key file missing", [](const std::wstring& g) { ASSERT_TRUE(DeleteFileW((g + L"\\game.exe").c_str())); },
         [](const std::wstring& g) { PutTimedFile(g + L"\\game.exe", "the old game", kOldTime + 1); }, kNoFolder},
        {"version below", [](const std::wstring&) { SetText(L"Version", L"4"); },
         [](const std::wstring&) { SetText(L"Version", L"5"); }, kOldVersion},
        {"answer No", [](const std::wstring&) {}, [](const std::wstring&) {}, nullptr},
    };
    const Ending road = {"after mending", L"full.exe", L"ゲーム ソ表", false, false, kOk, true, false};
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        ASSERT_NO_FATAL_FAILURE(Install(road.folder, road.updater));
        r.spoil(game);
        Tree before = LookAll(game);
        RegValues registry = ReadKey();
        ASSERT_NO_FATAL_FAILURE(StartMenu());
        ASSERT_TRUE(PressButton(menu, UpdateButton(menu)));
        if (r.message) {
            EXPECT_EQ(AnswerBox(proc.pid, menu, IDOK), r.message);
        } else {
            EXPECT_EQ(AnswerBox(proc.pid, menu, IDNO), L"[" + game + L"]をアップデートします");
        }
        EXPECT_EQ(AnswerBox(proc.pid, menu, IDOK), kStopped);
        EXPECT_TRUE(IsWindowVisible(menu));
        EXPECT_TRUE(LookAll(game) == before) << TreeDifferences(LookAll(game), before);
        EXPECT_TRUE(ReadKey() == registry);
        EXPECT_EQ(GetFileAttributesW(IniPath().c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetFileAttributesW(record.c_str()), INVALID_FILE_ATTRIBUTES);
        r.mend(game);
        ASSERT_NO_FATAL_FAILURE(RunRoad(road));
        ExpectUpdated(road);
        EndProgram(&proc);
        RemoveTree(scratch);
    }
}

// The last record's Adler-32 is wrong: found only after its data were written, and after every
// other file. The game folder must come back exactly as it was.
TEST_F(Update, ADamagedLastRecordLeavesTheGameAsItWas) {
    ASSERT_NO_FATAL_FAILURE(Install(L"ゲーム ソ表", L"full.exe"));
    std::vector<uint8_t> bytes = LoadBytes(exe);
    ASSERT_GT(bytes.size(), 4u);
    auto u32 = [&](size_t at) {
        return at + 4 <= bytes.size() ? bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24
                                      : 0u;
    };
    // Walk the records from the trailer's offset to the end marker; remember where the last stream ends.
    size_t at = u32(bytes.size() - 4), lastEnd = 0;
    while (at + 2 <= bytes.size()) {
        size_t nameLen = bytes[at] | bytes[at + 1] << 8;
        if (nameLen == 0) break;
        uint32_t size = u32(at + 2 + nameLen), packed = u32(at + 6 + nameLen);
        at += 10 + nameLen;
        if (size != 0xFFFFFFFFu) lastEnd = at += 8 + packed;
    }
    ASSERT_GT(lastEnd, 0u);
    ASSERT_LE(lastEnd, bytes.size());
    bytes[lastEnd - 1] ^= 0x55;  // the stream's Adler-32
    ASSERT_TRUE(SaveTestBytes(bytes, ToCp932(exe)));
    Tree before = LookAll(game);
    RegValues registry = ReadKey();
    ASSERT_NO_FATAL_FAILURE(StartMenu());
    ASSERT_TRUE(PressButton(menu, UpdateButton(menu)));
    EXPECT_EQ(AnswerBox(proc.pid, menu, IDYES), L"[" + game + L"]をアップデートします");
    EXPECT_EQ(AnswerBox(proc.pid, menu, IDOK), kDamagedMessage);
    EXPECT_EQ(FinishUpdater(&proc), kExitMinusOne);
    Tree after = LookAll(game);
    EXPECT_TRUE(after == before) << "only before:" << TreeDifferences(before, after)
                                 << "\nonly after:" << TreeDifferences(after, before);
    EXPECT_TRUE(ReadKey() == registry);
    EXPECT_EQ(GetFileAttributesW(IniPath().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(record.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(WorkFolders(), workFolders);
}

// What a studio's tool cannot ship or foresee, met through the menu by the real program over a
// payload written here: a running game, a read-only destination, a disk that fills up, names that
// climb out of the game folder. Good records come first, so the refusal meets files already
// written; a deeper folder ends start-up's walk before the case's records, as in a shipped updater.
// Each shows the damaged-file message, ends with -1 and leaves the game folder as it was (which
// also means no temporary file and no journal), the work folder gone and nothing written elsewhere.
TEST_F(Update, AHostileUpdateLeavesTheGameAsItWas) {
    const uint64_t kNewTime = 0x01D6000000000000ull;
    enum Setting { kPlain, kRunning, kReadOnly, kSmallDrive };
    struct Case {
        const char* what;
        Setting setting;
        std::vector<TimedFile> last;
    } cases[] = {
        {"the running game's image", kRunning, {{"game.exe", "new exe", kNewTime}}},
        {"a library the running game loaded", kRunning, {{"game.dll", "new dll", kNewTime}}},
        {"a read-only destination", kReadOnly, {{"data\\scenario.dat", "new scenario", kNewTime}}},
        // 12 MB on an 8 MiB drive.
        {"a disk that fills up",
         kSmallDrive,
         {{"big0.dat", MakeTestPattern(3000000, 30), kNewTime},
          {"big1.dat", MakeTestPattern(3000000, 31), kNewTime},
          {"big2.dat", MakeTestPattern(3000000, 32), kNewTime},
          {"big3.dat", MakeTestPattern(3000000, 33), kNewTime}}},
        {"a name that climbs out", kPlain, {{"..\\evil.dat", "evil", kNewTime}}},
        {"a name that climbs out of a folder", kPlain, {{"data\\..\\..\\evil.dat", "evil", kNewTime}}},
        {"a drive letter", kPlain, {{"C:\\evil.dat", "evil", kNewTime}}},
        {"a UNC prefix", kPlain, {{"\\\\localhost\\C$\\evil.dat", "evil", kNewTime}}},
    };
    const std::vector<uint8_t> env = LoadBytes(Updaters() + L"short\\install.env");
    const std::vector<uint8_t> splash = LoadBytes(Updaters() + L"short\\insttscr.rct");
    ASSERT_FALSE(env.empty() || splash.empty());
    const std::wstring temp = TempFolder().substr(0, TempFolder().size() - 1);
    bool noSmallDrive = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.setting == kSmallDrive && GetFileAttributesW(L"S:\\") == INVALID_FILE_ATTRIBUTES) {
            noSmallDrive = true;
            continue;
        }
        ASSERT_NO_FATAL_FAILURE(Install(L"ゲーム ソ表", L"short.exe"));
        if (c.setting == kSmallDrive) {
            RemoveTree(L"S:\\ゲーム");
            ASSERT_NO_FATAL_FAILURE(PutOldGame(L"S:\\ゲーム"));
            SetText(L"InstTo", game);
        }
        PutTimedFile(game + L"\\game.dll", "the old library", kOldTime + 4);
        DriveProcess running;
        struct EndOnExit {
            DriveProcess* proc;
            ~EndOnExit() { EndProgram(proc); }
        } ender{&running};
        if (c.setting == kRunning) {
            PutTimedFile(game + L"\\game.exe", ProgramBytes(L"standin_game.exe"), kOldTime + 1);
            PutTimedFile(game + L"\\game.dll", ProgramBytes(L"standin_lib.dll"), kOldTime + 4);
            std::wstring ready = scratch + L"ready";
            ASSERT_TRUE(StartProgram(L"\"" + game + L"\\game.exe\" " + ready, &running, game.c_str()));
            ASSERT_TRUE(
                WaitUntil([&] { return GetFileAttributesW(ready.c_str()) != INVALID_FILE_ATTRIBUTES; }, kUpdaterWaitMs))
                << "the stand-in game did not start";
        }
        const std::wstring scenario = game + L"\\data\\scenario.dat";
        if (c.setting == kReadOnly) {
            ASSERT_TRUE(SetFileAttributesW(scenario.c_str(), FILE_ATTRIBUTE_READONLY));
        }
        TestPayload p = OnProgram(L"vnupdate.exe");
        AddTimedFiles(&p, {{"install.env", std::string(env.begin(), env.end()), kOldTime},
                           {"insttscr.rct", std::string(splash.begin(), splash.end()), kOldTime},
                           {"data\\"},
                           {"data\\sub\\"},
                           {"data\\sub\\new.dat", "new file in a new folder", kNewTime},
                           {"save\\player.sav", "an update's save", kNewTime},
                           {"新しい.dat", MakeTestPattern(200000, 5), kNewTime}});
        AddTimedFiles(&p, c.last);
        exe = SaveUpdater(scratch + L"download\\", L"short.exe", &p);

        const std::wstring outside = scratch.substr(0, scratch.size() - 1);
        const Tree before = LookAll(game), around = LookAll(outside);
        const std::set<std::wstring> onC = FilesIn(L"C:"), inTemp = FilesIn(temp);
        const std::set<std::wstring> onS = FilesIn(L"S:");
        RegValues registry = ReadKey();
        ASSERT_NO_FATAL_FAILURE(StartMenu());
        ASSERT_TRUE(PressButton(menu, UpdateButton(menu)));
        EXPECT_EQ(AnswerBox(proc.pid, menu, IDYES), L"[" + game + L"]をアップデートします");
        EXPECT_EQ(AnswerBox(proc.pid, menu, IDOK), kDamagedMessage);
        EXPECT_EQ(FinishUpdater(&proc), kExitMinusOne);

        ExpectSameTree(LookAll(game), before);
        ExpectSameTree(LookAll(outside), around);
        EXPECT_EQ(FilesIn(L"C:"), onC);
        EXPECT_EQ(FilesIn(L"S:"), onS);
        EXPECT_EQ(FilesIn(temp), inTemp) << "the work folder must be gone";
        EXPECT_EQ(WorkFolders(), workFolders);
        EXPECT_TRUE(ReadKey() == registry);
        EXPECT_EQ(GetFileAttributesW(IniPath().c_str()), INVALID_FILE_ATTRIBUTES);

        EndProgram(&running);
        SetFileAttributesW(scenario.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (c.setting == kSmallDrive) RemoveTree(game);
        RemoveTree(scratch);
    }
    if (noSmallDrive) {
        GTEST_SKIP() << "the other cases ran; no small drive S: for the full disk "
                        "(the tmpfs could not be mounted: see wine/small-drive.log)";
    }
}

}  // namespace

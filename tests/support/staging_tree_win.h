#pragma once
// What the staging and extraction tests look at on a real folder: every entry with its bytes,
// attributes and time, files written with a given time, and the copy window's clip and bars.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/drive_win.h"
#include "support/payload_writer.h"
#include "support/updater_win.h"

struct TreeEntry {
    bool folder;
    DWORD attributes;
    uint64_t time;  // last write; files only, since a folder's changes whenever its entries do
    std::vector<uint8_t> bytes;
    bool operator==(const TreeEntry& o) const {
        return folder == o.folder && attributes == o.attributes && time == o.time && bytes == o.bytes;
    }
};
using Tree = std::map<std::wstring, TreeEntry>;

inline uint64_t FileTimeU64(const FILETIME& ft) {
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

inline void LookTree(const std::wstring& root, const std::wstring& rel, Tree* out) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((root + rel + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring n = fd.cFileName;
        if (n == L"." || n == L"..") continue;
        TreeEntry s;
        s.folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        s.attributes = fd.dwFileAttributes;
        s.time = s.folder ? 0 : FileTimeU64(fd.ftLastWriteTime);
        if (!s.folder) s.bytes = LoadBytes(root + rel + n);
        (*out)[rel + n] = s;
        if (s.folder) LookTree(root, rel + n + L"\\", out);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
}

// Every file and folder below root, by relative path.
inline Tree LookAll(const std::wstring& root) {
    Tree seen;
    LookTree(root + L"\\", L"", &seen);
    return seen;
}

// The entries of `a` that `b` lacks or holds otherwise, for a failure message.
inline std::string TreeDifferences(const Tree& a, const Tree& b) {
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

// Writes data to path and gives it the last-write time.
inline void PutTimedFile(const std::wstring& path, const std::string& data, uint64_t time) {
    ASSERT_TRUE(SaveTestBytes(std::vector<uint8_t>(data.begin(), data.end()), ToCp932(path)));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME ft = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
    CloseHandle(h);
}

// Creates folders below root that bring "root\rel" to `bytes` bytes (CP932) and returns rel, ending
// in a backslash.
inline std::string MakeDeepFolders(const std::wstring& root, size_t bytes) {
    std::wstring deep = root;
    std::string rel;
    size_t remaining = bytes - ToCp932(root).size() - 1;
    while (remaining > 0) {
        size_t seg = remaining > 22 ? 10 : remaining - 1;
        remaining -= seg + 1;
        std::string part(seg, 'd');
        rel += part + "\\";
        deep += L"\\" + FromCp932(part);
        EXPECT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    }
    return rel;
}

struct TimedFile {
    std::string name;  // a folder ends in a backslash
    std::string data = "";
    uint64_t time = 0x01D0000000000000ull;
    TestFileFaults faults = TestFileFaults();
    const std::string* base = nullptr;  // when set, the record is a delta from base to data
};

inline void AddTimedFiles(TestPayload* p, const std::vector<TimedFile>& files) {
    for (const TimedFile& f : files) {
        if (f.name.back() == '\\') {
            AddTestDir(p, f.name);
        } else if (f.base) {
            AddTestDelta(p, f.name, MakeTestDelta(*f.base, f.data), f.time);
        } else {
            AddTestFile(p, f.name, f.data, f.time, f.faults);
        }
    }
}

// An updater of program (L"vnupdate.exe", L"extract_probe.exe") over files, saved as folder + name.
inline std::wstring MakeUpdater(const std::wstring& folder, const wchar_t* name, const wchar_t* program,
                                const std::vector<TimedFile>& files) {
    TestPayload p = OnProgram(program);
    AddTimedFiles(&p, files);
    return SaveUpdater(folder, name, &p);
}

// Damage for one record: a wrong Adler-32, a stream cut short, a stored size off by delta.
inline TestFileFaults BadAdler() {
    TestFileFaults f;
    f.badAdler = true;
    return f;
}
inline TestFileFaults CutStream(size_t bytes) {
    TestFileFaults f;
    f.cutStream = bytes;
    return f;
}
inline TestFileFaults SizeDelta(int64_t delta) {
    TestFileFaults f;
    f.sizeDelta = delta;
    return f;
}

// The file's bytes and last-write time are as given.
inline void ExpectTimedFile(const std::wstring& folder, const TimedFile& f) {
    std::wstring path = folder + L"\\" + FromCp932(f.name);
    std::vector<uint8_t> got = LoadBytes(path);
    EXPECT_EQ(got.size(), f.data.size()) << f.name;
    EXPECT_TRUE(std::string(got.begin(), got.end()) == f.data) << f.name;
    WIN32_FILE_ATTRIBUTE_DATA attr;
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attr)) << f.name;
    EXPECT_EQ(FileTimeU64(attr.ftLastWriteTime), f.time) << f.name;
}

// The tree after is the tree want, entry for entry; what differs is named.
inline void ExpectSameTree(const Tree& after, const Tree& want, const std::string& what = "") {
    EXPECT_TRUE(after == want) << what << "\nonly before:" << TreeDifferences(want, after)
                               << "\nonly after:" << TreeDifferences(after, want);
}

// Copies the stand-in game and its library into folder as game.exe and game.dll (their bytes, with
// time) and starts it there; returns once both are mapped.
inline void StartStandinGame(const std::wstring& folder, uint64_t time, DriveProcess* running) {
    for (auto f :
         {std::pair<const wchar_t*, const wchar_t*>{L"game.exe", L"standin_game.exe"}, {L"game.dll", L"standin_lib.dll"}}) {
        const std::vector<uint8_t> b = LoadBytes(ModuleFolder() + f.second);
        ASSERT_GT(b.size(), 1024u);
        PutTimedFile(folder + L"\\" + f.first, std::string(b.begin(), b.end()), time);
    }
    const std::wstring ready = folder + L".ready";
    DeleteFileW(ready.c_str());
    ASSERT_TRUE(StartProgram(L"\"" + folder + L"\\game.exe\" " + ready, running, folder.c_str()));
    ASSERT_TRUE(WaitUntil([&] { return GetFileAttributesW(ready.c_str()) != INVALID_FILE_ATTRIBUTES; }, kUpdaterWaitMs))
        << "the stand-in game did not start";
}

// The program's work folders in the temporary folder that are not in before.
inline std::vector<std::wstring> NewWorkFolders(const std::set<std::wstring>& before) {
    std::vector<std::wstring> made;
    for (const std::wstring& f : WorkFolders()) {
        if (!before.count(f)) made.push_back(f);
    }
    return made;
}

// n bytes, mostly zero, that compress well but differ every 4 KiB.
inline std::string MakeSparseBytes(size_t n) {
    std::string big(n, '\0');
    for (size_t i = 0; i < n; i += 4096) big[i] = static_cast<char>(i >> 12);
    return big;
}

inline int BarPos(HWND window, int id) { return static_cast<int>(SendDlgItemMessageW(window, id, PBM_GETPOS, 0, 0)); }
// The bar stands at the top of its range.
inline bool BarAtEnd(HWND window, int id) {
    return BarPos(window, id) == static_cast<int>(SendDlgItemMessageW(window, id, PBM_GETRANGE, FALSE, 0));
}

// The pixels the control shows on the screen right now.
inline std::vector<COLORREF> Snapshot(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    HDC screen = GetDC(nullptr);
    std::vector<COLORREF> pixels;
    for (int y = r.top; y < r.bottom; y += 2) {
        for (int x = r.left; x < r.right; x += 2) pixels.push_back(GetPixel(screen, x, y));
    }
    ReleaseDC(nullptr, screen);
    return pixels;
}

// True once the clip shows another frame than the one it shows now.
inline bool ClipMoves(HWND animation) {
    std::vector<COLORREF> from = Snapshot(animation);
    return WaitUntil([&] { return Snapshot(animation) != from; }, kUpdaterWaitMs);
}

// True once the clip has shown the same frame for longer than several frame times (watched
// throughout, so a slow machine only makes the watch longer).
inline bool ClipStands(HWND animation) {
    std::vector<COLORREF> last = Snapshot(animation);
    DWORD since = GetTickCount();
    return WaitUntil(
        [&] {
            std::vector<COLORREF> now = Snapshot(animation);
            if (now != last) {
                last = now;
                since = GetTickCount();
                return false;
            }
            return GetTickCount() - since >= 500;  // five frames at ten a second: a playing clip would have moved
        },
        kUpdaterWaitMs);
}

// A scratch folder (named as given) for the updaters a test makes, and the work folders that were
// there before it: whatever a test's programs leave behind is removed with the scratch folder.
class UpdaterTest : public ::testing::Test {
protected:
    explicit UpdaterTest(const wchar_t* scratchName) : scratchName_(scratchName) {}
    void SetUp() override {
        scratch = MakeScratchFolder(scratchName_);
        before = WorkFolders();
    }
    void TearDown() override {
        for (const std::wstring& f : NewWorkFolders(before)) RemoveTree(TempFolder() + f);
        RemoveTree(scratch);
    }
    // An updater of program over files, in the scratch folder.
    std::wstring Make(const wchar_t* name, const std::vector<TimedFile>& files, const wchar_t* program = L"vnupdate.exe") {
        return MakeUpdater(scratch, name, program, files);
    }
    std::wstring scratch;
    std::set<std::wstring> before;

private:
    const wchar_t* scratchName_;
};

// The extraction probe with its copy's worker held at a step of the staging ("block:N",
// "written:N"; see extract_probe_win.cpp) while the copy window's thread goes on; SetEvent(release)
// lets the worker go on.
struct HeldProbe {
    HANDLE held, release;
    std::wstring name = L"vnupdate_hold_" + std::to_wstring(GetCurrentProcessId());
    HeldProbe() {
        held = CreateEventW(nullptr, FALSE, FALSE, (name + L"_held").c_str());
        release = CreateEventW(nullptr, FALSE, FALSE, (name + L"_release").c_str());
        SetEnvironmentVariableW(L"VN_TEST_PAUSE_EVENT", (name + L"_held").c_str());
        SetEnvironmentVariableW(L"VN_TEST_RELEASE_EVENT", (name + L"_release").c_str());
    }
    ~HeldProbe() {
        for (const wchar_t* v : {L"VN_TEST_PAUSE", L"VN_TEST_PAUSE_EVENT", L"VN_TEST_RELEASE_EVENT"})
            SetEnvironmentVariableW(v, nullptr);
        CloseHandle(held);
        CloseHandle(release);
    }
    // Starts exe on dest; returns the copy window once the worker is held, or null.
    HWND Start(const std::wstring& exe, const std::wstring& dest, const char* pause, DriveProcess* proc) {
        SetEnvironmentVariableW(L"VN_TEST_PAUSE", FromCp932(pause).c_str());
        *proc = StartUpdater(exe, dest);
        if (!held || !release || WaitForSingleObject(held, kUpdaterWaitMs) != WAIT_OBJECT_0) return nullptr;
        return WaitTopWindow(proc->pid, L"ファイルのコピー中...", nullptr, kUpdaterWaitMs);
    }
};

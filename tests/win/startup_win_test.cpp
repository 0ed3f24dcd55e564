// The program's start-up and its extraction, driven from outside as a player meets them: updaters
// are made here from the real program (or a probe that extracts everything) and a payload.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "process/workdir_win.h"
#include "resources/resource.h"
#include "support/drive_win.h"
#include "support/payload_writer.h"
#include "support/updater_win.h"

namespace {

const wchar_t kMissing[] =
    L"起動に必要なファイルが不足しています。\nインストールの異常終了、起動するフォルダ異常、等を確認してください。";

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        scratch = MakeScratchFolder(L"startup テスト");
        before = WorkFolders();
    }
    void TearDown() override {
        for (const std::wstring& f : WorkFolders()) {
            if (!before.count(f)) RemoveTree(TempFolder() + f);
        }
        RemoveTree(scratch);
    }
    std::wstring scratch;
    std::set<std::wstring> before;
};

TEST_F(Startup, UnpacksOnlyTheSetupFilesIntoANewWorkFolder) {
    TestPayload p = OnProgram(L"vnupdate.exe");
    AddTestFile(&p, "install.env", "TITLEBAR demo\r\n");
    AddTestFile(&p, "insttscr.rct", "RCT");
    AddTestFile(&p, "readme.txt", "read me");
    AddTestFile(&p, "install.env.bak", "old");
    AddTestFile(&p, "NOTES.TXT", "upper case is not taken");
    AddTestFile(&p, "game.exe", "MZ");
    AddTestDir(&p, "data\\");
    AddTestDir(&p, "data\\sub\\");
    AddTestFile(&p, "data\\sub\\late.txt", "after the stop");
    DriveProcess proc = StartUpdater(SaveUpdater(scratch, L"アップデート 1.exe", &p));
    EXPECT_EQ(FinishUpdater(&proc), 0u);

    std::vector<std::wstring> made;
    for (const std::wstring& f : WorkFolders()) {
        if (!before.count(f)) made.push_back(f);
    }
    ASSERT_EQ(made.size(), 1u);
    const std::wstring& name = made[0];
    EXPECT_EQ(name.size(), 29u) << ToCp932(name);  // nine digits until about 11.6 days of uptime
    EXPECT_EQ(name.find_first_not_of(L"0123456789", 20), std::wstring::npos) << ToCp932(name);
    EXPECT_EQ(FilesIn(TempFolder() + name),
              (std::set<std::wstring>{L"install.env", L"insttscr.rct", L"readme.txt", L"install.env.bak"}));
}

TEST_F(Startup, WithoutInstallEnvItSaysFilesAreMissingAndCleansUp) {
    TestPayload p = OnProgram(L"vnupdate.exe");
    AddTestFile(&p, "readme.txt", "read me");
    DriveProcess proc = StartUpdater(SaveUpdater(scratch, L"noenv.exe", &p));
    EXPECT_EQ(AnswerOwnerlessBox(proc), kMissing);
    EXPECT_EQ(FinishUpdater(&proc), kExitMinusOne);
    EXPECT_EQ(WorkFolders(), before);
}

TEST_F(Startup, ADamagedPayloadIsReportedAndCleansUp) {
    struct Case {
        const char* what;
        void (*build)(TestPayload*);
    } cases[] = {
        {"bad Adler-32",
         [](TestPayload* p) {
             TestFileFaults f;
             f.badAdler = true;
             AddTestFile(p, "readme.txt", "read me");
             AddTestFile(p, "install.env", "TITLEBAR demo\r\n", 0x01D0000000000000ull, f);
         }},
        {"name that climbs out", [](TestPayload* p) { AddTestFile(p, "..\\install.env", "x"); }},
        {"setup file in a folder",
         [](TestPayload* p) {
             AddTestFile(p, "install.env", "TITLEBAR demo\r\n");
             AddTestDir(p, "doc\\");
             AddTestFile(p, "doc\\readme.txt", "x");
         }},
    };
    for (const Case& c : cases) {
        TestPayload p = OnProgram(L"vnupdate.exe");
        c.build(&p);
        DriveProcess proc = StartUpdater(SaveUpdater(scratch, L"damaged.exe", &p));
        EXPECT_EQ(AnswerOwnerlessBox(proc), kDamagedMessage) << c.what;
        EXPECT_EQ(FinishUpdater(&proc), kExitMinusOne) << c.what;
        EXPECT_EQ(WorkFolders(), before) << c.what;
    }
    // Nothing was written beside the work folder by the name that climbs out.
    EXPECT_EQ(GetFileAttributesW((TempFolder() + L"install.env").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Startup, TwoStartsInOneMillisecondGetTheirOwnFolders) {
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    ASSERT_EQ(CreateWorkFolder(), 0);
    std::wstring first = FromCp932(GetWorkFolder());
    // Take every name the next starts could compute, as other copies of the program would.
    std::wstring base = first.substr(0, first.size() - 9);
    long tick = std::stol(first.substr(first.size() - 9));
    std::vector<std::wstring> taken;
    for (int i = 1; i <= 150; ++i) {
        wchar_t digits[16];
        swprintf(digits, 16, L"%09ld", tick + i);
        if (CreateDirectoryW((base + digits).c_str(), nullptr)) taken.push_back(base + digits);
    }
    int second = CreateWorkFolder();
    std::wstring secondFolder = FromCp932(GetWorkFolder());
    SetCurrentDirectoryW(cwd);
    for (const std::wstring& t : taken) RemoveDirectoryW(t.c_str());
    RemoveDirectoryW(first.c_str());
    if (second == 0) {
        EXPECT_NE(secondFolder, first);
        for (const std::wstring& t : taken) EXPECT_NE(secondFolder, t);
        RemoveDirectoryW(secondFolder.c_str());
    }
}

// The update's extraction, run by a probe that extracts its own payload into a folder.
class ExtractAll : public Startup {};

struct Expected {
    std::string name;
    std::string data;
    uint64_t time;
};

void CheckFile(const std::wstring& dest, const Expected& e) {
    std::wstring path = dest + L"\\" + FromCp932(e.name);
    std::vector<uint8_t> got = LoadBytes(path);
    EXPECT_EQ(got.size(), e.data.size()) << e.name;
    EXPECT_TRUE(std::string(got.begin(), got.end()) == e.data) << e.name;
    WIN32_FILE_ATTRIBUTE_DATA attr;
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attr)) << e.name;
    uint64_t time = (static_cast<uint64_t>(attr.ftLastWriteTime.dwHighDateTime) << 32) |
                    attr.ftLastWriteTime.dwLowDateTime;
    EXPECT_EQ(time, e.time) << e.name;
}

TEST_F(ExtractAll, FilesOfEverySizeArriveExactlyWithTheirTimes) {
    std::vector<Expected> files = {
        {"empty.dat", "", 0x01D5000000000001ull},
        {"small.txt", MakeTestPattern(1000, 1), 0x01D5000000000002ull},
        {"block.dat", MakeTestPattern(0x20000, 2), 0x01D5000000000003ull},
        {"data\\二つ.dat", MakeTestPattern(0x40000, 3), 0x01D5000000000004ull},
        {"data\\ソ\\large.dat", MakeTestPattern(5 * 1024 * 1024 + 17, 4), 0x01D5000000000005ull},
    };
    TestPayload p = OnProgram(L"extract_probe.exe");
    AddTestFile(&p, files[0].name, files[0].data, files[0].time);
    AddTestFile(&p, files[1].name, files[1].data, files[1].time);
    AddTestFile(&p, files[2].name, files[2].data, files[2].time);
    AddTestDir(&p, "data\\");
    AddTestDir(&p, "data\\ソ\\");
    AddTestFile(&p, files[3].name, files[3].data, files[3].time);
    AddTestFile(&p, files[4].name, files[4].data, files[4].time);
    std::wstring dest = scratch + L"ゲーム";
    ASSERT_TRUE(CreateDirectoryW(dest.c_str(), nullptr));
    DriveProcess proc = StartUpdater(SaveUpdater(scratch, L"probe.exe", &p), dest);
    EXPECT_EQ(FinishUpdater(&proc), 0u);
    for (const Expected& e : files) CheckFile(dest, e);
}

TEST_F(ExtractAll, ADamagedLastRecordIsReportedAfterTheOthers) {
    TestPayload p = OnProgram(L"extract_probe.exe");
    AddTestFile(&p, "good.dat", "good");
    TestFileFaults cut;
    cut.cutStream = 3;
    AddTestFile(&p, "last.dat", MakeTestPattern(4000, 5), 0x01D0000000000000ull, cut);
    std::wstring dest = scratch + L"dest";
    ASSERT_TRUE(CreateDirectoryW(dest.c_str(), nullptr));
    DriveProcess proc = StartUpdater(SaveUpdater(scratch, L"probe.exe", &p), dest);
    EXPECT_EQ(AnswerOwnerlessBox(proc), kDamagedMessage);
    EXPECT_EQ(FinishUpdater(&proc), kExitMinusOne);
}

int BarPos(HWND window, int id) {
    return static_cast<int>(SendDlgItemMessageW(window, id, PBM_GETPOS, 0, 0));
}

// The pixels the control shows on the screen right now.
std::vector<COLORREF> Snapshot(HWND control) {
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

// True once the clip shows another frame than `from`.
bool ClipMoves(HWND animation) {
    std::vector<COLORREF> from = Snapshot(animation);
    return WaitUntil([&] { return Snapshot(animation) != from; }, kUpdaterWaitMs);
}

// True once the clip shows the same frame for longer than several frame times.
bool ClipStands(HWND animation) {
    return WaitUntil(
        [&] {
            std::vector<COLORREF> a = Snapshot(animation);
            Sleep(500);  // five frames at ten a second: a playing clip would have moved
            return Snapshot(animation) == a;
        },
        kUpdaterWaitMs);
}

// A large payload keeps the window up long enough to watch it and to press Cancel.
TEST_F(ExtractAll, TheWindowShowsTheFileAndBothBarsAndCancelOnlyStopsTheClip) {
    const size_t kBig = 96u * 1024 * 1024;
    std::string big(kBig, '\0');
    for (size_t i = 0; i < kBig; i += 4096) big[i] = static_cast<char>(i >> 12);
    TestPayload p = OnProgram(L"extract_probe.exe");
    AddTestFile(&p, "first.dat", big, 0x01D5000000000010ull);
    AddTestFile(&p, "second.dat", big, 0x01D5000000000011ull);
    AddTestFile(&p, "third.dat", big, 0x01D5000000000012ull);  // time to watch the clip stand
    std::wstring dest = scratch + L"dest";
    ASSERT_TRUE(CreateDirectoryW(dest.c_str(), nullptr));
    DriveProcess proc = StartUpdater(SaveUpdater(scratch, L"probe.exe", &p), dest);

    HWND window = WaitTopWindow(proc.pid, L"ファイルのコピー中...", nullptr, kUpdaterWaitMs);
    ASSERT_NE(window, nullptr);
    HWND animation = GetDlgItem(window, IDC_COPY_ANIMATION);
    EXPECT_TRUE(ClipMoves(animation));
    std::wstring expectedPath = dest + L"\\first.dat";
    EXPECT_TRUE(WaitUntil([&] { return WindowText(GetDlgItem(window, IDC_COPY_FILE_NAME)) == expectedPath; },
                          kUpdaterWaitMs));
    EXPECT_TRUE(WaitUntil([&] { return BarPos(window, IDC_COPY_FILE_BAR) > 0; }, kUpdaterWaitMs));
    EXPECT_TRUE(WaitUntil([&] { return BarPos(window, IDC_COPY_TOTAL_BAR) > 0; }, kUpdaterWaitMs));
    SaveScreenshot("copy_progress");

    ASSERT_TRUE(PressButton(window, IDCANCEL));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(ClipStands(animation));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(FinishUpdater(&proc), 0u);
    CheckFile(dest, {"third.dat", big, 0x01D5000000000012ull});
}

}  // namespace

// The update as a player meets it: updaters built by `vnpack build` from the real program, started,
// driven through the menu, and judged by what they leave in the game folder, the INI file, the
// registry and the programs they start.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/drive_win.h"
#include "support/e2e_game_win.h"
#include "support/payload_writer.h"
#include "support/registry_win.h"
#include "support/staging_tree_win.h"
#include "support/updater_win.h"

namespace {

const int kReadmeBox = 1007;
const int kRunBox = 1009;
const uint64_t kNewTime = 0x01D6000000000000ull;

bool SamePath(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

struct Ending {
    const char* what;
    const wchar_t* updater;  // L"full.exe" offers the read-me, L"short.exe" does not; -signed, -repadded
    const wchar_t* folder;   // the install folder's name
    bool tickReadme, untickRun;
    UINT leave;    // how the player leaves the completion dialog: OK, Escape or the close box
    WPARAM param;  // of the message
    bool wantGame, wantReadme;
};

class Update : public E2eGame {
protected:
    // Update, Yes to the question that names the folder, then the completion dialog, left as asked.
    void RunRoad(const Ending& e, bool lookAtDrawing) {
        EXPECT_EQ(PressUpdate(IDYES), Question());
        HWND done = WaitTopWindow(proc.pid, L"インストール終了", L"#32770", kUpdaterWaitMs);
        ASSERT_NE(done, nullptr);
        EXPECT_EQ(GetWindow(done, GW_OWNER), menu);
        // In tab order: OK, the message, the read-me box in the full form, the run box.
        const bool full = wcsncmp(e.updater, L"full", 4) == 0;
        std::vector<std::wstring> controls, want = {L"1 OK", L"1009 ゲームの実行"};
        for (const DriveControl& c : ListControls(done)) controls.push_back(std::to_wstring(c.id) + L" " + c.text);
        want.insert(want.begin() + 1, L"65535 インストールを終了しました。\n以下のメニューを選択してＯＫを押して下さい。");
        if (full) want.insert(want.begin() + 2, L"1007 更新内容を読む");
        EXPECT_EQ(controls, want);
        EXPECT_NE(GetWindowLongW(done, GWL_STYLE) & WS_SYSMENU, 0) << "the dialog has a close box";
        // Drawn as on Japanese Windows: the message inside its rectangle, the close box a glyph.
        if (lookAtDrawing) {
            ASSERT_TRUE(WaitUntil([&] { return TextFitsControl(FindWindowExW(done, nullptr, L"Static", nullptr)); },
                                  kUpdaterWaitMs));
            ASSERT_TRUE(WaitUntil([&] { return CloseBoxShowsGlyph(done); }, kUpdaterWaitMs));
            EXPECT_TRUE(SaveScreenshot("completion"));
        }
        // Offered ticked to run the game, unticked to open the read-me: a click turns each over.
        EXPECT_TRUE(!e.tickReadme || ClickControl(done, kReadmeBox));
        EXPECT_TRUE(!e.untickRun || ClickControl(done, kRunBox));
        ASSERT_TRUE(WaitUntil(
            [&] {
                return IsDlgButtonChecked(done, kRunBox) == (e.untickRun ? BST_UNCHECKED : BST_CHECKED) &&
                       (!full || IsDlgButtonChecked(done, kReadmeBox) == (e.tickReadme ? BST_CHECKED : BST_UNCHECKED));
            },
            kUpdaterWaitMs));
        ASSERT_TRUE(PostMessageW(done, e.leave, e.param, 0));
        DWORD pid = proc.pid;
        EXPECT_EQ(FinishUpdater(&proc), 0u);
        // Every stand-in it started has ended, so one that should not have run has written its line too.
        EXPECT_TRUE(ChildrenGone(pid, {L"game.exe", L"e2e_recorder.exe"}, kUpdaterWaitMs));
    }

    // Everything a finished update leaves behind.
    void ExpectUpdated(const Ending& e) {
        Tree shipped = LookAll(tree);
        Tree installed = LookAll(game);
        for (const auto& kv : shipped) {  // bytes and times; a folder has neither
            const TreeEntry& got = installed[kv.first];
            EXPECT_TRUE(got.folder == kv.second.folder && got.bytes == kv.second.bytes && got.time == kv.second.time)
                << ToCp932(kv.first);
        }
        EXPECT_EQ(installed[L"save\\player.sav"].time, kE2eOldTime + 3);
        // The shipped entries and the player's save folder and file: nothing else, no temporary.
        EXPECT_EQ(installed.size(), shipped.size() + 2) << TreeDifferences(installed, shipped);

        // Every [ini] line but the one without "=" (an empty value is written, not deleted), in order.
        wchar_t keys[512] = {};
        DWORD n = GetPrivateProfileStringW(L"Setup", nullptr, L"", keys, 512, E2eIniPath().c_str());
        EXPECT_EQ(std::wstring(keys, n), std::wstring(L"InstallPath\0SaveFolder\0Mode\0Empty\0ソ名\0", 37));
        EXPECT_EQ(E2eIniValue(L"InstallPath"), game);
        EXPECT_EQ(E2eIniValue(L"Empty"), L"");
        EXPECT_EQ(E2eIniValue(L"ソ名"), L"表\\値");
        // Every string [reg] line beside the installation's three values; "" is the default value. What
        // the lines become is the native transfer table's; here that each kind reaches the system.
        EXPECT_EQ(ReadRegValues(HKEY_CURRENT_USER, kE2eKey).size(), 10u);
        EXPECT_EQ(ReadE2eText(L"InstallPath"), game);
        EXPECT_EQ(ReadE2eText(L""), L"既定");
        EXPECT_EQ(ReadE2eText(L"Empty"), L"");
        EXPECT_EQ(ReadE2eText(L"ソ名"), L"表\\値");
        EXPECT_EQ(ReadE2eText(L"Cd").substr(1), L":\\") << "the first CD-ROM drive, or E:";

        EXPECT_EQ(WorkFolders(), workFolders) << "the work folder must be gone";

        // The game by its full path with its folder current, named on its command line as install.env
        // names it (a stray game.exe beside the updater is never the one started); the read-me by its
        // path there; the game first.
        // Waited for: that none of its stand-ins runs any more does not prove that each has written.
        const size_t want = e.wantGame + e.wantReadme;
        std::vector<Started> started;
        WaitUntil([&] { return (started = ReadStarted(record)).size() >= want; }, kUpdaterWaitMs);
        const std::vector<uint8_t> lines = LoadBytes(record);
        ASSERT_EQ(started.size(), want) << e.what << ", recorded:\n" << std::string(lines.begin(), lines.end());
        const Started* gameRun = nullptr;
        const Started* readme = nullptr;
        for (const Started& s : started) (s.commandLine.find(L"readme.vnrm") != std::wstring::npos ? readme : gameRun) = &s;
        if (e.wantGame) {
            ASSERT_NE(gameRun, nullptr);
            EXPECT_TRUE(SamePath(gameRun->module, game + L"\\game.exe") && SamePath(gameRun->folder, game) &&
                        gameRun->commandLine == L"\"game.exe\"")
                << ToCp932(gameRun->module) << " in " << ToCp932(gameRun->folder) << ": " << ToCp932(gameRun->commandLine);
        }
        if (e.wantReadme) {
            ASSERT_NE(readme, nullptr);
            EXPECT_NE(readme->commandLine.find(game + L"\\readme.vnrm"), std::wstring::npos) << ToCp932(readme->commandLine);
            EXPECT_TRUE(!gameRun || gameRun->created < readme->created) << "the game starts before the read-me";
        }
    }
};

// Each way out of the completion dialog, on folders with and without a space and 0x5C trail bytes;
// a signed updater goes the same road.
TEST_F(Update, TheWholeRoadEndsAsThePlayerChose) {
    const Ending endings[] = {
        {"read-me ticked", L"full.exe", L"ゲーム ソ表", true, false, WM_COMMAND, IDOK, true, true},
        {"only the read-me", L"full.exe", L"Game", true, true, WM_COMMAND, IDOK, false, true},
        {"short form", L"short.exe", L"ゲーム ソ表", false, false, WM_COMMAND, IDOK, true, false},
        {"Escape", L"full.exe", L"Game", true, false, WM_KEYDOWN, VK_ESCAPE, false, false},
        {"close box", L"short.exe", L"Game", false, false, WM_SYSCOMMAND, SC_CLOSE, false, false},
        {"signed", L"full-signed.exe", L"ゲーム ソ表", true, false, WM_COMMAND, IDOK, true, true},
        {"re-padded and signed", L"short-repadded.exe", L"Game", false, false, WM_COMMAND, IDOK, true, false},
    };
    for (const Ending& e : endings) {
        SCOPED_TRACE(e.what);
        ASSERT_NO_FATAL_FAILURE(Install(e.folder, e.updater));
        ASSERT_NO_FATAL_FAILURE(StartMenu());
        ASSERT_NO_FATAL_FAILURE(RunRoad(e, &e == endings));
        ExpectUpdated(e);
    }
}

// Which values refuse is unit-tested; here each message once, two of them for a value of the wrong
// type. A refused update writes nothing and leaves the menu open; once the cause is mended, Update runs
// the whole road in the same menu.
TEST_F(Update, ARefusalWritesNothingAndTheMenuTriesAgain) {
    const struct {
        const char* what;
        void (*spoil)(const std::wstring& game);
        const wchar_t* message;  // null: the player answers No
    } refusals[] = {
        {"IsInst REG_DWORD (1)",
         [](const std::wstring&) { SetRegValue(HKEY_CURRENT_USER, kE2eKey, L"IsInst", REG_DWORD, "\1\0\0", 4); },
         L"本体がインストールされていません"},
        {"InstTo REG_EXPAND_SZ", [](const std::wstring& g) { SetE2eText(L"InstTo", g, REG_EXPAND_SZ); },
         L"インストール先が特定できませんでした"},
        {"version below", [](const std::wstring&) { SetE2eText(L"Version", L"4"); },
         L"アップデート元のバージョンが不適合です"},
        {"answer No", [](const std::wstring&) {}, nullptr},
    };
    const Ending road = {"after mending", L"full.exe", L"ゲーム ソ表", false, false, WM_COMMAND, IDOK, true, false};
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.what);
        ASSERT_NO_FATAL_FAILURE(Install(road.folder, road.updater));
        r.spoil(game);
        const Tree before = LookAll(game);
        const RegValues registry = ReadRegValues(HKEY_CURRENT_USER, kE2eKey);
        ASSERT_NO_FATAL_FAILURE(StartMenu());
        EXPECT_EQ(PressUpdate(r.message ? IDOK : IDNO), r.message ? r.message : Question());
        EXPECT_EQ(AnswerBox(IDOK), L"アップデートを中止しました");
        EXPECT_TRUE(IsWindowVisible(menu));
        ExpectSameTree(LookAll(game), before);
        EXPECT_TRUE(ReadRegValues(HKEY_CURRENT_USER, kE2eKey) == registry);
        EXPECT_EQ(GetFileAttributesW(E2eIniPath().c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetFileAttributesW(record.c_str()), INVALID_FILE_ATTRIBUTES);
        // Mended as installed.
        Register();
        ASSERT_NO_FATAL_FAILURE(RunRoad(road, false));
        ExpectUpdated(road);
    }
}

// What a studio's tool cannot ship or foresee, met through the menu by the real program over a
// payload written here: a running game, a disk that fills up, a name that climbs out of the game
// folder (the other hostile names, a read-only destination and a damaged record are the unit and
// staging tests' business). Good records come first, so the refusal meets files already written; a deeper
// folder ends start-up's walk before the case's records, as in a shipped updater. A running game's
// file asks, over the copy window, to close the game: Retry asks again while it runs, and after it
// was closed the update ends as usual. Otherwise (and after Cancel) each shows the damaged-file
// message, ends with -1 and leaves the game folder as it was (which also means no temporary file
// and no journal), the work folder gone and nothing written elsewhere.
TEST_F(Update, AHostileUpdateLeavesTheGameAsItWas) {
    enum Setting { kPlain, kRunning, kClosed, kSmallDrive };
    struct Case {
        const char* what;
        Setting setting;
        std::vector<TimedFile> last;
    } cases[] = {
        {"the running game's image", kRunning, {{"game.exe", "new exe", kNewTime}}},
        {"a library the running game loaded, closed", kClosed, {{"game.dll", "new dll", kNewTime}}},
        // 12 MB on an 8 MiB drive.
        {"a disk that fills up",
         kSmallDrive,
         {{"big0.dat", MakeTestPattern(3000000, 30), kNewTime},
          {"big1.dat", MakeTestPattern(3000000, 31), kNewTime},
          {"big2.dat", MakeTestPattern(3000000, 32), kNewTime},
          {"big3.dat", MakeTestPattern(3000000, 33), kNewTime}}},
        {"a name that climbs out", kPlain, {{"..\\evil.dat", "evil", kNewTime}}},
    };
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
            SetE2eText(L"InstTo", game);
        }
        PutTimedFile(game + L"\\game.dll", "the old library", kE2eOldTime + 4);
        DriveProcess running;
        EndOnExit ender{&running};
        if (c.setting == kRunning || c.setting == kClosed) {
            ASSERT_NO_FATAL_FAILURE(StartStandinGame(game, kE2eOldTime + 1, &running));
        }
        TestPayload p = SetupPayload();
        AddTimedFiles(&p, {{"data\\sub\\new.dat", "new file in a new folder", kNewTime},
                           {"save\\player.sav", "an update's save", kNewTime},
                           {"新しい.dat", MakeTestPattern(200000, 5), kNewTime}});
        AddTimedFiles(&p, c.last);
        exe = SaveUpdater(scratch + L"download\\", L"short.exe", &p);

        const std::wstring outside = scratch.substr(0, scratch.size() - 1);
        const Tree before = LookAll(game), around = LookAll(outside);
        const std::set<std::wstring> onS = FilesIn(L"S:"), inTemp = FilesIn(temp);
        const RegValues registry = ReadRegValues(HKEY_CURRENT_USER, kE2eKey);
        ASSERT_NO_FATAL_FAILURE(StartMenu());
        EXPECT_EQ(PressUpdate(IDYES), Question());
        const auto askedToClose = [&](int answer, bool endGame) {
            MessageBoxView view;
            HWND box = WaitMessageBox(proc.pid, &view, kUpdaterWaitMs);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(view.text, L"ファイル[" + game + L"\\" + FromCp932(c.last[0].name) +
                                     L"]は使用中のため置き換えられません。\nゲームを終了してから[再試行]を押してください。");
            EXPECT_EQ(view.caption, kE2eTitle);
            EXPECT_TRUE(view.owner != menu && GetWindow(view.owner, GW_OWNER) == menu) << "owned by the copy window";
            EXPECT_EQ(ButtonIds(view), (std::vector<int>{IDRETRY, IDCANCEL}));
            if (endGame) EndProgram(&running);
            EXPECT_TRUE(PressButton(box, answer));
            EXPECT_TRUE(WaitWindowGone(box, kUpdaterWaitMs));
        };
        if (c.setting == kRunning) {
            ASSERT_NO_FATAL_FAILURE(askedToClose(IDRETRY, false));
            ASSERT_NO_FATAL_FAILURE(askedToClose(IDCANCEL, false));
        }
        if (c.setting == kClosed) {
            ASSERT_NO_FATAL_FAILURE(askedToClose(IDRETRY, true));
            HWND done = WaitTopWindow(proc.pid, L"インストール終了", L"#32770", kUpdaterWaitMs);
            ASSERT_TRUE(done && PostMessageW(done, WM_SYSCOMMAND, SC_CLOSE, 0));
            EXPECT_EQ(FinishUpdater(&proc), 0u);
            const std::vector<uint8_t> placed = LoadBytes(game + L"\\game.dll");
            EXPECT_EQ(std::string(placed.begin(), placed.end()), "new dll");
            continue;
        }
        EXPECT_EQ(AnswerBox(IDOK), kDamagedMessage);
        EXPECT_EQ(FinishUpdater(&proc), kExitMinusOne);

        ExpectSameTree(LookAll(game), before);
        ExpectSameTree(LookAll(outside), around);
        EXPECT_EQ(FilesIn(L"S:"), onS);
        EXPECT_EQ(FilesIn(temp), inTemp) << "the work folder must be gone";
        EXPECT_EQ(WorkFolders(), workFolders);
        EXPECT_TRUE(ReadRegValues(HKEY_CURRENT_USER, kE2eKey) == registry);
        EXPECT_EQ(GetFileAttributesW(E2eIniPath().c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetFileAttributesW(record.c_str()), INVALID_FILE_ATTRIBUTES);

        if (c.setting == kSmallDrive) RemoveTree(game);
    }
    if (noSmallDrive) {
        GTEST_SKIP() << "the other cases ran; no small drive S: for the full disk "
                        "(the tmpfs could not be mounted: see wine/small-drive.log)";
    }
}

// Deltas over two installed archives, through the menu: the versions they were made from are updated;
// another version of either is refused by name, the game folder as it was. (A whole record beside the
// delta is the unit test's.)
TEST_F(Update, ADeltaUpdatesOnlyTheVersionItWasMadeFrom) {
    const std::string base = MakeTestPattern(400000, 9), third = MakeTestPattern(400000, 10);
    const std::string neu = base.substr(0, 150000) + "patched" + base.substr(150100), newVoice = "v" + base.substr(9);
    const struct {
        const char* what;
        const std::string *arc, *voice;
        const wchar_t* refused;  // the file named, or null when the update goes through
    } cases[] = {
        {"the versions they were made from", &base, &base, nullptr},
        {"another version of the first", &third, &base, L"arc.dat"},
        {"another version of the second", &base, &third, L"voice.dat"},
    };
    const Ending road = {"updated", L"short.exe", L"ゲーム ソ表", false, true, WM_COMMAND, IDOK, false, false};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(Install(road.folder, road.updater));
        PutTimedFile(game + L"\\data\\arc.dat", *c.arc, kE2eOldTime + 5);
        PutTimedFile(game + L"\\data\\voice.dat", *c.voice, kE2eOldTime + 6);
        TestPayload p = SetupPayload();
        AddTestDelta(&p, "data\\arc.dat", MakeTestDelta(base, neu), kNewTime);
        AddTestDelta(&p, "data\\voice.dat", MakeTestDelta(base, newVoice), kNewTime);
        exe = SaveUpdater(scratch + L"download\\", L"short.exe", &p);
        const Tree before = LookAll(game);
        ASSERT_NO_FATAL_FAILURE(StartMenu());
        if (c.refused) {
            EXPECT_EQ(PressUpdate(IDYES), Question());
            EXPECT_EQ(AnswerBox(IDOK), game + L"\\data\\" + c.refused +
                                           L" は、このアップデートが対象とするバージョンのファイルではありません。\n"
                                           L"このアップデートはお使いのバージョンには適用できません。");
            EXPECT_EQ(FinishUpdater(&proc), kExitMinusOne);
            ExpectSameTree(LookAll(game), before);
            continue;
        }
        ASSERT_NO_FATAL_FAILURE(RunRoad(road, false));
        Tree after = LookAll(game);
        EXPECT_TRUE(after[L"data\\arc.dat"].bytes == std::vector<uint8_t>(neu.begin(), neu.end()) &&
                    after[L"data\\voice.dat"].bytes == std::vector<uint8_t>(newVoice.begin(), newVoice.end()) &&
                    after[L"data\\arc.dat"].time == kNewTime);
        EXPECT_EQ(after.size(), before.size() + 3) << TreeDifferences(after, before);
    }
}

}  // namespace

// The main menu of the real program, driven from outside the way a player meets it: updaters are
// made here from vnupdate.exe and a payload, then started, read, clicked and closed.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "process/workdir_win.h"
#include "support/payload_writer.h"
#include "support/rct_bytes.h"
#include "support/staging_tree_win.h"
#include "support/updater_win.h"

namespace {

const char kJunkPicture[] = "RCT but no picture";

// A stand-in for the .txt program records what the shell hands it.
class Menu : public UpdaterTest {
protected:
    Menu() : UpdaterTest(L"menu test") {}  // ASCII, as the Western system's run needs
    void SetUp() override {
        UpdaterTest::SetUp();
        ASSERT_TRUE(txt.Installed());
    }
    // Two copies of one updater and one of another title.
    void RunTwoCopies() {
        const std::wstring exe =
            Make(L"twice.exe", {{"install.env", "TITLEBAR 二重\\起動ソ\r\n"}, {"insttscr.rct", kJunkPicture}});
        DriveProcess first;
        HWND menu = StartMenu(exe, L"二重\\起動ソ アップデータ", &first);
        ASSERT_NE(menu, nullptr);
        const std::set<std::wstring> withFirst = WorkFolders();
        // Another title is another program, even one a careless mapping of the backslash would meet.
        DriveProcess other;
        HWND otherMenu =
            StartMenu(Make(L"other.exe", {{"install.env", "TITLEBAR 二重/起動ソ\r\n"}, {"insttscr.rct", kJunkPicture}}),
                      L"二重/起動ソ アップデータ", &other);
        ASSERT_NE(otherMenu, nullptr);
        EXPECT_TRUE(PressButton(otherMenu, 1000));
        EXPECT_EQ(FinishUpdater(&other), 0u);

        DriveProcess second = StartUpdater(exe);
        MessageBoxView view;
        HWND box = WaitMessageBox(second.pid, &view, kUpdaterWaitMs);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(view.text, L"[ 二重\\起動ソ アップデータ ] は既に起動中です");
        EXPECT_EQ(view.caption, L"二重\\起動ソ");
        EXPECT_EQ(view.owner, nullptr);
        EXPECT_TRUE(view.hasIcon);
        EXPECT_EQ(ButtonIds(view), std::vector<int>{IDOK});
        EXPECT_TRUE(SaveScreenshot("menu_second_copy"));
        EXPECT_TRUE(PressButton(box, IDOK));
        EXPECT_EQ(FinishUpdater(&second), 0u);
        EXPECT_EQ(WorkFolders(), withFirst);

        DWORD code = 0;
        EXPECT_FALSE(WaitProgram(&first, 0, &code));
        EXPECT_TRUE(IsWindowVisible(menu));
        EXPECT_TRUE(PressButton(menu, 1000));
        EXPECT_EQ(FinishUpdater(&first), 0u);
        EXPECT_EQ(WorkFolders(), before);
    }
    StandinTxtOpener txt;
};

class WesternSystem : public Menu {};  // run under code page 1252

// Escape is pressed first: had it closed the menu, nothing after it would work. The read-me button
// opens the named document from the work folder and leaves the menu open; a close while Update's
// refusal is up is ignored; Exit and the close box both end with 0 and remove the work folder.
TEST_F(Menu, ButtonsFollowTheReadmeSettingAndBothWaysOutCleanUp) {
    const struct {
        const char* env;
        std::vector<std::wstring> buttons;  // top down; IDs count down to 1000 at the bottom
        const wchar_t* document;            // what the read-me button opens; null: none
        bool closeBox;                      // leave through the caption's close box, not Exit
        bool noProgram = false;             // no program opens its type: the shell says so
    } cases[] = {
        {"TITLEBAR ボタン\r\n", {L"アップデート", L"終了"}, nullptr, false},
        {"TITLEBAR ボタン\r\nINSTREADME 更新内容を読む\r\nINSTREADMEFL お知らせ.txt\r\n",
         {L"アップデート", L"更新内容を読む", L"終了"},
         L"お知らせ.txt",
         true},
        {"TITLEBAR ボタン\r\nINSTREADME 読む\r\nINSTREADMEFL 説明.vnnone\r\n",
         {L"アップデート", L"読む", L"終了"},
         L"説明.vnnone",
         false,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.env);
        txt.Forget();
        // A picture file that holds no picture: the menu shows and works without one.
        DriveProcess proc;
        HWND menu = StartMenu(Make(L"ボタン.exe", {{"install.env", c.env},
                                                   {"insttscr.rct", kJunkPicture},
                                                   {"readme.txt", "read me"},
                                                   {"お知らせ.txt", "お知らせ"},
                                                   {"説明.vnnone", "説明"}}),
                              L"ボタン アップデータ", &proc);
        ASSERT_NE(menu, nullptr);
        std::vector<std::wstring> work = NewWorkFolders(before);
        ASSERT_EQ(work.size(), 1u);
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageW(menu, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        // The template's order (top to bottom) is the tab order; destroyed ones are gone, hidden or not.
        const std::vector<DriveControl> seen = ListControls(menu);
        ASSERT_EQ(seen.size(), c.buttons.size());
        for (size_t i = 0; i < seen.size(); ++i) {
            EXPECT_TRUE(seen[i].visible && seen[i].enabled) << i;
            EXPECT_EQ(seen[i].id, static_cast<int>(1000 + seen.size() - 1 - i));
            EXPECT_EQ(seen[i].text, c.buttons[i]) << i;
        }
        if (c.document) {
            EXPECT_TRUE(PressButton(menu, 1001));
            MessageBoxView view;
            HWND box = c.noProgram ? WaitMessageBox(proc.pid, &view, kUpdaterWaitMs) : nullptr;
            EXPECT_TRUE(!c.noProgram || (PressButton(box, IDOK) && WaitWindowGone(box, kUpdaterWaitMs)));
            EXPECT_TRUE(c.noProgram || txt.Opened() == TempFolder() + work[0] + L"\\" + c.document);
            EXPECT_TRUE(IsWindowVisible(menu));
        }
        if (c.closeBox) {  // no installation: Update refuses in two boxes, the menu busy under them
            EXPECT_TRUE(PressLabelled(menu, L"アップデート"));
            for (int i = 0; i < 2; ++i) {
                MessageBoxView view;
                HWND box = WaitMessageBox(proc.pid, &view, kUpdaterWaitMs);
                ASSERT_NE(box, nullptr);
                DWORD_PTR answer;
                EXPECT_TRUE(SendMessageTimeoutW(menu, WM_CLOSE, 0, 0, SMTO_NORMAL, kUpdaterWaitMs, &answer));
                EXPECT_TRUE(IsWindowVisible(menu) && NewWorkFolders(before) == work) << i;
                EXPECT_TRUE(PressButton(box, IDOK) && WaitWindowGone(box, kUpdaterWaitMs));
            }
        }
        EXPECT_TRUE(c.closeBox ? PostMessageW(menu, WM_SYSCOMMAND, SC_CLOSE, 0) : PressButton(menu, 1000));
        EXPECT_EQ(FinishUpdater(&proc), 0u);
        EXPECT_EQ(WorkFolders(), before);
    }
}

// The picture is centred on the client height in both directions, read back from the screen. The
// template's 179 dialog units give 291 pixels with this system's font: the picture lands at
// (17, 17), 35 / 2 rounded toward zero.
TEST_F(Menu, ThePictureStandsWhereThePlayerSeesIt) {
    const int32_t side = 256;
    const std::string rctPath = ToCp932(scratch) + "splash.rct";
    const Bytes pixels = WriteRctPicture(rctPath.c_str(), side, side, nullptr);
    ASSERT_FALSE(pixels.empty());
    const Bytes rct = LoadTestBytes(rctPath.c_str());
    DriveProcess proc;
    HWND menu = StartMenu(
        Make(L"絵.exe", {{"install.env", "TITLEBAR 表示テスト\r\n"}, {"insttscr.rct", std::string(rct.begin(), rct.end())}}),
        L"表示テスト アップデータ", &proc);
    ASSERT_NE(menu, nullptr);
    RECT client;
    ASSERT_TRUE(GetClientRect(menu, &client));
    const int height = client.bottom - client.top;
    const int at = (height - side) / 2;
    // The picture's corners and middle (the button column covers its lower right corner), and the
    // dialog's face just outside it.
    const POINT inside[] = {{0, 0}, {side - 1, 0}, {0, side - 1}, {side - 1, side * 3 / 4}, {side / 2, side / 3}};
    const POINT outside[] = {{-1, 0}, {0, -1}, {side, 0}, {0, side}};
    EXPECT_TRUE(WaitUntil(
        [&] {
            for (const POINT& p : inside) {
                const uint8_t* px = &pixels[3 * static_cast<size_t>(p.y * side + p.x)];
                if (ScreenPixel(menu, at + p.x, at + p.y) != RGB(px[2], px[1], px[0])) return false;
            }
            for (const POINT& p : outside) {
                if (ScreenPixel(menu, at + p.x, at + p.y) != GetSysColor(COLOR_BTNFACE)) return false;
            }
            return true;
        },
        kUpdaterWaitMs))
        << "client height " << height;
    EXPECT_TRUE(SaveScreenshot("menu_picture"));
    EXPECT_TRUE(PressButton(menu, 1000));
    EXPECT_EQ(FinishUpdater(&proc), 0u);
}

// The mutex is named from the title's characters: through the ANSI call, the 0x5C ending ソ would be a
// backslash on a Western system, no mutex could be made and the updater would end unseen. A real
// backslash, which no mutex name may hold, must keep the guard working too.
TEST_F(Menu, ASecondCopyWithTheSameTitleIsRefusedAndTheFirstRunsOn) { RunTwoCopies(); }
TEST_F(WesternSystem, ASecondCopyWithTheSameTitleIsRefusedAndTheFirstRunsOn) {
    ASSERT_EQ(GetACP(), 1252u) << "this test needs LC_ALL=en_US.UTF-8";
    RunTwoCopies();
}

// What stops start-up: a payload without install.env or with a damaged record, and a configuration
// read before any window exists (no owner, no caption), a missing picture (over the menu), a menu
// that cannot be created (the program without its dialog templates, which must not try again and
// again). The last button ends each with -1 and no work folder.
TEST_F(Menu, StartFailuresGiveTheirMessageAndMinusOne) {
    const wchar_t missing[] =
        L"起動に必要なファイルが不足しています。\nインストールの異常終了、起動するフォルダ異常、等を確認してください。";
    const std::vector<int> ok = {IDOK};
    const struct {
        const wchar_t* program;
        std::vector<TimedFile> files;
        const wchar_t* message;  // null: no box
        const wchar_t* menu;     // the box's owner and caption; null: none
        std::vector<int> buttons = {IDRETRY, IDCANCEL};
    } cases[] = {
        {L"vnupdate.exe", {{"readme.txt", "read me"}}, missing, nullptr, ok},
        {L"vnupdate.exe",
         {{"readme.txt", "read me"}, {"install.env", "TITLEBAR demo\r\n", 0, BadAdler()}},
         kDamagedMessage,
         nullptr,
         ok},
        {L"vnupdate.exe",
         {{"install.env", "TITLEBAR 開いたまま\r\n[EOF]\r\n[ini]\r\nA=1\r\n"}, {"insttscr.rct", kJunkPicture}},
         L"[設定.env]の[ini]が終了していません",
         nullptr},
        {L"vnupdate.exe",
         {{"install.env", "TITLEBAR 絵なし\r\n"}},
         L"Ffopen : ファイル[insttscr.rct]の読み込みで失敗しました",
         L"絵なし アップデータ"},
        {L"menu_without_templates.exe",
         {{"install.env", "TITLEBAR 型なし\r\n"}, {"insttscr.rct", kJunkPicture}},
         nullptr,
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToCp932(c.program) + " " + c.files[0].data);
        DriveProcess proc = StartUpdater(Make(L"失敗.exe", c.files, c.program));
        if (c.message) {
            MessageBoxView view;
            HWND box = WaitMessageBox(proc.pid, &view, kUpdaterWaitMs);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(view.text, c.message);
            EXPECT_EQ(view.caption, c.menu ? c.menu : L"");
            EXPECT_EQ(view.owner ? WindowText(view.owner) : L"(none)", c.menu ? c.menu : L"(none)");
            EXPECT_TRUE(!view.owner || WindowClass(view.owner) == L"#32770");
            EXPECT_EQ(ButtonIds(view), c.buttons);
            EXPECT_TRUE(PressButton(box, c.buttons.back()));
        }
        EXPECT_EQ(FinishUpdater(&proc), kExitMinusOne);
        EXPECT_EQ(WorkFolders(), before);
    }
}

TEST(WorkFolder, IsForgottenOnceRemoved) {
    wchar_t cwd[MAX_PATH], elsewhere[MAX_PATH], after[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    ASSERT_EQ(CreateWorkFolder(), 0);
    const std::wstring folder = FromCp932(GetWorkFolder());
    RemoveWorkFolder();
    EXPECT_STREQ(GetWorkFolder(), "");
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    // A second removal finds nothing to do and leaves the current folder alone.
    GetTempPathW(MAX_PATH, elsewhere);
    SetCurrentDirectoryW(elsewhere);
    GetCurrentDirectoryW(MAX_PATH, elsewhere);
    RemoveWorkFolder();
    GetCurrentDirectoryW(MAX_PATH, after);
    EXPECT_STREQ(after, elsewhere);
    SetCurrentDirectoryW(cwd);
}

}  // namespace

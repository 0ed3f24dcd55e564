// The completion dialogs as the dialog manager builds them from the program's templates.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "support/drive_win.h"

namespace {

INT_PTR CALLBACK QuietProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The Japanese font, OK as the default button, a close box, and the controls in tab order: what
// the program fills in (the read-me box's label, the ticks) is the end-to-end test's business.
TEST(CompletionDialog, OpensWithItsFontCloseBoxAndControlsInTabOrder) {
    const std::wstring message = L"インストールを終了しました。\n以下のメニューを選択してＯＫを押して下さい。";
    const struct {
        const wchar_t* name;
        std::vector<DriveButton> controls;  // ID and text, in tab order
    } dialogs[] = {
        {L"ENDINSTALL", {{IDOK, L"OK"}, {0xFFFF, message}, {IDC_END_README, L"readme"}, {IDC_END_RUN, L"ゲームの実行"}}},
        {L"ENDINSTALL_SHORT", {{IDOK, L"OK"}, {0xFFFF, message}, {IDC_END_RUN, L"ゲームの実行"}}},
    };
    for (const auto& want : dialogs) {
        SCOPED_TRACE(ToCp932(want.name));
        HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), want.name, nullptr, QuietProc, 0);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(WindowText(dialog), L"インストール終了");
        LOGFONTW font = {};
        ASSERT_TRUE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font));
        EXPECT_STREQ(font.lfFaceName, L"ＭＳ Ｐゴシック");
        EXPECT_NE(GetWindowLongW(dialog, GWL_STYLE) & WS_SYSMENU, 0);
        EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), IDOK);
        std::vector<DriveControl> got = ListControls(dialog);
        ASSERT_EQ(got.size(), want.controls.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].id, want.controls[i].id) << i;
            EXPECT_EQ(got[i].text, want.controls[i].text) << i;
            // The two boxes are check boxes (the program ticks the run box), the rest are not.
            const bool box = got[i].id == IDC_END_README || got[i].id == IDC_END_RUN;
            EXPECT_EQ(got[i].check, box ? BST_UNCHECKED : -1) << i;
        }
        DestroyWindow(dialog);
    }
}

}  // namespace

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "resources/resource.h"

namespace {

INT_PTR CALLBACK QuietProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

std::wstring ControlText(HWND dialog, int id) {
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

class CopyDialog : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS};
        ASSERT_TRUE(InitCommonControlsEx(&icc));
        dialog = CreateDialogParamW(GetModuleHandleW(nullptr), L"COPYINGDELUX", nullptr, QuietProc, 0);
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override {
        if (dialog) DestroyWindow(dialog);
    }
    HWND dialog = nullptr;
};

// What the player sees in the copy window before the program fills it in.
TEST_F(CopyDialog, TemplateCarriesTheJapaneseTexts) {
    wchar_t caption[64] = {};
    GetWindowTextW(dialog, caption, 64);
    EXPECT_EQ(std::wstring(caption), L"ファイルのコピー中...");
    EXPECT_EQ(ControlText(dialog, IDC_COPY_FILE_NAME), L"コピー中ファイル名");
    EXPECT_EQ(ControlText(dialog, IDCANCEL), L"ｷｬﾝｾﾙ");

    const struct {
        int id;
        const wchar_t* cls;
    } controls[] = {
        {IDC_COPY_FILE_BAR, L"msctls_progress32"},  {IDC_COPY_FILE_NAME, L"Static"},       {IDCANCEL, L"Button"},
        {IDC_COPY_TOTAL_BAR, L"msctls_progress32"}, {IDC_COPY_ANIMATION, L"SysAnimate32"},
    };
    for (const auto& c : controls) {
        HWND control = GetDlgItem(dialog, c.id);
        ASSERT_NE(control, nullptr) << c.id;
        wchar_t cls[64] = {};
        GetClassNameW(control, cls, 64);
        EXPECT_EQ(_wcsicmp(cls, c.cls), 0) << c.id;
    }
    LONG style = GetWindowLongW(dialog, GWL_STYLE);
    EXPECT_EQ(style & WS_SYSMENU, 0) << "the window must have no close box";
    EXPECT_NE(style & WS_CAPTION, 0);
}

// The generated clip must be one the animation control can open and play.
TEST_F(CopyDialog, ClipOpensAndPlaysInTheAnimationControl) {
    HWND animation = GetDlgItem(dialog, IDC_COPY_ANIMATION);
    ASSERT_TRUE(SendMessageW(animation, ACM_OPENW, 0, reinterpret_cast<LPARAM>(L"AVI_FILECOPY")));
    EXPECT_TRUE(SendMessageW(animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF)));
    EXPECT_TRUE(SendMessageW(animation, ACM_STOP, 0, 0));
    EXPECT_FALSE(SendMessageW(animation, ACM_OPENW, 0, reinterpret_cast<LPARAM>(L"NO_SUCH_CLIP")));
}

TEST(Resources, ClipHasTheAdvertisedFormat) {
    HRSRC res = FindResourceW(nullptr, L"AVI_FILECOPY", L"AVI");
    ASSERT_NE(res, nullptr);
    DWORD size = SizeofResource(nullptr, res);
    const BYTE* avi = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, res)));
    ASSERT_NE(avi, nullptr);
    EXPECT_GT(size, 6000u);
    EXPECT_LT(size, 12000u);
    auto u32 = [&](size_t at) { return *reinterpret_cast<const DWORD*>(avi + at); };
    ASSERT_EQ(memcmp(avi, "RIFF", 4), 0);
    EXPECT_EQ(u32(4), size - 8);
    ASSERT_EQ(memcmp(avi + 8, "AVI LIST", 8), 0);
    // avih follows "hdrl": microseconds per frame, frames, width, height.
    ASSERT_EQ(memcmp(avi + 20, "hdrlavih", 8), 0);
    EXPECT_EQ(u32(32), 100000u);
    EXPECT_EQ(u32(48), 17u);
    EXPECT_EQ(u32(64), 260u);
    EXPECT_EQ(u32(68), 40u);
}

}  // namespace

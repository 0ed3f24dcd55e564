// The completion dialogs' templates as stored in the program, and as the dialog manager builds them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

struct Item {
    DWORD style;
    short x, y, cx, cy;
    int id;
    std::wstring cls;
    std::wstring text;
};

struct Template {
    DWORD style;
    short cx, cy;
    std::wstring caption;
    WORD points;
    std::wstring face;
    std::vector<Item> items;  // in tab order
};

// A name or ordinal field; ordinals of the predefined classes come back as their names.
std::wstring ReadNameOrOrdinal(const WORD** p) {
    const WORD* w = *p;
    if (*w == 0xFFFF) {
        *p = w + 2;
        switch (w[1]) {
        case 0x80: return L"BUTTON";
        case 0x82: return L"STATIC";
        default: return L"#" + std::to_wstring(w[1]);
        }
    }
    std::wstring s(reinterpret_cast<const wchar_t*>(w));
    *p = w + s.size() + 1;
    return s;
}

const WORD* AlignDword(const WORD* p) {
    return reinterpret_cast<const WORD*>((reinterpret_cast<UINT_PTR>(p) + 3) & ~static_cast<UINT_PTR>(3));
}

// Reads a DIALOG (not DIALOGEX) template from the program's resources.
bool LoadTemplate(const wchar_t* name, Template* out) {
    HRSRC res = FindResourceW(nullptr, name, MAKEINTRESOURCEW(5));
    if (!res) return false;
    const auto* dlg = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(nullptr, res)));
    if (!dlg) return false;
    out->style = dlg->style;
    out->cx = dlg->cx;
    out->cy = dlg->cy;
    const WORD* p = reinterpret_cast<const WORD*>(dlg + 1);
    ReadNameOrOrdinal(&p);  // menu
    ReadNameOrOrdinal(&p);  // class
    out->caption = ReadNameOrOrdinal(&p);
    if (dlg->style & DS_SETFONT) {
        out->points = *p++;
        out->face = ReadNameOrOrdinal(&p);
    }
    for (int i = 0; i < dlg->cdit; ++i) {
        p = AlignDword(p);
        const auto* it = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
        Item item = {it->style, it->x, it->y, it->cx, it->cy, static_cast<short>(it->id), L"", L""};
        p = reinterpret_cast<const WORD*>(it + 1);
        item.cls = ReadNameOrOrdinal(&p);
        item.text = ReadNameOrOrdinal(&p);
        p += 1 + *p / sizeof(WORD);  // creation data
        out->items.push_back(item);
    }
    return true;
}

const DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
const DWORD kChild = WS_CHILD | WS_VISIBLE;
const wchar_t kMessage[] = L"インストールを終了しました。\n以下のメニューを選択してＯＫを押して下さい。";

Item OkButton(short y) { return {kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 120, y, 50, 14, IDOK, L"BUTTON", L"OK"}; }
Item MessageText() { return {kChild | WS_GROUP | SS_LEFT, 5, 5, 165, 20, -1, L"STATIC", kMessage}; }
Item RunBox(short y) {
    return {kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 5, y, 165, 10, IDC_END_RUN, L"BUTTON", L"ゲームの実行"};
}

const struct {
    const wchar_t* name;
    short cx, cy;
    std::vector<Item> items;
} kDialogs[] = {
    {L"ENDINSTALL",
     177,
     85,
     {OkButton(64),
      MessageText(),
      {kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 5, 35, 160, 10, IDC_END_README, L"BUTTON", L"readme"},
      RunBox(50)}},
    {L"ENDINSTALL_SHORT", 174, 75, {OkButton(55), MessageText(), RunBox(35)}},
};

INT_PTR CALLBACK QuietProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST(CompletionDialog, TemplatesHoldTheirControlsInTabOrder) {
    for (const auto& want : kDialogs) {
        Template got;
        ASSERT_TRUE(LoadTemplate(want.name, &got)) << want.name;
        EXPECT_EQ(got.style, kDialogStyle) << want.name;
        EXPECT_EQ(got.cx, want.cx) << want.name;
        EXPECT_EQ(got.cy, want.cy) << want.name;
        EXPECT_EQ(got.caption, L"インストール終了");
        EXPECT_EQ(got.points, 9);
        EXPECT_EQ(got.face, L"ＭＳ Ｐゴシック");
        ASSERT_EQ(got.items.size(), want.items.size()) << want.name;
        for (size_t i = 0; i < want.items.size(); ++i) {
            const Item& g = got.items[i];
            const Item& w = want.items[i];
            EXPECT_EQ(g.id, w.id) << want.name << " #" << i;
            EXPECT_EQ(g.style, w.style) << want.name << " #" << i;
            EXPECT_EQ(g.cls, w.cls) << want.name << " #" << i;
            EXPECT_EQ(g.text, w.text) << want.name << " #" << i;
            EXPECT_EQ((std::vector<short>{g.x, g.y, g.cx, g.cy}), (std::vector<short>{w.x, w.y, w.cx, w.cy}))
                << want.name << " #" << i;
        }
    }
}

// What the dialog manager makes of them: the Japanese font, OK as the default button, a close box.
TEST(CompletionDialog, DialogsOpenWithTheirFontAndCloseBox) {
    for (const auto& want : kDialogs) {
        HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), want.name, nullptr, QuietProc, 0);
        ASSERT_NE(dialog, nullptr) << want.name;
        LOGFONTW font = {};
        ASSERT_TRUE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font));
        EXPECT_STREQ(font.lfFaceName, L"ＭＳ Ｐゴシック") << want.name;
        EXPECT_NE(GetWindowLongW(dialog, GWL_STYLE) & WS_SYSMENU, 0) << want.name;
        EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), IDOK) << want.name;
        RECT client, units = {0, 0, want.cx, want.cy};
        GetClientRect(dialog, &client);
        MapDialogRect(dialog, &units);
        EXPECT_EQ(client.right, units.right) << want.name;
        EXPECT_EQ(client.bottom, units.bottom) << want.name;
        wchar_t text[128] = {};
        GetDlgItemTextW(dialog, IDC_END_RUN, text, 128);
        EXPECT_STREQ(text, L"ゲームの実行");
        DestroyWindow(dialog);
    }
}

}  // namespace

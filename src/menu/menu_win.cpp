#include "menu/menu_win.h"

#include <cstdlib>

#include "common/str_util.h"
#include "config/sections_win.h"
#include "config/settings.h"
#include "config/settings_win.h"
#include "image/bitmap_win.h"
#include "menu/menu_slots.h"
#include "process/launch_win.h"
#include "process/msgbox_win.h"
#include "process/ui_text_win.h"
#include "process/workdir_win.h"
#include "resources/resource.h"
#include "update/update_cmd_win.h"

namespace {

const size_t kMessageBytes = 1024;

HINSTANCE s_instance;
MenuSlot s_slots[kMenuSlotCount];
bool s_busy;
BitmapImage* s_splash;
int32_t s_splashX;
int32_t s_splashY;
// INSTREADME while the menu is built, then INSTREADMEFL at each press of the read-me button.
char s_setting[kSettingBytes];

bool IsFolder(const char* name) {
    DWORD attributes = GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Modal frames show no caption icon unless the window is given one.
void SetProgramIcon(HWND dialog) {
    const struct {
        WPARAM which;
        int metricX, metricY;
    } icons[] = {{ICON_SMALL, SM_CXSMICON, SM_CYSMICON}, {ICON_BIG, SM_CXICON, SM_CYICON}};
    for (const auto& i : icons) {
        HANDLE icon = LoadImageW(s_instance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, GetSystemMetrics(i.metricX),
                                 GetSystemMetrics(i.metricY), LR_SHARED);
        if (icon) SendMessageW(dialog, WM_SETICON, i.which, reinterpret_cast<LPARAM>(icon));
    }
}

void CloseMenu(HWND dialog) {
    DestroyBitmapImage(s_splash);
    s_splash = nullptr;
    RemoveWorkFolder();
    EndDialog(dialog, 0);
}

void OnInitDialog(HWND dialog) {
    SetMainWindow(dialog);
    CenterWindow(dialog);
    s_busy = false;
    SetWindowTextCp932(dialog, UpdaterTitle());
    SetProgramIcon(dialog);

    GetSetting(kInstReadmeKey, s_setting, sizeof s_setting, kInstReadmeDefault);
    FillMenuSlots(IsFolder("DirectX"), s_setting, s_slots);
    for (int i = 0; i < kMenuSlotCount; ++i) {
        HWND button = GetDlgItem(dialog, kMenuFirstButtonId + i);
        if (s_slots[i].role == kRoleNone) {
            DestroyWindow(button);
        } else {
            SetWindowTextCp932(button, s_slots[i].text);
        }
    }

    // Down and up again: the dialog manager moves the focus once, so the keyboard cues show.
    keybd_event(VK_DOWN, 0, 0, 0);
    keybd_event(VK_DOWN, 0, KEYEVENTF_KEYUP, 0);
    keybd_event(VK_UP, 0, 0, 0);
    keybd_event(VK_UP, 0, KEYEVENTF_KEYUP, 0);

    // A file that is no picture leaves the menu without one; a missing file asks Retry/Cancel.
    s_splash = LoadRctImage("insttscr.rct");
    if (s_splash) {
        RECT client;
        GetClientRect(dialog, &client);
        const int32_t height = client.bottom - client.top;
        s_splashX = SplashOffset(height, s_splash->width);
        s_splashY = SplashOffset(height, s_splash->height);
    }
}

void OnPaint(HWND dialog) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    if (s_splash) {
        StretchDIBits(dc, s_splashX, s_splashY, s_splash->width, s_splash->height, 0, 0, s_splash->width, s_splash->height,
                      s_splash->bits, s_splash->info, DIB_RGB_COLORS, SRCCOPY);
    }
    EndPaint(dialog, &paint);
}

void OnCommand(HWND dialog, WPARAM param) {
    // Message boxes and the copy window keep dispatching messages while a command runs.
    if (s_busy) return;
    s_busy = true;
    int slot = FindMenuSlot(s_slots, static_cast<uint64_t>(param));
    switch (slot < 0 ? kRoleNone : s_slots[slot].role) {
    case kRoleUpdate:
        if (RunUpdate() == 0) CloseMenu(dialog);
        break;
    case kRoleDirectXSetup: RunProgram("DirectX\\dxsetup.exe"); break;
    case kRoleExit: CloseMenu(dialog); break;
    case kRoleReadme:
        GetSetting(kInstReadmeFileKey, s_setting, sizeof s_setting, kInstReadmeFileDefault);
        OpenDocument(s_setting);
        break;
    default: break;
    }
    s_busy = false;
}

void OnClose(HWND dialog) {
    if (!s_busy) CloseMenu(dialog);
}

// Answers 0 to everything, WM_INITDIALOG included, so the dialog manager sets no initial focus.
INT_PTR CALLBACK MenuProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: OnInitDialog(dialog); break;
    case WM_PAINT: OnPaint(dialog); break;
    case WM_COMMAND: OnCommand(dialog, wParam); break;
    case WM_CLOSE: OnClose(dialog); break;
    default: break;
    }
    return 0;
}

// Another copy's mutex: the player is told which title is running, in a box of its own.
[[noreturn]] void RefuseSecondCopy() {
    char text[kMessageBytes];
    FormatStr(text, sizeof text, "[ %s ] は既に起動中です", UpdaterTitle());
    MessageBoxCp932(nullptr, text, GetTitleBar(), MB_ICONERROR);
    RemoveWorkFolder();
    exit(0);
}

}  // namespace

int RunMenuStartup(HINSTANCE instance) {
    s_instance = instance;
    LoadSettings("install.env");
    LoadSections("install.env");

    // The name is converted from CP932 explicitly: through the ANSI call a title holding a 0x5C
    // trail byte (ソ) would become a backslash on other systems, and no mutex could be made.
    wchar_t name[kUpdaterTitleBytes];
    HANDLE mutex = nullptr;
    if (Cp932ToWide(UpdaterTitle(), name, kUpdaterTitleBytes) == 0) mutex = CreateMutexW(nullptr, TRUE, name);
    if (!mutex) {
        RemoveWorkFolder();
        exit(0);
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) RefuseSecondCopy();
    // The handle stays open until the process ends: it is what keeps other copies out.

    for (;;) {
        INT_PTR result = DialogBoxParamW(instance, L"MAINDIALOG", nullptr, MenuProc, 0);
        if (result == 0) break;
        // A menu that cannot be created would fail again each time.
        if (result == -1) {
            RemoveWorkFolder();
            exit(-1);
        }
    }
    return 0;
}

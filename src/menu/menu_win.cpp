#include "menu/menu_win.h"

#include "common/str_util.h"
#include "config/settings.h"
#include "image/bitmap_win.h"
#include "menu/menu_slots.h"
#include "payload/payload_format.h"
#include "process/launch_win.h"
#include "process/msgbox_win.h"
#include "process/ui_text_win.h"
#include "process/workdir.h"
#include "process/workdir_win.h"
#include "resources/resource.h"
#include "update/update_cmd_win.h"

namespace {

HINSTANCE s_instance;
MenuSlot s_slots[kMenuSlotCount];
bool s_busy;
BitmapImage* s_splash;
int32_t s_splashX;
int32_t s_splashY;
// INSTREADME: the read-me button's text, which its slot points to.
char s_readmeLabel[kSettingBytes];

// By its full path in the work folder: a relative name would be looked for in the updater's own
// folder first, where a download folder's dxsetup.exe must never start instead.
void RunDirectXSetup() {
    static const char kSetup[] = "DirectX\\dxsetup.exe";
    char path[kMaxPathBytes];
    if (FormatStr(path, sizeof path, "%s\\%s", GetWorkFolder(), kSetup) == 0) RunProgram(path, kSetup);
}

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

// The run cannot go on: the dialog ends with the status for the program's end to act on.
void StopMenu(HWND dialog, int status) {
    DestroyBitmapImage(s_splash);
    s_splash = nullptr;
    EndDialog(dialog, status);
}

void OnInitDialog(HWND dialog) {
    SetMainWindow(dialog);
    CenterWindow(dialog);
    s_busy = false;
    SetWindowTextCp932(dialog, UpdaterTitle());
    SetProgramIcon(dialog);

    GetSetting(kInstReadmeKey, s_readmeLabel, sizeof s_readmeLabel, kInstReadmeDefault);
    FillMenuSlots(IsFolder("DirectX"), s_readmeLabel, s_slots);
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
    if (LoadRctImage(kSetupPictureName, &s_splash) != 0) {
        StopMenu(dialog, kRunFailed);
        return;
    }
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
    case kRoleUpdate: {
        int rc = RunUpdate();
        if (rc == 0) CloseMenu(dialog);
        if (rc == kRunFailed || rc == kRunQuit) StopMenu(dialog, rc);
        break;
    }
    case kRoleDirectXSetup: RunDirectXSetup(); break;
    case kRoleExit: CloseMenu(dialog); break;
    case kRoleReadme: {
        char document[kSettingBytes];
        GetSetting(kInstReadmeFileKey, document, sizeof document, kInstReadmeFileDefault);
        OpenDocument(document);
        break;
    }
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

}  // namespace

int ShowMenu(HINSTANCE instance) {
    s_instance = instance;
    // The menu ends itself with 0 or a stop status; any other result would repeat it.
    for (;;) {
        INT_PTR result = DialogBoxParamW(instance, L"MAINDIALOG", nullptr, MenuProc, 0);
        if (result == 0 || result == kRunFailed || result == kRunQuit) return static_cast<int>(result);
        // A menu that cannot be created would fail again each time.
        if (result == -1) return kRunFailed;
    }
}

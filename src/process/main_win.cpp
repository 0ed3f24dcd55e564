#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdlib>

#include "menu/menu_win.h"
#include "payload/extract_win.h"
#include "process/dll_win.h"
#include "process/file_open_win.h"
#include "process/msgbox_win.h"
#include "process/workdir_win.h"

static void ReleaseCom() { CoUninitialize(); }

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RestrictDllLoading();
    // The copy window's bar and clip classes are not registered by the system itself.
    InitCommonControlClasses(ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS);
    CoInitialize(nullptr);
    atexit(ReleaseCom);

    if (CreateWorkFolder() != 0) FailPayload();
    ExtractPayload(GetWorkFolder(), kExtractSetupFiles);
    if (!FileExists("install.env")) {
        ReportError(
            "起動に必要なファイルが不足しています。\n"
            "インストールの異常終了、起動するフォルダ異常、等を確認してください。");
        RemoveWorkFolder();
        exit(-1);
    }
    return RunMenuStartup(instance);
}

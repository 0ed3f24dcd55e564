// The program's start-up, in its order: the work folder, the setup files, the settings, the
// single-instance check, the menu. Every step returns its status here, and the program ends
// through EndProgram alone.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdlib>

#include "app/program_end_win.h"
#include "common/sjis.h"
#include "common/str_util.h"
#include "config/sections_win.h"
#include "config/settings_win.h"
#include "menu/menu_win.h"
#include "payload/extract_win.h"
#include "process/system_dll_win.h"
#include "process/file_open_win.h"
#include "process/msgbox_win.h"
#include "process/ui_text_win.h"
#include "process/workdir_win.h"

static void ReleaseCom() { CoUninitialize(); }

// Takes the mutex named after the updater's title, which stays held until the process ends: it
// is what keeps other copies out. Returns 0, or the end when another copy runs (the player is told
// which title, in a box of its own) or no mutex can be made.
static int ClaimSingleInstance(ProgramEnd* end) {
    // A backslash would make the name a path that names no mutex. A title never holds a control
    // character (the reader splits words there), so 0x01 stands for it without making two titles
    // one; the 0x5C trail byte of ソ is no backslash and stays. The name is converted from CP932
    // explicitly: through the ANSI call that trail byte would become a backslash on other systems.
    char title[kUpdaterTitleBytes];
    CopyStr(title, sizeof title, UpdaterTitle());
    SjisReplaceChar(title, '\\', '\x01');
    wchar_t name[kUpdaterTitleBytes];
    HANDLE mutex = nullptr;
    if (Cp932ToWide(title, name, kUpdaterTitleBytes) == 0) mutex = CreateMutexW(nullptr, TRUE, name);
    if (!mutex) {
        *end = kEndNoMutex;
        return -1;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return 0;
    char text[kMessageBytes];
    FormatStr(text, sizeof text, "[ %s ] は既に起動中です", UpdaterTitle());
    MessageBoxCp932(nullptr, text, GetTitleBar(), MB_ICONERROR);
    *end = kEndSecondCopy;
    return -1;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RestrictDllLoading();
    // The copy window's bar and clip classes are not registered by the system itself.
    InitCommonControlClasses(ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS);
    CoInitialize(nullptr);
    atexit(ReleaseCom);

    // Without a work folder the setup files have nowhere to go: the payload's own failure.
    if (CreateWorkFolder() != 0) {
        ReportPayloadFailure();
        EndProgram(kEndFailed);
    }
    int rc = ExtractPayload(GetWorkFolder(), kExtractSetupFiles);
    if (rc != 0) EndProgram(EndForStatus(rc));
    if (!FileExists(kSetupEnvName)) {
        ReportError(
            "起動に必要なファイルが不足しています。\n"
            "インストールの異常終了、起動するフォルダ異常、等を確認してください。");
        EndProgram(kEndSetupMissing);
    }
    if (LoadSettings(kSetupEnvName) != 0 || LoadSections(kSetupEnvName) != 0) EndProgram(kEndFailed);
    ProgramEnd end;
    if (ClaimSingleInstance(&end) != 0) EndProgram(end);
    EndProgram(EndForStatus(ShowMenu(instance)));
}

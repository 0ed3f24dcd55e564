#include "support/updater_win.h"

#include <gtest/gtest.h>

#include "support/registry_win.h"

const wchar_t kDamagedMessage[] = L"ファイルの読み込みに失敗しました。ファイルが壊れている可能性があります。";

std::vector<uint8_t> LoadBytes(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(h, nullptr));
    DWORD got = 0;
    if (!ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) got = 0;
    bytes.resize(got);
    CloseHandle(h);
    return bytes;
}

HWND StartMenu(const std::wstring& exe, const wchar_t* title, DriveProcess* proc) {
    *proc = StartUpdater(exe);
    HWND menu = WaitTopWindow(proc->pid, title, L"#32770", kUpdaterWaitMs);
    EXPECT_NE(menu, nullptr) << ToCp932(title);
    return menu;
}

std::wstring SaveUpdater(const std::wstring& folder, const wchar_t* name, TestPayload* p) {
    EndTestPayload(p);
    std::wstring path = folder + name;
    EXPECT_TRUE(SaveTestBytes(p->bytes, ToCp932(path)));
    return path;
}

TestPayload OnProgram(const wchar_t* program) {
    std::vector<uint8_t> bytes = LoadBytes(ModuleFolder() + program);
    EXPECT_GT(bytes.size(), 1024u) << "missing " << ToCp932(program);
    TestPayload p;
    BeginTestPayload(&p, bytes);
    return p;
}

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

std::set<std::wstring> WorkFolders() {
    std::vector<std::wstring> names = ListFolder(TempFolder(), L"TempGPInstallFolder_*");
    return std::set<std::wstring>(names.begin(), names.end());
}

std::set<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names = ListFolder(folder + L"\\", L"*");
    return std::set<std::wstring>(names.begin(), names.end());
}

DriveProcess StartUpdater(const std::wstring& exe, const std::wstring& args) {
    DriveProcess proc;
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!args.empty()) cmd += L" " + args;
    if (!StartProgram(cmd, &proc)) {
        DWORD error = GetLastError();
        ADD_FAILURE() << "cannot start " << ToCp932(exe) << ": error " << error;
    }
    return proc;
}

DWORD FinishUpdater(DriveProcess* proc) { return FinishProgram(proc, kUpdaterWaitMs); }

std::wstring AnswerBox(const DriveProcess& proc, HWND owner, const std::wstring& caption, int answer) {
    // The copy window is a dialog too: wait for the window that reads as a message box.
    MessageBoxView view;
    HWND box = WaitMessageBox(proc.pid, &view, kUpdaterWaitMs);
    if (!box) {
        ADD_FAILURE() << "no message box";
        return L"";
    }
    EXPECT_EQ(view.owner, owner);
    EXPECT_EQ(view.caption, caption);
    EXPECT_TRUE(PressButton(box, answer));
    EXPECT_TRUE(WaitWindowGone(box, kUpdaterWaitMs));
    return view.text;
}

std::wstring AnswerOwnerlessBox(const DriveProcess& proc) { return AnswerBox(proc, nullptr, L"", IDOK); }

StandinTxtOpener::StandinTxtOpener() : record_(ModuleFolder() + L"menu_opened.rec") {
    Forget();
    oldTxt_ = ReadRegText(HKEY_CLASSES_ROOT, L".txt", L"");
    installed_ = AssociateType(L".txt", L"vnmenutest.txt", ModuleFolder() + L"menu_opener.exe");
}

StandinTxtOpener::~StandinTxtOpener() {
    SetRegText(HKEY_CLASSES_ROOT, L".txt", nullptr, oldTxt_ == L"(none)" ? L"txtfile" : oldTxt_);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"vnmenutest.txt");
    Forget();
}

std::wstring StandinTxtOpener::Opened() const {
    std::vector<uint8_t> bytes;
    WaitUntil([&] { return !(bytes = LoadBytes(record_)).empty(); }, kUpdaterWaitMs);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

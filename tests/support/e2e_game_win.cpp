#include "support/e2e_game_win.h"

#include "support/registry_win.h"

const wchar_t kE2eTitle[] = L"E2E テスト アップデータ";
const wchar_t kE2eKey[] = L"Software\\VnE2E\\ゲーム表";
static const wchar_t kKeyParent[] = L"Software\\VnE2E";

std::wstring E2eUpdaters() { return ModuleFolder() + L"updaters\\"; }

std::wstring E2eIniPath() {
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows) + L"\\vn_e2e.ini";
}

std::wstring E2eIniValue(const wchar_t* key) {
    wchar_t value[512] = {};
    GetPrivateProfileStringW(L"Setup", key, L"(none)", value, 512, E2eIniPath().c_str());
    return value;
}

void SetE2eText(const wchar_t* name, const std::wstring& text, DWORD type) {
    EXPECT_TRUE(SetRegText(HKEY_CURRENT_USER, kE2eKey, name, text, type)) << ToCp932(name);
}

std::wstring ReadE2eText(const wchar_t* name) { return ReadRegText(HKEY_CURRENT_USER, kE2eKey, name); }

// The read-me opens with its associated program: here the recorder, for a type of our own.
void E2eGame::SetUpTestSuite() {
    ASSERT_TRUE(AssociateType(L".vnrm", L"VnE2E.Readme", ModuleFolder() + L"e2e_recorder.exe"));
}

void E2eGame::TearDownTestSuite() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".vnrm");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"VnE2E.Readme");
    RegDeleteTreeW(HKEY_CURRENT_USER, kKeyParent);
    DeleteFileW(E2eIniPath().c_str());
}

void E2eGame::TearDown() {
    EndProgram(&proc);
    RemoveTree(scratch);
}

void E2eGame::Install(const wchar_t* name, const wchar_t* updater) {
    EndProgram(&proc);
    scratch = MakeScratchFolder(L"e2e");
    record = scratch + L"record.txt";
    SetEnvironmentVariableW(L"VN_E2E_RECORD", record.c_str());
    ASSERT_NO_FATAL_FAILURE(PutOldGame(scratch + name));
    std::wstring own = scratch + L"download";
    ASSERT_TRUE(CreateDirectoryW(own.c_str(), nullptr));
    exe = own + L"\\" + updater;
    ASSERT_TRUE(CopyFileW((E2eUpdaters() + updater).c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((ModuleFolder() + L"e2e_recorder.exe").c_str(), (own + L"\\game.exe").c_str(), FALSE));
    const std::wstring file = updater;  // a signed one was built from the tree its name begins with
    tree = E2eUpdaters() + file.substr(0, file.find_first_of(L"-."));
    RegDeleteTreeW(HKEY_CURRENT_USER, kKeyParent);
    Register();
    DeleteFileW(E2eIniPath().c_str());
    workFolders = WorkFolders();
}

void E2eGame::Register() {
    SetE2eText(L"IsInst", L"1");
    SetE2eText(L"InstTo", game);
    SetE2eText(L"Version", L"5");
}

void E2eGame::PutOldGame(const std::wstring& folder) {
    game = folder;
    ASSERT_TRUE(CreateDirectoryW(game.c_str(), nullptr));
    for (const wchar_t* f : {L"\\data", L"\\save"}) ASSERT_TRUE(CreateDirectoryW((game + f).c_str(), nullptr));
    PutTimedFile(game + L"\\game.exe", "the old game", kE2eOldTime + 1);
    PutTimedFile(game + L"\\data\\scenario.dat", "old scenario", kE2eOldTime + 2);
    PutTimedFile(game + L"\\save\\player.sav", "the player's", kE2eOldTime + 3);
}

void E2eGame::StartMenu() { ASSERT_NE(menu = ::StartMenu(exe, kE2eTitle, &proc), nullptr); }

std::wstring E2eGame::AnswerBox(int answer) { return ::AnswerBox(proc, menu, kE2eTitle, answer); }

std::wstring E2eGame::PressUpdate(int answer) {
    EXPECT_TRUE(PressLabelled(menu, L"アップデート"));
    return AnswerBox(answer);
}

std::wstring E2eGame::Question() const { return L"[" + game + L"]をアップデートします"; }

TestPayload E2eGame::SetupPayload() {
    TestPayload p = OnProgram(L"vnupdate.exe");
    const std::vector<uint8_t> env = LoadBytes(E2eUpdaters() + L"short\\install.env");
    const std::vector<uint8_t> splash = LoadBytes(E2eUpdaters() + L"short\\insttscr.rct");
    EXPECT_FALSE(env.empty() || splash.empty());
    AddTimedFiles(&p, {{"install.env", std::string(env.begin(), env.end()), kE2eOldTime},
                       {"insttscr.rct", std::string(splash.begin(), splash.end()), kE2eOldTime},
                       {"data\\"},
                       {"data\\sub\\"}});
    return p;
}

// The installation lookup and the INI/registry transfer on the real registry, INI files and message
// boxes: a probe program calls them, these tests set up the registry, answer the boxes and read back
// what was written with the Win32 calls the game itself would use.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/update_drive_win.h"

namespace {

const char kTestRoot[] = "Software\\VnUpdateTest";

}  // namespace

TEST(ReadRegString, ValuesWrittenWithRegSetValueExReadAsTheLookupReadsThem) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
    const std::string key = std::string(kTestRoot) + "\\読むソ";
    SetSz(key, "sz", "12ab");
    SetSz(key, "ソ名", "表示ソ");
    SetValue(key, "bare", REG_SZ, "77");  // no terminator
    SetValue(key, "dword", REG_DWORD, std::string("\x01\0\0\0", 4));
    SetValue(key, "expand", REG_EXPAND_SZ, std::string("%TEMP%\0", 7));
    SetSz(key, "big", std::string(512, 'b'));
    SetSz(key, "full", std::string(511, 'f'));
    SetSz(key, "", "-42");
    const struct {
        const char* name;
        std::string expected;
    } cases[] = {
        {"sz", "0 " + ToHex("12ab") + " 12"},
        {"ソ名", "0 " + ToHex("表示ソ") + " 0"},
        {"bare", "0 " + ToHex("77") + " 77"},
        {"dword", "-1 " + ToHex("dflt") + " -9"},
        {"expand", "-1 " + ToHex("dflt") + " -9"},
        {"big", "-1 " + ToHex("dflt") + " -9"},
        {"full", "0 " + ToHex(std::string(511, 'f')) + " 0"},
        {"", "0 " + ToHex("-42") + " -42"},
        {"missing", "-1 " + ToHex("dflt") + " -9"},
    };
    std::wstring folder = MakeScratchFolder(L"vn_read_reg");
    std::vector<std::wstring> args = {L"read", L"VnUpdateTest", folder + L"result.txt", Hex("読むソ")};
    std::string expected;
    for (const auto& c : cases) {
        args.push_back(Hex(c.name));
        expected += c.expected + "\n";
    }
    DriveProcess proc = StartUpdateProbe(args, folder);
    EXPECT_EQ(Finish(&proc), 0u);
    EXPECT_EQ(ReadFileBytes(folder + L"result.txt"), expected);
    // Another key of the same name: nothing there reads as the default.
    DriveProcess other = StartUpdateProbe({L"read", L"VnUpdateTest", folder + L"other.txt", L"none", L"sz"}, folder);
    EXPECT_EQ(Finish(&other), 0u);
    EXPECT_EQ(ReadFileBytes(folder + L"other.txt"), "-1 " + ToHex("dflt") + " -9\n");
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
    EXPECT_TRUE(RemoveTree(folder));
}

TEST(Transfer, IniAndRegistryReadBackThroughWin32) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
    std::wstring folder = MakeScratchFolder(L"vn_transfer_ソ表");
    const std::string ini = EnvPath(folder) + "game.ini";
    const std::string install = "C:\\Games\\ソフト表";
    const std::string env = "TITLEBAR 移行\r\nREG_GLOBAL VnUpdateTest\r\nREG_LOCAL 移行ソ\r\nINI_FILE " + ini +
                            "\r\nINI_SECTION 設定\r\n[EOF]\r\n"
                            "[ini]\r\nPath=REP_INSTALL\r\nソ名=表\\値\r\nEmpty=\r\na=b=c\r\nno separator\r\n-\r\n"
                            "[reg]\r\n\"InstTo\"=\"REP_INSTALL\"\r\n\"ソ名\"=\"表\\\\値\"\r\n\"\"=\"既定\"\r\n"
                            "\"Empty\"=\"\"\r\n\"Quote\"=\"say \\\"hi\\\"\"\r\n\"d\"=dword:00000001\r\n"
                            "\"Cd\"=\"REP_CDROM\"\r\n-\r\n";
    ASSERT_TRUE(WriteFileBytes(folder + L"install.env", env));
    DriveProcess proc =
        StartUpdateProbe({L"transfer", Hex(ToCp932(folder) + "install.env"), folder + L"result.txt", Hex(install)}, folder);
    EXPECT_EQ(Finish(&proc), 0u);
    std::string root = ReadFileBytes(folder + L"result.txt");
    ASSERT_EQ(root.size(), 4u);
    root.pop_back();

    const std::string iniPath = ToCp932(folder) + "game.ini";
    auto iniValue = [&](const char* k) {
        char buf[600];
        GetPrivateProfileStringA("設定", k, "<missing>", buf, sizeof buf, iniPath.c_str());
        return std::string(buf);
    };
    EXPECT_EQ(iniValue("Path"), install);
    EXPECT_EQ(iniValue("ソ名"), "表\\値");  // [ini] lines keep their backslashes
    EXPECT_EQ(iniValue("Empty"), "");
    EXPECT_EQ(iniValue("a"), "b=c");
    char keys[600] = {};
    DWORD n = GetPrivateProfileStringA("設定", nullptr, "", keys, sizeof keys, iniPath.c_str());
    EXPECT_EQ(std::string(keys, n), std::string("Path\0ソ名\0Empty\0a\0", 18));

    const std::string key = std::string(kTestRoot) + "\\移行ソ";
    EXPECT_EQ(GetSz(key, "InstTo"), install);
    EXPECT_EQ(GetSz(key, "ソ名"), "表\\値");
    EXPECT_EQ(GetSz(key, ""), "既定");
    EXPECT_EQ(GetSz(key, "Empty"), "");
    EXPECT_EQ(GetSz(key, "Quote"), "say \"hi\"");
    EXPECT_EQ(GetSz(key, "Cd"), root);
    EXPECT_EQ(GetSz(key, "d"), "<missing>");
    EXPECT_EQ(ValueCount(key), 6u);

    // The root is the first CD-ROM drive the system reports, or E:\.
    std::string expectedRoot = "E:\\";
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        std::string r = std::string(1, letter) + ":\\";
        if (GetDriveTypeA(r.c_str()) == DRIVE_CDROM) {
            expectedRoot = r;
            break;
        }
    }
    EXPECT_EQ(root, expectedRoot);
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
    EXPECT_TRUE(RemoveTree(folder));
}

TEST(Transfer, RegistryOffWithDashAndBareIniNameInWindowsFolder) {
    std::wstring folder = MakeScratchFolder(L"vn_transfer_off");
    const std::string env =
        "REG_GLOBAL -VnUpdateOff\r\nREG_LOCAL x\r\nINI_FILE vn_update_probe.ini\r\n[EOF]\r\n"
        "[ini]\r\nk=v\r\n-\r\n[reg]\r\n\"a\"=\"b\"\r\n-\r\n";
    ASSERT_TRUE(WriteFileBytes(folder + L"install.env", env));
    DriveProcess proc =
        StartUpdateProbe({L"transfer", Hex(ToCp932(folder) + "install.env"), folder + L"result.txt", L"C:\\x"}, folder);
    EXPECT_EQ(Finish(&proc), 0u);
    EXPECT_FALSE(KeyExists("Software\\-VnUpdateOff"));
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string iniPath = std::string(windows) + "\\vn_update_probe.ini";
    char buf[64];
    GetPrivateProfileStringA("-", "k", "<missing>", buf, sizeof buf, iniPath.c_str());
    EXPECT_EQ(std::string(buf), "v");
    DeleteFileA(iniPath.c_str());
    EXPECT_TRUE(RemoveTree(folder));
}

TEST(LocateInstallation, RefusesWithOneBoxOrAsksAndKeepsTheCurrentFolder) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
    std::wstring work = MakeScratchFolder(L"vn_lookup_作業ソ");
    std::wstring game = NoTrailingSlash(MakeScratchFolder(L"vn_lookup_ゲーム表"));
    ASSERT_TRUE(WriteFileBytes(game + L"\\game.exe", "MZ"));
    const std::string gameBytes = ToCp932(game);
    const std::wstring question = L"[" + game + L"]をアップデートします";
    const struct {
        const char* local;
        std::string extra;  // settings besides the key and title
        std::vector<std::pair<std::string, std::string>> values;
        std::wstring text;
        int answer;
        int rc;
    } cases[] = {
        {"none", "", {}, L"本体がインストールされていません", IDOK, -1},
        {"zero", "", {{"IsInst", "0"}, {"InstTo", gameBytes}}, L"本体がインストールされていません", IDOK, -1},
        {"nofolder", "", {{"IsInst", "1"}}, L"インストール先が特定できませんでした", IDOK, -1},
        {"nokeyfile",
         "KEYFILE other.exe\r\n",
         {{"IsInst", "1"}, {"InstTo", gameBytes}},
         L"インストール先が特定できませんでした",
         IDOK,
         -1},
        {"old",
         "KEYFILE game.exe\r\nCHKREG Ver\r\nCHKREGVER 5\r\n",
         {{"IsInst", "1"}, {"InstTo", gameBytes}, {"Ver", "4"}},
         L"アップデート元のバージョンが不適合です",
         IDOK,
         -1},
        {"yes",
         "KEYFILE game.exe\r\nCHKREG Ver\r\nCHKREGVER 5\r\n",
         {{"IsInst", "1"}, {"InstTo", gameBytes}, {"Ver", "5"}},
         question,
         IDYES,
         0},
        {"no", "", {{"IsInst", "1"}, {"InstTo", gameBytes}}, question, IDNO, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.local);
        const std::string key = std::string(kTestRoot) + "\\" + c.local;
        if (!c.values.empty()) {
            for (const auto& v : c.values) SetSz(key, v.first, v.second);
        }
        const std::string env =
            "TITLEBAR 検索|ソ\r\nREG_GLOBAL VnUpdateTest\r\nREG_LOCAL " + std::string(c.local) + "\r\n" + c.extra;
        ASSERT_TRUE(WriteFileBytes(work + L"install.env", env));
        DriveProcess proc = StartUpdateProbe({L"lookup", L"install.env", work + L"result.txt"}, work);
        HWND main = WaitTopWindow(proc.pid, nullptr, L"VnUpdateProbe", kProbeWaitMs);
        ProbeBox box = NextBox(proc);
        ASSERT_NE(box.window, nullptr);
        EXPECT_EQ(box.view.owner, main);
        EXPECT_EQ(box.view.caption, L"検索 ソ アップデータ");
        EXPECT_EQ(box.view.text, c.text);
        EXPECT_EQ(ButtonIds(box.view), (c.answer == IDOK ? std::vector<int>{IDOK} : std::vector<int>{IDYES, IDNO}));
        Answer(box, c.answer);
        // A refusal shows one box and no question; the probe ends without another.
        EXPECT_EQ(Finish(&proc), c.rc == 0 ? 0u : kExitMinusOne);
        EXPECT_EQ(ReadFileBytes(work + L"result.txt"),
                  std::to_string(c.rc) + "\n" + ToHex(c.rc == 0 ? gameBytes : "untouched") + "\nsame folder\n");
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
    EXPECT_TRUE(RemoveTree(work));
    EXPECT_TRUE(RemoveTree(game + L"\\"));
}

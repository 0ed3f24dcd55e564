// The registry reads of the installation lookup and the INI/registry transfer on the real registry
// and INI files: a probe program calls them, these tests set up the registry and read back what was
// written with the Win32 calls the game itself would use. The lookup's refusals, met through the
// menu, are the end-to-end test's business; the lines' parsing is unit-tested.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/update_drive_win.h"

namespace {

const char kTestRoot[] = "Software\\VnUpdateTest";

}  // namespace

// Each row: rc, the text as hex and the number it reads as.
TEST(ReadRegString, ValuesWrittenWithRegSetValueExReadAsTheLookupReadsThem) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
    const std::string key = std::string(kTestRoot) + "\\読むソ";
    const std::string refused = "-1 " + ToHex("dflt") + " -9";
    SetSz(key, "ソ名", "表示ソ");
    SetValue(key, "bare", REG_SZ, "77");  // no terminator
    SetSz(key, "big", std::string(512, 'b'));
    SetSz(key, "full", std::string(511, 'f'));
    SetSz(key, "", "-42");
    const struct {
        const char* name;
        std::string expected;
    } cases[] = {
        {"ソ名", "0 " + ToHex("表示ソ") + " 0"},
        {"bare", "0 " + ToHex("77") + " 77"},
        {"big", refused},
        {"full", "0 " + ToHex(std::string(511, 'f')) + " 0"},
        {"", "0 " + ToHex("-42") + " -42"},
        {"missing", refused},
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
    DriveProcess other = StartUpdateProbe({L"read", L"VnUpdateTest", folder + L"other.txt", L"none", L"ソ名"}, folder);
    EXPECT_EQ(Finish(&other), 0u);
    EXPECT_EQ(ReadFileBytes(folder + L"other.txt"), refused + "\n");
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
    EXPECT_TRUE(RemoveTree(folder));
}

TEST(Transfer, IniAndRegistryReadBackThroughWin32) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
    std::wstring folder = MakeScratchFolder(L"vn_transfer_ソ表");
    const std::string install = "C:\\Games\\ソフト表";
    const std::string env = "TITLEBAR 移行\r\nREG_GLOBAL VnUpdateTest\r\nREG_LOCAL 移行ソ\r\nINI_FILE " + EnvPath(folder) +
                            "game.ini\r\nINI_SECTION 設定\r\n[EOF]\r\n"
                            "[ini]\r\nPath=REP_INSTALL\r\nソ名=表\\値\r\nEmpty=\r\nno separator\r\n-\r\n"
                            "[reg]\r\n\"InstTo\"=\"REP_INSTALL\"\r\n\"ソ名\"=\"表\\\\値\"\r\n\"\"=\"既定\"\r\n"
                            "\"Empty\"=\"\"\r\n\"d\"=dword:00000001\r\n\"Cd\"=\"REP_CDROM\"\r\n-\r\n";
    ASSERT_TRUE(WriteFileBytes(folder + L"install.env", env));
    DriveProcess proc =
        StartUpdateProbe({L"transfer", Hex(ToCp932(folder) + "install.env"), folder + L"result.txt", Hex(install)}, folder);
    EXPECT_EQ(Finish(&proc), 0u);
    std::string root = ReadFileBytes(folder + L"result.txt");
    ASSERT_EQ(root.size(), 4u);
    root.pop_back();

    // An empty value writes an empty entry rather than deleting one; the line without "=" writes nothing.
    const std::string iniPath = ToCp932(folder) + "game.ini";
    char keys[600] = {};
    DWORD n = GetPrivateProfileStringA("設定", nullptr, "", keys, sizeof keys, iniPath.c_str());
    EXPECT_EQ(std::string(keys, n), std::string("Path\0ソ名\0Empty\0", 16));
    for (auto kv : {std::pair<const char*, std::string>{"Path", install}, {"ソ名", "表\\値"}, {"Empty", ""}}) {
        char buf[600];
        GetPrivateProfileStringA("設定", kv.first, "<missing>", buf, sizeof buf, iniPath.c_str());
        EXPECT_EQ(buf, kv.second) << kv.first;
    }

    const std::string key = std::string(kTestRoot) + "\\移行ソ";
    EXPECT_EQ(GetSz(key, "InstTo"), install);
    EXPECT_EQ(GetSz(key, "ソ名"), "表\\値");
    EXPECT_EQ(GetSz(key, ""), "既定");
    EXPECT_EQ(GetSz(key, "Empty"), "");
    EXPECT_EQ(GetSz(key, "Cd"), root);
    EXPECT_EQ(ValueCount(key), 5u);
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

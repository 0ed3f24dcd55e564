// The registry reads of the installation lookup and the transfer with the registry turned off, on the
// real registry and INI files: a probe program calls them, these tests set up the registry and read
// back what was written with the Win32 calls the game itself would use. The lookup's refusals and
// the transfer of every kind of line, met through the menu, are the end-to-end test's business.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/update_drive_win.h"

namespace {

const char kTestRoot[] = "Software\\VnUpdateTest";

}  // namespace

// Each row: rc, the text as hex and the number it reads as. The sizes that fit are the unit test's.
TEST(ReadRegString, ValuesWrittenWithRegSetValueExReadAsTheLookupReadsThem) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
    const std::string key = std::string(kTestRoot) + "\\読むソ";
    SetSz(key, "ソ名", "表示ソ");
    SetValue(key, "bare", REG_SZ, "77");  // no terminator
    SetSz(key, "", "-42");
    const struct {
        const char* name;
        std::string expected;
    } cases[] = {
        {"ソ名", "0 " + ToHex("表示ソ") + " 0"},
        {"bare", "0 " + ToHex("77") + " 77"},
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

#include "support/update_drive_win.h"

#include <gtest/gtest.h>

static std::wstring UpdateProbePath() { return ModuleFolder() + L"update_probe.exe"; }

DriveProcess StartUpdateProbe(const std::vector<std::wstring>& args, const std::wstring& folder) {
    std::wstring cmd = L"\"" + UpdateProbePath() + L"\"";
    for (const auto& a : args) cmd += L" \"" + a + L"\"";
    DriveProcess proc;
    EXPECT_TRUE(StartProgram(cmd, &proc, folder.c_str())) << "cannot start the probe";
    return proc;
}

void SetValue(const std::string& key, const std::string& name, DWORD type, const std::string& bytes) {
    HKEY h;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(h, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(h);
}
void SetSz(const std::string& key, const std::string& name, const std::string& text) {
    SetValue(key, name, REG_SZ, text + std::string(1, '\0'));
}

bool KeyExists(const std::string& key) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

std::string ToHex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

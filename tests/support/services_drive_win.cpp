#include "support/services_drive_win.h"

#include <gtest/gtest.h>

std::wstring ProbePath() { return ModuleFolder() + L"services_probe.exe"; }

std::wstring Hex(const std::string& bytes) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring out = L"hex:";
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Repeat(const std::string& s, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += s;
    return out;
}

DriveProcess StartProbe(const std::vector<std::wstring>& args) {
    std::wstring cmd = L"\"" + ProbePath() + L"\"";
    for (const auto& a : args) cmd += L" \"" + a + L"\"";
    DriveProcess proc;
    EXPECT_TRUE(StartProgram(cmd, &proc)) << "cannot start the probe";
    return proc;
}

ProbeBox NextBox(const DriveProcess& proc) {
    ProbeBox box;
    box.window = WaitMessageBox(proc.pid, &box.view, kProbeWaitMs);
    if (!box.window) ADD_FAILURE() << "no message box came";
    return box;
}

void Answer(const ProbeBox& box, int id) {
    ASSERT_TRUE(PressButton(box.window, id));
    ASSERT_TRUE(WaitWindowGone(box.window, kProbeWaitMs));
}

std::string ClipboardBytes(std::wstring* wide) {
    std::string bytes;
    if (!ReadClipboard(wide, &bytes)) return "<no clipboard>";
    return bytes;
}

DWORD Finish(DriveProcess* proc) { return FinishProgram(proc, kProbeWaitMs); }

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string out;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    CloseHandle(h);
    return out;
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

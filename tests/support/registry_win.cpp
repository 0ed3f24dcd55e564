#include "support/registry_win.h"

#include <tlhelp32.h>

#include "support/drive_win.h"
#include "support/updater_win.h"

RegValues ReadRegValues(HKEY root, const wchar_t* key) {
    RegValues values;
    HKEY h;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLen = 256, type = 0, size = 1024;
        std::vector<BYTE> data(size);
        if (RegEnumValueW(h, i, name, &nameLen, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
        data.resize(size);
        values[name] = {type, data};
    }
    RegCloseKey(h);
    return values;
}

bool SetRegValue(HKEY root, const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY h;
    if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) != ERROR_SUCCESS) return false;
    LONG rc = RegSetValueExW(h, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

bool SetRegText(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& text, DWORD type) {
    return SetRegValue(root, key, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool AssociateType(const wchar_t* ext, const wchar_t* progId, const std::wstring& program) {
    const std::wstring command = L"\"" + program + L"\" \"%1\"";
    return SetRegText(HKEY_CLASSES_ROOT, (std::wstring(progId) + L"\\shell\\open\\command").c_str(), nullptr, command) &&
           SetRegText(HKEY_CLASSES_ROOT, ext, nullptr, progId);
}

void DeleteRegValue(HKEY root, const wchar_t* key, const wchar_t* name) {
    HKEY h;
    if (RegOpenKeyExW(root, key, 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return;
    RegDeleteValueW(h, name);
    RegCloseKey(h);
}

std::wstring ReadRegText(HKEY root, const wchar_t* key, const wchar_t* name) {
    RegValues values = ReadRegValues(root, key);
    auto it = values.find(name);
    if (it == values.end() || it->second.type != REG_SZ) return L"(none)";
    return reinterpret_cast<const wchar_t*>(it->second.data.data());
}

std::vector<Started> ReadStarted(const std::wstring& record) {
    std::vector<uint8_t> bytes = LoadBytes(record);
    int n = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
                                nullptr, 0);
    std::wstring text(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), &text[0],
                        n);
    std::vector<Started> started;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find(L'\n', at);
        std::wstring line = text.substr(at, end - at);
        at = end == std::wstring::npos ? text.size() : end + 1;
        std::vector<std::wstring> f;
        for (size_t from = 0;;) {
            size_t tab = line.find(L'\t', from);
            f.push_back(line.substr(from, tab - from));
            if (tab == std::wstring::npos) break;
            from = tab + 1;
        }
        if (f.size() == 4) started.push_back({std::stoull(f[0]), f[1], f[2], f[3]});
    }
    return started;
}

bool ChildrenGone(DWORD pid, const std::vector<std::wstring>& names, DWORD timeoutMs) {
    return WaitUntil(
        [&] {
            HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
            PROCESSENTRY32W pe = {};
            pe.dwSize = sizeof pe;
            bool any = false;
            for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
                for (const std::wstring& name : names) {
                    if (pe.th32ParentProcessID == pid && _wcsicmp(pe.szExeFile, name.c_str()) == 0) any = true;
                }
            }
            CloseHandle(snap);
            return !any;
        },
        timeoutMs);
}

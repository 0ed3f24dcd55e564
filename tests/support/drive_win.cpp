#include "support/drive_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>

bool StartProgram(const std::wstring& commandLine, DriveProcess* out, const wchar_t* folder) {
    std::wstring buf = commandLine;  // CreateProcessW may write into it
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    // Under load, Wine's loader now and then dies before the new process has connected, and the
    // call fails with ERROR_INTERNAL_ERROR; nothing of the program has run yet, so start it again.
    BOOL ok = FALSE;
    for (int tries = 0; !ok && tries < 3; ++tries) {
        buf = commandLine;
        ok = CreateProcessW(nullptr, &buf[0], nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &info);
        if (!ok && GetLastError() != ERROR_INTERNAL_ERROR) return false;
    }
    if (!ok) return false;
    CloseHandle(info.hThread);
    out->process = info.hProcess;
    out->pid = info.dwProcessId;
    return true;
}

bool WaitProgram(DriveProcess* proc, DWORD timeoutMs, DWORD* exitCode) {
    if (!proc->process) return false;
    if (WaitForSingleObject(proc->process, timeoutMs) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(proc->process, exitCode);
    CloseHandle(proc->process);
    proc->process = nullptr;
    return true;
}

void EndProgram(DriveProcess* proc) {
    if (!proc->process) return;
    TerminateProcess(proc->process, 1);
    // Termination is asynchronous: until the process is gone it holds its files open, and a run
    // started after it would find them in use. A busy machine can take seconds.
    if (WaitForSingleObject(proc->process, 60000) != WAIT_OBJECT_0) ADD_FAILURE() << "a killed program did not end";
    CloseHandle(proc->process);
    proc->process = nullptr;
}

namespace {

struct TopSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TopSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsWindowVisible(window)) search->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

std::vector<HWND> DirectChildren(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> direct;
    for (HWND w : all)
        if (GetParent(w) == parent) direct.push_back(w);
    return direct;
}

}  // namespace

std::vector<HWND> TopWindows(DWORD pid) {
    TopSearch search{pid, {}};
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT also reads controls such as edit boxes whose text lives in the other process; a
    // hung program gives an empty text instead of hanging the test.
    const UINT flags = SMTO_ABORTIFHUNG | SMTO_BLOCK;
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, flags, 2000, &len) || len == 0) return std::wstring();
    std::wstring text(static_cast<size_t>(len) + 1, L'\0');
    DWORD_PTR n = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(&text[0]), flags, 2000, &n)) n = 0;
    text.resize(n < len + 1 ? static_cast<size_t>(n) : static_cast<size_t>(len));
    return text;
}

std::wstring WindowClass(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

HWND WaitTopWindow(DWORD pid, const wchar_t* title, const wchar_t* className, DWORD timeoutMs) {
    HWND hit = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : TopWindows(pid)) {
                if (title && WindowText(w) != title) continue;
                if (className && WindowClass(w) != className) continue;
                hit = w;
                return true;
            }
            return false;
        },
        timeoutMs);
    return hit;
}

bool ReadMessageBox(HWND window, MessageBoxView* out) {
    bool found = false;
    *out = MessageBoxView();
    out->caption = WindowText(window);
    out->owner = GetWindow(window, GW_OWNER);
    std::vector<std::pair<LONG, DriveButton>> buttons;
    for (HWND child : DirectChildren(window)) {
        int id = GetDlgCtrlID(child) & 0xFFFF;
        std::wstring cls = WindowClass(child);
        if (_wcsicmp(cls.c_str(), L"Static") == 0) {
            if (id == 0xFFFF) {
                out->text = WindowText(child);
                found = true;
            } else if (GetWindowLongW(child, GWL_STYLE) & SS_ICON) {
                out->hasIcon = true;
            }
        } else if (_wcsicmp(cls.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
            RECT r;
            GetWindowRect(child, &r);
            buttons.push_back({r.left, DriveButton{id, WindowText(child)}});
        }
    }
    for (size_t i = 1; i < buttons.size(); ++i)  // left to right, as the player sees them
        for (size_t j = i; j > 0 && buttons[j].first < buttons[j - 1].first; --j) std::swap(buttons[j], buttons[j - 1]);
    for (auto& b : buttons) out->buttons.push_back(b.second);
    return found;
}

std::vector<int> ButtonIds(const MessageBoxView& box) {
    std::vector<int> ids;
    for (const auto& b : box.buttons) ids.push_back(b.id);
    return ids;
}

HWND WaitMessageBox(DWORD pid, MessageBoxView* out, DWORD timeoutMs) {
    HWND box = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : TopWindows(pid)) {
                if (ReadMessageBox(w, out)) {
                    box = w;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return box;
}

bool PressButton(HWND dialog, int id) {
    // A null window would post to our own queue and report success.
    if (!dialog) return false;
    HWND button = GetDlgItem(dialog, id);
    // The notification a click sends; posting it keeps us from blocking on the other process.
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != 0;
}

COLORREF ScreenPixel(HWND window, int x, int y) {
    POINT p = {x, y};
    ClientToScreen(window, &p);
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c;
}

bool CloseBoxShowsGlyph(HWND window) {
    RECT r;
    if (!GetWindowRect(window, &r)) return false;
    const int w = GetSystemMetrics(SM_CXSIZE) + 8, h = GetSystemMetrics(SM_CYCAPTION) + 8;
    const COLORREF text = GetSysColor(COLOR_BTNTEXT);
    std::vector<char> ink(static_cast<size_t>(w * h));
    int minX = w, maxX = -1;
    HDC screen = GetDC(nullptr);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (GetPixel(screen, r.right - w + x, r.top + y) != text) continue;
            ink[static_cast<size_t>(y * w + x)] = 1;
            minX = x < minX ? x : minX;
            maxX = x > maxX ? x : maxX;
        }
    }
    ReleaseDC(nullptr, screen);
    if (maxX - minX < 3) return false;  // no glyph at all
    for (int y = 0; y < h; ++y) {
        for (int x = minX; x <= maxX; ++x) {
            if (ink[static_cast<size_t>(y * w + x)] != ink[static_cast<size_t>(y * w + minX + maxX - x)]) return false;
        }
    }
    return true;
}

bool TextFitsControl(HWND control) {
    RECT r;
    if (!control || !GetWindowRect(control, &r)) return false;
    const int w = r.right - r.left, h = r.bottom - r.top;
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC copy = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(copy, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(copy, bitmap);
    const bool read = bits && BitBlt(copy, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    // Bands of rows with ink, one per line of text; a line wrapped off the bottom adds one, cut.
    const COLORREF face = GetSysColor(COLOR_3DFACE);
    const uint32_t faceBits = GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face);
    int bands = 0, lastInk = -1;
    for (int y = 0; read && y < h; ++y) {
        bool ink = false;
        for (int x = 0; x < w && !ink; ++x) ink = (static_cast<const uint32_t*>(bits)[y * w + x] & 0xFFFFFF) != faceBits;
        if (ink && lastInk != y - 1) ++bands;
        if (ink) lastInk = y;
    }
    SelectObject(copy, old);
    DeleteObject(bitmap);
    DeleteDC(copy);
    ReleaseDC(nullptr, screen);
    const std::wstring text = WindowText(control);
    const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), L'\n'));
    return bands == lines && lastInk < h - 1;
}

bool PressLabelled(HWND dialog, const std::wstring& text) {
    for (const DriveControl& c : ListControls(dialog)) {
        if (c.text == text && c.visible) return PressButton(dialog, c.id);
    }
    return false;
}

bool ClickControl(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control && PostMessageW(control, BM_CLICK, 0, 0) != 0;
}

std::vector<DriveControl> ListControls(HWND dialog) {
    std::vector<DriveControl> controls;
    for (HWND child : DirectChildren(dialog)) {
        DriveControl c;
        c.id = GetDlgCtrlID(child) & 0xFFFF;
        c.className = WindowClass(child);
        c.text = WindowText(child);
        GetWindowRect(child, &c.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&c.rect), 2);
        c.check = -1;
        if (_wcsicmp(c.className.c_str(), L"Button") == 0) {
            LONG type = GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK;
            if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE ||
                type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) {
                DWORD_PTR state = 0;
                SendMessageTimeoutW(child, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
                c.check = static_cast<int>(state);
            }
        }
        c.visible = IsWindowVisible(child) != FALSE;
        c.enabled = IsWindowEnabled(child) != FALSE;
        controls.push_back(c);
    }
    return controls;
}

bool WaitWindowGone(HWND window, DWORD timeoutMs) {
    return WaitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

bool ReadClipboard(std::wstring* unicodeText, std::string* ansiBytes) {
    bool opened = WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2000);
    if (!opened) return false;
    unicodeText->clear();
    ansiBytes->clear();
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            *unicodeText = p;
            GlobalUnlock(h);
        }
    }
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        if (auto* p = static_cast<const char*>(GlobalLock(h))) {
            *ansiBytes = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return true;
}

std::wstring MakeScratchFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + name;
    RemoveTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\";
}

bool RemoveTree(const std::wstring& folder) {
    std::wstring base = folder;
    if (!base.empty() && base.back() == L'\\') base.pop_back();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((base + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = base + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(base.c_str());
    return GetFileAttributesW(base.c_str()) == INVALID_FILE_ATTRIBUTES;
}

std::wstring ModuleFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    size_t slash = s.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : s.substr(0, slash + 1);
}

std::wstring FromCp932(const std::string& bytes) {
    int n = MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    if (n > 0) MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
    return out;
}

std::string ToCp932(const std::wstring& text) {
    int n = WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    if (n > 0) WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

bool SaveScreenshot(const char* name) {
    // The request goes to a host-side helper through a folder both sides see (drive Z: is the
    // host's root).
    char unixDir[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("VN_WINE_DIR", unixDir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    std::string dir = std::string("Z:") + unixDir + "/shots/";
    for (char& c : dir)
        if (c == '/') c = '\\';
    std::string tmp = dir + name + ".tmp-req";
    std::string req = dir + name + ".req";
    std::string done = dir + name + ".done";
    DeleteFileA(done.c_str());
    HANDLE h = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    if (!MoveFileExA(tmp.c_str(), req.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    if (!WaitUntil([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000)) return false;
    char status[16] = {};
    h = CreateFileA(done.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD got = 0;
    ReadFile(h, status, sizeof status - 1, &got, nullptr);
    CloseHandle(h);
    DeleteFileA(done.c_str());
    return status[0] == '0';
}

DWORD FinishProgram(DriveProcess* proc, DWORD timeoutMs) {
    DWORD code = 0xDEAD;
    if (!WaitProgram(proc, timeoutMs, &code)) {
        // What it still shows says where it stopped: a box nobody expected, or nothing at all.
        std::string shown;
        for (HWND w : TopWindows(proc->pid)) {
            MessageBoxView box;
            shown += "\n  [" + ToCp932(WindowClass(w)) + "] " + ToCp932(WindowText(w));
            if (ReadMessageBox(w, &box)) shown += ": " + ToCp932(box.text);
        }
        EndProgram(proc);
        ADD_FAILURE() << "the program did not end; its windows:" << (shown.empty() ? " none" : shown);
    }
    return code;
}

std::vector<std::wstring> ListFolder(const std::wstring& folder, const wchar_t* pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + pattern).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
}

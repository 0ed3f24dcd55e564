#include "process/ui_text_win.h"

#include <cstring>

#include "common/sjis.h"

namespace {

const UINT kCp932 = 932;

// Most texts fit on the stack; longer ones take a heap copy.
const size_t kStackWide = 1024;

// A wide copy of a CP932 text: in buf when it fits, otherwise on the heap. Null when the heap failed.
wchar_t* WidenTemp(const char* src, wchar_t* buf, size_t bufCount) {
    if (!src) src = "";
    int need = MultiByteToWideChar(kCp932, 0, src, -1, nullptr, 0);
    if (need <= 0) {
        buf[0] = L'\0';
        return buf;
    }
    wchar_t* dst = buf;
    if (static_cast<size_t>(need) > bufCount) {
        dst = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, need * sizeof(wchar_t)));
        if (!dst) return nullptr;
    }
    MultiByteToWideChar(kCp932, 0, src, -1, dst, need);
    return dst;
}

void FreeTemp(wchar_t* text, const wchar_t* buf) {
    if (text && text != buf) HeapFree(GetProcessHeap(), 0, text);
}

}  // namespace

int Cp932ToWide(const char* src, wchar_t* dst, size_t dstCount) {
    if (dstCount == 0) return -1;
    int n = MultiByteToWideChar(kCp932, 0, src ? src : "", -1, dst, static_cast<int>(dstCount));
    if (n <= 0) {
        dst[0] = L'\0';
        return -1;
    }
    return 0;
}

int WideToCp932(const wchar_t* src, char* dst, size_t dstSize) {
    if (dstSize == 0) return -1;
    dst[0] = '\0';
    if (!src) return 0;
    int need = WideCharToMultiByte(kCp932, 0, src, -1, nullptr, 0, nullptr, nullptr);
    if (need <= 0) return -1;
    if (static_cast<size_t>(need) <= dstSize) {
        WideCharToMultiByte(kCp932, 0, src, -1, dst, need, nullptr, nullptr);
        return 0;
    }
    // Too long: convert character by character so the cut never splits a double-byte character.
    size_t used = 0;
    for (const wchar_t* p = src; *p; ++p) {
        int units = IS_HIGH_SURROGATE(*p) && IS_LOW_SURROGATE(p[1]) ? 2 : 1;
        char one[8];
        int n = WideCharToMultiByte(kCp932, 0, p, units, one, sizeof one, nullptr, nullptr);
        if (n <= 0 || used + static_cast<size_t>(n) > dstSize - 1) break;
        memcpy(dst + used, one, n);
        used += n;
        p += units - 1;
    }
    dst[used] = '\0';
    return -1;
}

int MessageBoxCp932(HWND owner, const char* text, const char* caption, UINT style) {
    wchar_t textBuf[kStackWide];
    wchar_t captionBuf[MAX_PATH];
    wchar_t* wideText = WidenTemp(text, textBuf, kStackWide);
    wchar_t* wideCaption = WidenTemp(caption, captionBuf, MAX_PATH);
    // Without memory the box must still appear: show what could be converted.
    int rc = MessageBoxW(owner, wideText ? wideText : L"", wideCaption ? wideCaption : L"", style);
    FreeTemp(wideText, textBuf);
    FreeTemp(wideCaption, captionBuf);
    return rc;
}

BOOL SetWindowTextCp932(HWND window, const char* text) {
    wchar_t buf[kStackWide];
    wchar_t* wide = WidenTemp(text, buf, kStackWide);
    if (!wide) return FALSE;
    BOOL ok = SetWindowTextW(window, wide);
    FreeTemp(wide, buf);
    return ok;
}

BOOL SetDlgItemTextCp932(HWND dialog, int id, const char* text) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowTextCp932(item, text) : FALSE;
}

int GetWindowTextCp932(HWND window, char* dst, size_t dstSize) {
    if (dstSize == 0) return -1;
    dst[0] = '\0';
    if (!window) return 0;
    // Each CP932 character takes at least one byte, so dstSize wide characters are always enough
    // to fill dst.
    wchar_t buf[kStackWide];
    wchar_t* wide = buf;
    size_t count = dstSize + 1;
    if (count > kStackWide) {
        wide = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, count * sizeof(wchar_t)));
        if (!wide) return -1;
    }
    wide[0] = L'\0';
    GetWindowTextW(window, wide, static_cast<int>(count));
    int rc = WideToCp932(wide, dst, dstSize);
    FreeTemp(wide, buf);
    return rc;
}

int SetClipboardCp932(HWND owner, const char* text) {
    size_t len = strlen(text);
    HGLOBAL ansi = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, len + 1);
    if (!ansi) return -1;
    void* p = GlobalLock(ansi);
    if (p) memcpy(p, text, len + 1);
    GlobalUnlock(ansi);

    // Without the wide copy Windows would derive one through the system code page, which turns
    // the Japanese into mojibake on other systems.
    HGLOBAL wide = nullptr;
    int need = MultiByteToWideChar(kCp932, 0, text, -1, nullptr, 0);
    if (need > 0) wide = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, need * sizeof(wchar_t));
    if (wide) {
        wchar_t* w = static_cast<wchar_t*>(GlobalLock(wide));
        if (w) MultiByteToWideChar(kCp932, 0, text, -1, w, need);
        GlobalUnlock(wide);
    }

    // The results are not examined: a busy clipboard only loses the copy, never the message.
    OpenClipboard(owner);
    EmptyClipboard();
    if (!SetClipboardData(CF_TEXT, ansi)) GlobalFree(ansi);
    if (wide && !SetClipboardData(CF_UNICODETEXT, wide)) GlobalFree(wide);
    CloseClipboard();
    return 0;
}

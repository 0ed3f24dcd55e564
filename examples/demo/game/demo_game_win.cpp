// The demo's game: a window that says which version is installed, so the demo shows the update
// taking effect. DEMO_GAME_VERSION is set by the build.
#include <windows.h>

namespace {

const wchar_t kClassName[] = L"VnDemoGame";
const wchar_t kVersionText[] = L"デモゲーム\nバージョン " DEMO_GAME_VERSION;

HFONT s_font;

void Paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    HGDIOBJ old = SelectObject(dc, s_font);
    SetBkMode(dc, TRANSPARENT);
    RECT measured = client;
    DrawTextW(dc, kVersionText, -1, &measured, DT_CENTER | DT_CALCRECT);
    RECT text = client;
    text.top = (client.bottom - (measured.bottom - measured.top)) / 2;
    DrawTextW(dc, kVersionText, -1, &text, DT_CENTER);
    SelectObject(dc, old);
    EndPaint(window, &ps);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: Paint(window); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    s_font = CreateFontW(-28, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS UI Gothic");
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassW(&wc)) return 1;
    RECT frame = {0, 0, 360, 180};
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&frame, style, FALSE);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    HWND window =
        CreateWindowW(kClassName, L"デモゲーム " DEMO_GAME_VERSION, style, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, 40,
                      width, height, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DeleteObject(s_font);
    return 0;
}

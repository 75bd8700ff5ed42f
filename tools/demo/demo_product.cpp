// The demo product: a window that says it was installed, and from where.
#include <windows.h>

#include <string>

namespace {

std::wstring Report() {
    wchar_t program[MAX_PATH] = {}, folder[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    return std::wstring(L"Talvenor was installed by the online setup.\n\nProgram:\n") + program +
           L"\n\nStarted in:\n" + folder;
}

LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        RECT client;
        ::GetClientRect(window, &client);
        ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        ::InflateRect(&client, -24, -24);
        ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
        const std::wstring text = Report();
        ::DrawTextW(dc, text.c_str(), -1, &client, DT_LEFT | DT_WORDBREAK);
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = L"TalvenorDemoProduct";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowW(L"TalvenorDemoProduct", L"Talvenor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 560, 260, nullptr, nullptr, instance, nullptr);
    ::ShowWindow(window, show);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}

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

// Leaves a note next to the program of how it was started, for whoever checks the install.
void WriteStartNote() {
    wchar_t program[MAX_PATH] = {}, folder[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring note = std::wstring(program) + L"\r\n" + folder + L"\r\n" + ::GetCommandLineW() + L"\r\n";
    std::wstring path = program;
    path = path.substr(0, path.find_last_of(L'\\')) + L"\\started.txt";
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, note.data(), static_cast<DWORD>(note.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
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
    // Only once the window exists: whoever sees the note can find the window and close it.
    WriteStartNote();
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}

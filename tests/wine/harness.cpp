#include "harness.h"

#include <gdiplus.h>
#include <shlobj.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace harness {

using Clock = std::chrono::steady_clock;

std::wstring BinaryFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring MakeTempFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"setup-tests\\" + name + L"-" + std::to_wstring(::GetCurrentProcessId());
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return folder;
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char block[65536];
    DWORD read = 0;
    while (::ReadFile(file, block, sizeof block, &read, nullptr) && read) bytes.append(block, read);
    ::CloseHandle(file);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    ::CloseHandle(file);
    return ok;
}

void Pump(std::chrono::milliseconds duration) {
    PumpUntil([] { return false; }, duration);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for whoever waits for it
                return done();
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (Clock::now() >= end) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= end) return false;
        ::Sleep(10);
    }
    return true;
}

// --- processes ---------------------------------------------------------------------

Process::Process(Process&& other) noexcept : process_(other.process_), id_(other.id_) {
    other.process_ = nullptr;
    other.id_ = 0;
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Kill();
        if (process_) ::CloseHandle(process_);
        process_ = other.process_;
        id_ = other.id_;
        other.process_ = nullptr;
        other.id_ = 0;
    }
    return *this;
}

Process::~Process() {
    Kill();
    if (process_) ::CloseHandle(process_);
}

Process Process::Start(const std::wstring& program, const std::wstring& arguments, int showCommand,
                       const std::wstring& folder) {
    std::wstring commandLine = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{sizeof startup};
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    PROCESS_INFORMATION info{};
    Process process;
    if (::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        ::CloseHandle(info.hThread);
        process.process_ = info.hProcess;
        process.id_ = info.dwProcessId;
    }
    return process;
}

bool Process::Running() const { return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

DWORD Process::Wait(std::chrono::milliseconds timeout) {
    if (!process_) return 0;
    ::WaitForSingleObject(process_, static_cast<DWORD>(timeout.count()));
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(process_, &code);
    return code;
}

void Process::Kill() {
    if (Running()) {
        ::TerminateProcess(process_, 1);
        ::WaitForSingleObject(process_, 5000);
    }
}

namespace {
struct WindowSearch {
    DWORD processId;
    const wchar_t* windowClass;
    HWND owner;
    bool byOwner;
    bool visibleOnly = true;
    HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<WindowSearch*>(context);
    if (search.visibleOnly && !::IsWindowVisible(window)) return TRUE;
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (search.windowClass && wcscmp(name, search.windowClass) != 0) return TRUE;
    if (search.byOwner) {
        if (::GetWindow(window, GW_OWNER) != search.owner) return TRUE;
    } else {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        if (pid != search.processId || ::GetWindow(window, GW_OWNER)) return TRUE;
    }
    search.found = window;
    return FALSE;
}
}  // namespace

HWND Process::FindMainWindow(const wchar_t* windowClass, std::chrono::milliseconds timeout, bool visibleOnly) const {
    WindowSearch search{id_, windowClass, nullptr, false, visibleOnly};
    WaitUntil([&] {
        ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr || !Running();
    }, timeout);
    return search.found;
}

// --- message boxes -----------------------------------------------------------------

HWND FindOwnedBox(HWND owner, std::chrono::milliseconds timeout) {
    WindowSearch search{0, L"#32770", owner, true};
    WaitUntil([&] {
        ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    }, timeout);
    return search.found;
}

namespace {
BOOL CALLBACK CollectChild(HWND child, LPARAM context) {
    auto& content = *reinterpret_cast<BoxContent*>(context);
    wchar_t name[32] = {};
    ::GetClassNameW(child, name, 32);
    const int id = ::GetDlgCtrlID(child);
    if (_wcsicmp(name, L"Button") == 0 && ::IsWindowVisible(child)) content.buttons.push_back(id);
    if (_wcsicmp(name, L"Static") == 0 && (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        ::SendMessageW(child, STM_GETICON, 0, 0)) {
        content.hasIcon = true;
    }
    return TRUE;
}

std::wstring TextOf(HWND window) {
    wchar_t text[2048] = {};
    ::GetWindowTextW(window, text, 2048);
    return text;
}
}  // namespace

BoxContent ReadBox(HWND box) {
    BoxContent content;
    content.caption = TextOf(box);
    content.text = TextOf(::GetDlgItem(box, 0xFFFF));
    ::EnumChildWindows(box, &CollectChild, reinterpret_cast<LPARAM>(&content));
    return content;
}

void PressBoxButton(HWND box, int buttonId) {
    HWND button = ::GetDlgItem(box, buttonId);
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

BoxAnswerer::BoxAnswerer(HWND owner, int buttonId, std::chrono::milliseconds timeout)
    : owner_(owner), buttonId_(buttonId), timeout_(timeout) {
    thread_ = ::CreateThread(nullptr, 0, &Run, this, 0, nullptr);
}

BoxAnswerer::~BoxAnswerer() { Join(); }

bool BoxAnswerer::Join() {
    if (thread_) {
        ::WaitForSingleObject(thread_, INFINITE);
        ::CloseHandle(thread_);
        thread_ = nullptr;
    }
    return pressed_;
}

DWORD WINAPI BoxAnswerer::Run(void* argument) {
    auto& self = *static_cast<BoxAnswerer*>(argument);
    HWND box = FindOwnedBox(self.owner_, self.timeout_);
    if (!box) return 0;
    ::Sleep(50);  // let the box finish setting itself up
    self.content = ReadBox(box);
    PressBoxButton(box, self.buttonId_);
    self.pressed_ = true;
    return 0;
}

// --- geometry, mouse and pixels ---------------------------------------------------

RECT WindowRect(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

SIZE ClientSize(HWND window) {
    RECT rect{};
    ::GetClientRect(window, &rect);
    return SIZE{rect.right, rect.bottom};
}

POINT ClientToScreenPoint(HWND window, int x, int y) {
    POINT point{x, y};
    ::ClientToScreen(window, &point);
    return point;
}

namespace {
INPUT MouseInput(POINT screen, DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>(screen.x * 65535.0 / (::GetSystemMetrics(SM_CXSCREEN) - 1) + 0.5);
    input.mi.dy = static_cast<LONG>(screen.y * 65535.0 / (::GetSystemMetrics(SM_CYSCREEN) - 1) + 0.5);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return input;
}
}  // namespace

void SendMouseAt(POINT screen, DWORD flags) {
    INPUT input = MouseInput(screen, flags | MOUSEEVENTF_MOVE);
    ::SendInput(1, &input, sizeof input);
}

void MoveMouseTo(POINT screen) {
    INPUT move = MouseInput(screen, MOUSEEVENTF_MOVE);
    ::SendInput(1, &move, sizeof move);
}

void ClickAt(POINT screen, bool right) {
    INPUT inputs[3] = {
        MouseInput(screen, MOUSEEVENTF_MOVE),
        MouseInput(screen, right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN),
        MouseInput(screen, right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP),
    };
    ::SendInput(1, &inputs[0], sizeof(INPUT));
    ::Sleep(30);
    ::SendInput(2, &inputs[1], sizeof(INPUT));
}

POINT CentreOf(HWND window) {
    const RECT rect = WindowRect(window);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

void ClickControl(HWND window, int controlId) {
    ::SetForegroundWindow(window);
    ClickAt(CentreOf(::GetDlgItem(window, controlId)));
    ::Sleep(250);
}

Pixels CaptureClient(HWND window) {
    Pixels pixels;
    const SIZE size = ClientSize(window);
    const POINT origin = ClientToScreenPoint(window, 0, 0);
    pixels.width = size.cx;
    pixels.height = size.cy;
    if (size.cx <= 0 || size.cy <= 0) return pixels;

    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, size.cx, size.cy, screen, origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    const auto* quads = static_cast<const RGBQUAD*>(bits);
    pixels.data.resize(static_cast<size_t>(size.cx) * size.cy);
    for (size_t i = 0; i < pixels.data.size(); ++i) {
        pixels.data[i] = RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue);
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

namespace {
bool PngEncoder(CLSID& clsid) {
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, codecs);
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}
}  // namespace

bool SaveScreenshot(HWND window, const std::wstring& name) {
    const wchar_t* folderVariable = _wgetenv(L"SETUP_SCREENSHOTS");
    if (!folderVariable || !*folderVariable) return false;
    std::wstring folder = folderVariable;
    for (auto& c : folder) if (c == L'/') c = L'\\';
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    const Pixels pixels = CaptureClient(window);
    if (pixels.width == 0) return false;
    Gdiplus::Bitmap bitmap(pixels.width, pixels.height, PixelFormat32bppRGB);
    for (int y = 0; y < pixels.height; ++y) {
        for (int x = 0; x < pixels.width; ++x) {
            const COLORREF c = pixels.at(x, y);
            bitmap.SetPixel(x, y, Gdiplus::Color(GetRValue(c), GetGValue(c), GetBValue(c)));
        }
    }
    CLSID png{};
    return PngEncoder(png) && bitmap.Save((folder + L"\\" + name + L".png").c_str(), &png, nullptr) == Gdiplus::Ok;
}

}  // namespace harness

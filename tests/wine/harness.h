// Helpers for tests that drive real windows under Wine: other processes, message boxes,
// waiting while messages are pumped, and screenshots.
#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace harness {

using namespace std::chrono_literals;

// The folder of the test program, where setup.exe and the helper programs are built.
std::wstring BinaryFolder();
// A new empty folder under the temporary folder.
std::wstring MakeTempFolder(const std::wstring& name);
bool FileExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

// Pumps this thread's messages until `done` is true or the time is up; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s);
// Pumps this thread's messages for a while.
void Pump(std::chrono::milliseconds duration);
// Waits (without pumping) until `done` is true or the time is up.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s);

// A program started by a test, ended when the object goes.
class Process {
public:
    Process() = default;
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    ~Process();

    static Process Start(const std::wstring& program, const std::wstring& arguments = L"",
                         int showCommand = SW_SHOWNORMAL, const std::wstring& folder = L"");

    bool Running() const;
    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_; }
    // Waits for the end; returns the exit code, or STILL_ACTIVE after the timeout.
    DWORD Wait(std::chrono::milliseconds timeout = 20s);
    void Kill();
    // The visible top-level window of class `windowClass` owned by nobody.
    HWND FindMainWindow(const wchar_t* windowClass = L"#32770", std::chrono::milliseconds timeout = 20s,
                        bool visibleOnly = true) const;

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// What a message box showed.
struct BoxContent {
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;  // ids: IDOK, IDYES, ...
    bool hasIcon = false;
};

// A visible message box (dialog) owned by `owner`, or null when none came in time.
HWND FindOwnedBox(HWND owner, std::chrono::milliseconds timeout = 10s);
BoxContent ReadBox(HWND box);
// Presses one of the box's buttons the way a click on it does.
void PressBoxButton(HWND box, int buttonId);

// Answers the next box owned by `owner` from another thread, so the test's own thread
// can sit in the box's modal loop. `content` receives what the box showed.
class BoxAnswerer {
public:
    BoxAnswerer(HWND owner, int buttonId, std::chrono::milliseconds timeout = 10s);
    ~BoxAnswerer();
    // Waits for the answerer to finish; true when it found and pressed a box.
    bool Join();
    BoxContent content;

private:
    static DWORD WINAPI Run(void* self);
    HWND owner_;
    int buttonId_;
    std::chrono::milliseconds timeout_;
    HANDLE thread_ = nullptr;
    bool pressed_ = false;
};

// Window rectangle in screen coordinates and client rectangle size.
RECT WindowRect(HWND window);
SIZE ClientSize(HWND window);
// Clicks with the real mouse (through the X server) at a screen point.
void ClickAt(POINT screen, bool right = false);
// Moves the real mouse to a screen point.
void MoveMouseTo(POINT screen);
// Sends one real mouse event (MOUSEEVENTF_LEFTDOWN, ...) at a screen point, moving there first.
void SendMouseAt(POINT screen, DWORD flags);
POINT ClientToScreenPoint(HWND window, int x, int y);

// The screen point at the middle of a window.
POINT CentreOf(HWND window);
// Brings the window to the front and clicks the middle of one of its controls with the
// real mouse, as a user does.
void ClickControl(HWND window, int controlId);

// A copy of what the window shows on screen, as 32-bit pixels (top-down).
struct Pixels {
    int width = 0, height = 0;
    std::vector<COLORREF> data;
    COLORREF at(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
};
Pixels CaptureClient(HWND window);
// Saves the window's client area as a PNG under build/screenshots (SETUP_SCREENSHOTS).
bool SaveScreenshot(HWND window, const std::wstring& name);

}  // namespace harness

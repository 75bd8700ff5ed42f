// Helpers of the window-command tests: the setup window made in the test process, its
// pages, scripted answers to its message boxes, the stand-in product, test language
// files, Wine's notification area, the folder browser and the shell's open command.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "ui/main_dlg.h"

namespace commands {

using namespace std::chrono_literals;

// The setup window, created from template 129 and shown, as setup.exe does it. What a
// test leaves behind (the window, a pending WM_QUIT, MainDialog) goes with the object.
class SetupWindow {
public:
    SetupWindow();
    ~SetupWindow();
    SetupWindow(const SetupWindow&) = delete;
    SetupWindow& operator=(const SetupWindow&) = delete;

    HWND Item(int id) const { return ::GetDlgItem(hwnd, id); }
    bool Shows(int id) const { return (::GetWindowLongW(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
    // The centre of a control, in screen coordinates.
    POINT CentreOf(int id) const;
    // The command a click on control `id` sends (sent, as the skinned buttons do).
    void Command(int id);
    // The installing page as the Install command leaves it (which needs a download
    // server to get there): the phase, the slide timer and the controls of that page.
    void EnterInstallingPage();
    // Brings the window to the front and lets it paint.
    void Settle();

    std::unique_ptr<CMainDlg> owned;
    CMainDlg& dlg;
    HWND hwnd = nullptr;
};

// Takes the WM_QUIT that QuitSetup posted: its exit code, or -1 when none is pending.
int TakeQuit();

// One answer to a message box: a button, or the Escape key pressed while the box has
// the keyboard. `before` runs after the box was read and before it is answered.
struct BoxStep {
    int button = IDCANCEL;
    bool escapeKey = false;
    std::function<void()> before;
};

// Answers the boxes owned by `owner` one after another from another thread, so that the
// test's own thread can sit in their modal loops. Stops after the last step, or when
// Finish is called (a box that never came is then simply not in the list).
class BoxScript {
public:
    BoxScript(HWND owner, std::vector<BoxStep> steps);
    ~BoxScript();
    BoxScript(const BoxScript&) = delete;
    BoxScript& operator=(const BoxScript&) = delete;
    // Stops looking for further boxes; returns what every answered box showed.
    std::vector<harness::BoxContent> Finish();
    // Whether a box stayed open after the Escape key (it was then closed with Cancel).
    bool EscapeIgnored() const { return escapeIgnored_; }

private:
    static DWORD WINAPI Run(void* self);
    HWND owner_;
    std::vector<BoxStep> steps_;
    std::vector<harness::BoxContent> seen_;
    volatile LONG stop_ = 0;
    bool escapeIgnored_ = false;
    HANDLE thread_ = nullptr;
};

// A visible top-level dialog of this process that nobody owns, other than `except` (an
// error box the shell opens without an owner, say), or null.
HWND FindUnownedDialog(HWND except);

// The stand-in product (tests/programs/product_stub.cpp) in the test's bin folder.
std::wstring ProductStub();
// Copies a program to `folder`\`fileName`; false when that failed.
bool CopyProgram(const std::wstring& program, const std::wstring& folder, const std::wstring& fileName);
// The stand-in product copied to a new folder as `fileName` and started so that it keeps
// running; returns once the process list shows it under that name.
harness::Process StartRunningProduct(const std::wstring& fileName);
// The executable file name the process list shows for process `id`, or empty.
std::wstring ListedName(DWORD id);

// A language file of the test: the shipped English texts with some replaced (or added),
// selected for LoadLangString while the object lives.
class TestLanguage {
public:
    explicit TestLanguage(const std::map<std::wstring, std::wstring>& replaced);
    ~TestLanguage();
    TestLanguage(const TestLanguage&) = delete;
    TestLanguage& operator=(const TestLanguage&) = delete;
};

// Wine's notification area: when the X display has no tray of its own, Wine's shell
// shows every icon in a stand-alone tray window, one child window per icon.
std::vector<HWND> ShellTrayIcons();
// The balloon the shell shows for an icon (a tooltip window in balloon style), or null.
HWND ShellBalloon();

// Records the WM_TRAY_NOTIFY messages that reach the setup window on this thread, sent
// or posted (the shell notifies with SendNotifyMessage), in the order they arrive.
class TrayNotifyRecorder {
public:
    struct Seen {
        WPARAM id;
        LPARAM mouse;
    };
    explicit TrayNotifyRecorder(HWND window);
    ~TrayNotifyRecorder();
    TrayNotifyRecorder(const TrayNotifyRecorder&) = delete;
    TrayNotifyRecorder& operator=(const TrayNotifyRecorder&) = delete;
    std::vector<Seen> seen() const;

private:
    HHOOK sentHook_ = nullptr;
    HHOOK postedHook_ = nullptr;
};

// The folder browser (SHBrowseForFolder) owned by `owner` once it is shown, or null.
HWND FindFolderBrowser(HWND owner, std::chrono::milliseconds timeout = 10s);
// Selects `path` in the browser's tree as a user does: opens each level on the way
// (My Computer, the drive, each folder) and clicks the last item with the real mouse.
// Runs on any thread but the browser's. False when an item was not found.
bool PickInFolderTree(HWND browser, const std::wstring& path);
// The same for an item that is no folder of the file system: `names` are the texts of
// the items from below the desktop down to it ({L"My Computer", L"Control Panel"}).
bool PickNamedInFolderTree(HWND browser, const std::vector<std::wstring>& names);
// Clicks one of the browser's buttons (IDOK, IDCANCEL) with the real mouse.
void ClickDialogButton(HWND dialog, int id);

// HKCR\<scheme>\shell\open\command set to `command` while the object lives; the value
// (or its absence) is put back afterwards.
class ShellOpenCommand {
public:
    ShellOpenCommand(const std::wstring& scheme, const std::wstring& command);
    ~ShellOpenCommand();
    ShellOpenCommand(const ShellOpenCommand&) = delete;
    ShellOpenCommand& operator=(const ShellOpenCommand&) = delete;
    bool applied() const { return applied_; }

private:
    std::wstring key_;
    bool applied_ = false;
    bool hadValue_ = false;
    std::wstring oldValue_;
};

// A UTF-16LE text file with a byte-order mark, as the test programs write them; empty
// when the file does not exist.
std::wstring ReadUtf16File(const std::wstring& path);
// The arguments of a command line, parsed as a started program parses them.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

}  // namespace commands

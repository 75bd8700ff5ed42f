// The customise panel and the choice of the installation folder in the system's folder
// browser, driven with the real mouse.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "commands_support.h"
#include "ui/control_ids.h"

using namespace harness;
using namespace commands;

namespace {

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

// What the folder browser showed, and whether the test could make its choice in it.
struct BrowserVisit {
    HWND setup = nullptr;
    std::wstring pick;                // a folder's path
    std::vector<std::wstring> named;  // else the names of a virtual item; neither: Cancel
    bool found = false;
    bool picked = false;
    std::vector<std::wstring> texts;  // the texts of the browser's static controls
    volatile LONG done = 0;
};

BOOL CALLBACK CollectControl(HWND child, LPARAM context) {
    auto& visit = *reinterpret_cast<BrowserVisit*>(context);
    wchar_t name[32] = {};
    ::GetClassNameW(child, name, 32);
    if (!::IsWindowVisible(child)) return TRUE;
    if (_wcsicmp(name, L"Static") == 0) visit.texts.push_back(TextOf(child));
    return TRUE;
}

DWORD WINAPI VisitBrowser(void* argument) {
    auto& visit = *static_cast<BrowserVisit*>(argument);
    if (HWND browser = FindFolderBrowser(visit.setup)) {
        visit.found = true;
        ::Sleep(200);  // let the tree fill in
        ::EnumChildWindows(browser, &CollectControl, reinterpret_cast<LPARAM>(&visit));
        if (visit.pick.empty() && visit.named.empty()) {
            ClickDialogButton(browser, IDCANCEL);
        } else {
            visit.picked = visit.pick.empty() ? PickNamedInFolderTree(browser, visit.named)
                                              : PickInFolderTree(browser, visit.pick);
            ClickDialogButton(browser, visit.picked ? IDOK : IDCANCEL);
        }
    }
    ::InterlockedExchange(&visit.done, 1);
    return 0;
}

// Presses Browse with the mouse and handles the browser from another thread, while this
// thread runs the browser's modal loop.
BrowserVisit Browse(SetupWindow& window, const std::wstring& pick, const std::vector<std::wstring>& named = {}) {
    BrowserVisit visit;
    visit.setup = window.hwnd;
    visit.pick = pick;
    visit.named = named;
    HANDLE thread = ::CreateThread(nullptr, 0, &VisitBrowser, &visit, 0, nullptr);
    ClickAt(window.CentreOf(IDC_BROWSE));
    PumpUntil([&] { return visit.done != 0; }, 30s);
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    window.Settle();
    return visit;
}

bool Has(const std::vector<std::wstring>& texts, const std::wstring& text) {
    for (const auto& t : texts) {
        if (t == text) return true;
    }
    return false;
}

}  // namespace

TEST(CommandsFolder, CustomizeToggleOpensAndClosesThePanelInPlace) {
    SetupWindow window;
    ASSERT_TRUE(window.hwnd);
    const RECT start = WindowRect(window.hwnd);

    for (const int height : {CUSTOMIZE_HEIGHT, WELCOME_HEIGHT}) {
        SCOPED_TRACE(height);
        ClickAt(window.CentreOf(IDC_CUSTOMIZE));
        EXPECT_TRUE(PumpUntil([&] { return ClientSize(window.hwnd).cy == height; }));
        const RECT now = WindowRect(window.hwnd);
        EXPECT_EQ(now.left, start.left);
        EXPECT_EQ(now.top, start.top);
        EXPECT_EQ(now.right - now.left, WINDOW_WIDTH);
        EXPECT_EQ(now.bottom - now.top, height);
        EXPECT_EQ(window.dlg.CustomizeToggle.GetSelectState(), height == CUSTOMIZE_HEIGHT ? 1 : 0);
        for (int id : {IDC_PATH, IDC_BROWSE, IDC_PATH_LABEL}) EXPECT_TRUE(window.Shows(id)) << "control " << id;
        if (height == CUSTOMIZE_HEIGHT) SaveScreenshot(window.hwnd, L"commands_customise_open");
    }
}

TEST(CommandsFolder, BrowseCancelKeepsTheTextAndAPickPutsExactlyItsPathOrNothing) {
    SetupWindow window;
    ASSERT_TRUE(window.hwnd);
    ClickAt(window.CentreOf(IDC_CUSTOMIZE));
    ASSERT_TRUE(PumpUntil([&] { return ClientSize(window.hwnd).cy == CUSTOMIZE_HEIGHT; }));
    const std::wstring defaultFolder = InstallFolder;
    EXPECT_EQ(TextOf(window.Item(IDC_PATH)), defaultFolder);

    // Cancel: the browser was the system's, with the title asked for, and nothing
    // changes, not even text typed into the box before. (Wine's browser shows the edit
    // box of BIF_EDITBOX only in its new-style dialog, so the test uses the tree.)
    const std::wstring typed = L"D:\\typed by hand";
    ::SetWindowTextW(window.Item(IDC_PATH), typed.c_str());
    {
        const BrowserVisit visit = Browse(window, L"");
        ASSERT_TRUE(visit.found) << "no folder browser owned by the setup window";
        EXPECT_TRUE(Has(visit.texts, L"Select a folder"));
        EXPECT_EQ(TextOf(window.Item(IDC_PATH)), typed);
        EXPECT_EQ(InstallFolder, defaultFolder);
    }

    // A folder with a blank in its name: exactly its path, nothing added; then a drive's
    // root, which keeps the backslash the system gives it.
    const std::wstring folder = L"C:\\setup-commands-" + std::to_wstring(::GetCurrentProcessId()) + L"\\Picked Folder";
    ASSERT_EQ(::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr), ERROR_SUCCESS);
    for (const std::wstring& pick : {folder, std::wstring(L"C:\\")}) {
        SCOPED_TRACE(testing::PrintToString(pick));
        const BrowserVisit visit = Browse(window, pick);
        ASSERT_TRUE(visit.found);
        ASSERT_TRUE(visit.picked) << "the folder was not found in the browser's tree";
        EXPECT_EQ(TextOf(window.Item(IDC_PATH)), pick);
        EXPECT_EQ(InstallFolder, pick);
    }

    // The control panel is no folder of the file system: the box is emptied.
    {
        const BrowserVisit visit = Browse(window, L"", {L"My Computer", L"Control Panel"});
        ASSERT_TRUE(visit.found);
        ASSERT_TRUE(visit.picked) << "the control panel was not found in the browser's tree";
        EXPECT_EQ(TextOf(window.Item(IDC_PATH)), L"");
        EXPECT_EQ(InstallFolder, L"");
    }
    EXPECT_EQ(window.dlg.SetupPhase, PHASE_WELCOME);
    EXPECT_EQ(ClientSize(window.hwnd).cy, CUSTOMIZE_HEIGHT);
    ::RemoveDirectoryW(folder.c_str());
    ::RemoveDirectoryW(folder.substr(0, folder.find_last_of(L'\\')).c_str());
}

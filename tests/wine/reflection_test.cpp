// The window library: notifications reflected to the child that caused them, attached
// controls, and the path box that shows no context menu.
#include <gtest/gtest.h>

#include "controls/edit_impl.h"
#include "harness.h"
#include "ui/control_ids.h"
#include "winlib/app_module.h"
#include "winlib/dialog_impl.h"
#include "winlib/window_impl.h"

using namespace harness;

namespace {

// A child that records the reflected messages it gets and answers a draw request with 1.
class RecordingChild : public winlib::CWindowImplBase {
public:
    std::vector<UINT> seen;
    bool ProcessWindowMessage(HWND, UINT msg, WPARAM, LPARAM, LRESULT& result) override {
        if (msg >= winlib::OCM_BASE && msg <= winlib::OCM_LAST) seen.push_back(msg);
        if (msg == winlib::OCM_DRAWITEM) return Answer(result, 1);
        return false;
    }
};

// The setup window's template with an empty message map: everything is reflected or default.
class PlainDialog : public winlib::CDialogImplBase {
public:
    bool ProcessWindowMessage(HWND, UINT msg, WPARAM, LPARAM, LRESULT& result) override {
        if (msg == WM_INITDIALOG) return Answer(result, TRUE);
        return false;
    }
};

class Reflection : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dialog.Create(winlib::AppModule.GetResourceInstance(), IDD_SETUP, nullptr));
        ASSERT_TRUE(button.SubclassWindow(::GetDlgItem(dialog, IDC_INSTALL)));
        ASSERT_TRUE(edit.SubclassWindow(::GetDlgItem(dialog, IDC_PATH)));
    }
    void TearDown() override { ::DestroyWindow(dialog); }

    LRESULT DrawRequest(WPARAM wParam) {
        DRAWITEMSTRUCT draw{};
        draw.CtlType = ODT_BUTTON;
        draw.CtlID = IDC_INSTALL;
        draw.hwndItem = button;
        draw.hDC = ::GetDC(button);
        const LRESULT answer = ::SendMessageW(dialog, WM_DRAWITEM, wParam, reinterpret_cast<LPARAM>(&draw));
        ::ReleaseDC(button, draw.hDC);
        return answer;
    }

    PlainDialog dialog;
    RecordingChild button;
    RecordingChild edit;
};

}  // namespace

TEST_F(Reflection, DrawRequestReachesTheChildWhoseAnswerIsTheWindows) {
    EXPECT_EQ(DrawRequest(IDC_INSTALL), 1);
    EXPECT_EQ(button.seen, std::vector<UINT>{winlib::OCM_DRAWITEM});
}

TEST_F(Reflection, DrawRequestWithWParamZeroIsNotReflected) {
    EXPECT_EQ(DrawRequest(0), 0);
    EXPECT_TRUE(button.seen.empty());
}

TEST_F(Reflection, CommandsGoToTheirControlOrToDefaultProcessing) {
    // From the edit box (a change notification): reflected to the box, which ignores it.
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PATH, EN_CHANGE), reinterpret_cast<LPARAM>(edit.Handle()));
    EXPECT_EQ(edit.seen, std::vector<UINT>{winlib::OCM_COMMAND});
    // An unknown id without a control: nobody is asked, the dialog's default answers.
    edit.seen.clear();
    EXPECT_EQ(::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(4242, 0), 0), 0);
    EXPECT_TRUE(edit.seen.empty());
    EXPECT_TRUE(button.seen.empty());
}

TEST_F(Reflection, AttachingTwiceIsRefusedAndDestroyingDetaches) {
    EXPECT_FALSE(button.SubclassWindow(::GetDlgItem(dialog, IDC_INSTALL)));
    ::DestroyWindow(dialog);
    EXPECT_FALSE(button.IsAttached());
    EXPECT_FALSE(edit.IsAttached());
}

namespace {

// Watches for a popup menu while the test pumps; closes it so the test cannot hang.
struct MenuWatch {
    bool seen = false;
    HANDLE thread = nullptr;
    volatile bool stop = false;
    MenuWatch() { thread = ::CreateThread(nullptr, 0, &Watch, this, 0, nullptr); }
    static DWORD WINAPI Watch(void* self) {
        auto& watch = *static_cast<MenuWatch*>(self);
        while (!watch.stop) {
            HWND menu = ::FindWindowW(L"#32768", nullptr);
            if (menu && ::IsWindowVisible(menu)) {
                watch.seen = true;
                ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
                ::SendMessageTimeoutW(menu, WM_CANCELMODE, 0, 0, SMTO_ABORTIFHUNG, 200, nullptr);
            }
            ::Sleep(20);
        }
        return 0;
    }
    ~MenuWatch() {
        stop = true;
        ::WaitForSingleObject(thread, INFINITE);
        ::CloseHandle(thread);
    }
};

}  // namespace

namespace {
// Right-clicks the box as a user does; true when a context menu came up.
bool RightClickShowsMenu(HWND box) {
    MenuWatch watch;
    ClickAt(ClientToScreenPoint(box, 5, 5), true);
    Pump(700ms);
    return watch.seen;
}
}  // namespace

TEST(PathEdit, RightClickShowsNoMenuAndKeepsTheText) {
    PlainDialog dialog;
    ASSERT_TRUE(dialog.Create(winlib::AppModule.GetResourceInstance(), IDD_SETUP, nullptr));
    HWND box = ::GetDlgItem(dialog, IDC_PATH);
    ::SetWindowTextW(box, L"C:\\Keep Me");
    ::ShowWindow(dialog, SW_SHOW);
    ::SetForegroundWindow(dialog);
    Pump(200ms);
    ASSERT_TRUE(RightClickShowsMenu(box)) << "a plain edit box should show its menu, or this test proves nothing";

    CEditImpl edit;
    ASSERT_TRUE(edit.SubclassWindow(box));
    EXPECT_FALSE(RightClickShowsMenu(box));
    wchar_t text[64] = {};
    ::GetWindowTextW(box, text, 64);
    EXPECT_STREQ(text, L"C:\\Keep Me");
    ::DestroyWindow(dialog);
}

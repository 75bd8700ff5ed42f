// Hiding the setup window into the notification area: the icon record, the icon and its
// balloon in Wine's shell, the clicks on the icon that bring the window back, and the
// icon going with the setup.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "commands_support.h"
#include "ui/control_ids.h"

using namespace harness;
using namespace commands;

namespace {

POINT CentreOfWindow(HWND window) {
    const RECT rect = WindowRect(window);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Somewhere on the screen that neither the setup window nor the notification area covers.
constexpr POINT kAway{1200, 1000};

SIZE IconSize(HICON icon) {
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info)) return SIZE{};
    BITMAP bitmap{};
    ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    return SIZE{bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2};
}

bool Contains(const std::vector<TrayNotifyRecorder::Seen>& seen, LPARAM mouse) {
    for (const auto& s : seen) {
        if (s.id == TRAY_ICON_ID && s.mouse == mouse) return true;
    }
    return false;
}

std::string Describe(const std::vector<TrayNotifyRecorder::Seen>& seen) {
    std::string text;
    char item[32];
    for (const auto& s : seen) {
        snprintf(item, sizeof item, " %u:0x%lx", static_cast<unsigned>(s.id), static_cast<unsigned long>(s.mouse));
        text += item;
    }
    return "notifications:" + text;
}

}  // namespace

TEST(CommandsTray, RecordHoldsTheProductTextsAndTheSmallIcon) {
    SetupWindow window;
    ASSERT_TRUE(window.hwnd);
    const NOTIFYICONDATAW& data = window.dlg.TrayIconData;

    EXPECT_EQ(data.cbSize, 956u);
    EXPECT_EQ(sizeof data, 956u);
    EXPECT_EQ(data.hWnd, window.hwnd);
    EXPECT_EQ(data.uID, 1u);
    EXPECT_EQ(data.uFlags, 0x17u);
    EXPECT_EQ(data.uCallbackMessage, 1124u);
    ASSERT_TRUE(data.hIcon);
    const SIZE size = IconSize(data.hIcon);
    EXPECT_EQ(size.cx, ::GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(size.cy, ::GetSystemMetrics(SM_CYSMICON));
    EXPECT_STREQ(data.szTip, L"TalvenorInstalling !");
    EXPECT_STREQ(data.szInfo, L"Talvenor is being installed. Please wait...");
    EXPECT_STREQ(data.szInfoTitle, L"Talvenor");

    // Every other byte is zero: state, balloon flags and icon, time-out, GUID, and the
    // unused ends of the three texts.
    NOTIFYICONDATAW expected;
    std::memset(&expected, 0, sizeof expected);
    expected.cbSize = 956;
    expected.hWnd = window.hwnd;
    expected.uID = 1;
    expected.uFlags = 0x17;
    expected.uCallbackMessage = 1124;
    expected.hIcon = data.hIcon;
    wcscpy(expected.szTip, L"TalvenorInstalling !");
    wcscpy(expected.szInfo, L"Talvenor is being installed. Please wait...");
    wcscpy(expected.szInfoTitle, L"Talvenor");
    EXPECT_EQ(std::memcmp(&expected, &data, sizeof data), 0);
}

TEST(CommandsTray, TextsLongerThanTheirFieldsAreCutBetweenCharacters) {
    // U+1F600 is one character in two UTF-16 units; each cut below falls between them.
    const std::wstring face = L"\xD83D\xDE00";
    const std::wstring project = std::wstring(62, L'P') + face + std::wstring(36, L'p');  // 100 units
    const std::wstring downloading = std::wstring(26, L'd') + face + L" and more";
    const std::wstring balloon = std::wstring(255, L'b');  // the longest text the language file gives
    TestLanguage language({{L"STR_PROJECT_NAME", project},
                           {L"STR_DOWNLOADING", downloading},
                           {L"STR_BEING_INSTALLED", balloon}});
    SetupWindow window;
    ASSERT_TRUE(window.hwnd);
    const NOTIFYICONDATAW& data = window.dlg.TrayIconData;

    EXPECT_EQ(std::wstring(data.szTip), project + std::wstring(26, L'd'));  // 126 units, not half a face
    EXPECT_EQ(std::wstring(data.szInfoTitle), std::wstring(62, L'P'));
    EXPECT_EQ(std::wstring(data.szInfo), balloon) << "255 characters fit the balloon text whole";
    EXPECT_EQ(data.szTip[127], L'\0');
    EXPECT_EQ(data.szInfoTitle[63], L'\0');

    // The shell takes the cut record.
    window.EnterInstallingPage();
    window.Command(IDC_HIDE);
    EXPECT_TRUE(PumpUntil([] { return ShellTrayIcons().size() == 1; }));
}

TEST(CommandsTray, HideAddsTheIconAndALeftOrRightClickOnItBringsTheWindowBack) {
    SetupWindow window;
    ASSERT_TRUE(window.hwnd);
    window.EnterInstallingPage();
    MoveMouseTo(kAway);

    for (const bool right : {false, true}) {
        SCOPED_TRACE(right ? "right button" : "left button");
        ClickAt(window.CentreOf(IDC_HIDE));
        ASSERT_TRUE(PumpUntil([] { return ShellTrayIcons().size() == 1; })) << "no icon in the notification area";
        EXPECT_FALSE(::IsWindowVisible(window.hwnd));
        HWND icon = ShellTrayIcons()[0];
        if (!right) {
            // The record asks for a balloon: the shell shows one beside the icon.
            EXPECT_TRUE(PumpUntil([] { return ShellBalloon() != nullptr; })) << "no balloon";
            if (HWND balloon = ShellBalloon()) SaveScreenshot(balloon, L"commands_tray_balloon");
        }

        TrayNotifyRecorder recorder(window.hwnd);
        // The mouse passing over the icon: the shell reports the move, which changes nothing.
        MoveMouseTo(CentreOfWindow(icon));
        ASSERT_TRUE(PumpUntil([&] { return Contains(recorder.seen(), WM_MOUSEMOVE); }));
        EXPECT_FALSE(::IsWindowVisible(window.hwnd)) << "a mouse move must not restore";
        EXPECT_EQ(ShellTrayIcons().size(), 1u);

        ClickAt(CentreOfWindow(icon), right);
        EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(window.hwnd) != FALSE; })) << "the click did not restore";
        EXPECT_TRUE(Contains(recorder.seen(), right ? WM_RBUTTONUP : WM_LBUTTONUP)) << Describe(recorder.seen());
        EXPECT_FALSE(::IsIconic(window.hwnd));
        EXPECT_TRUE(PumpUntil([] { return ShellTrayIcons().empty(); })) << "the icon must go";
        window.Settle();
        EXPECT_EQ(window.dlg.SetupPhase, PHASE_INSTALLING);
        MoveMouseTo(kAway);
    }
    EXPECT_EQ(TakeQuit(), -1);
}

TEST(CommandsTray, OnlyAButtonUpOnTheIconRestoresTheWindow) {
    SetupWindow window;
    ASSERT_TRUE(window.hwnd);
    window.EnterInstallingPage();
    window.Command(IDC_HIDE);
    ASSERT_TRUE(PumpUntil([] { return ShellTrayIcons().size() == 1; }));

    const struct {
        WPARAM id;
        LPARAM mouse;
        const char* what;
    } ignored[] = {
        {1, WM_MOUSEMOVE, "mouse move"},
        {1, WM_LBUTTONDOWN, "left button down"},
        {1, WM_RBUTTONDOWN, "right button down"},
        {1, WM_MBUTTONUP, "middle button up"},
        {1, WM_RBUTTONDBLCLK, "right double-click"},
        {1, WM_CONTEXTMENU, "context menu"},
        {1, NIN_BALLOONUSERCLICK, "balloon click"},
        {1, NIN_BALLOONTIMEOUT, "balloon gone"},
        {2, WM_LBUTTONUP, "left button up on another icon"},
        {0, WM_RBUTTONUP, "right button up on icon 0"},
        {1, WM_LBUTTONDBLCLK, "left double-click"},
    };
    for (const auto& message : ignored) {
        SCOPED_TRACE(message.what);
        EXPECT_EQ(::SendMessageW(window.hwnd, WM_TRAY_NOTIFY, message.id, message.mouse), 0);
        EXPECT_FALSE(::IsWindowVisible(window.hwnd));
        EXPECT_EQ(ShellTrayIcons().size(), 1u);
    }

    // A double-click ends with a button-up, which counts like a single click's.
    ::SendMessageW(window.hwnd, WM_TRAY_NOTIFY, 1, WM_LBUTTONUP);
    EXPECT_TRUE(::IsWindowVisible(window.hwnd));
    EXPECT_TRUE(PumpUntil([] { return ShellTrayIcons().empty(); }));
}

namespace {

// How many icons the notification area showed when the setup window got WM_DESTROY.
HWND WatchedWindow = nullptr;
int IconsAtDestroy = -1;

LRESULT CALLBACK WatchDestroy(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->hwnd == WatchedWindow && message->message == WM_DESTROY) {
        IconsAtDestroy = static_cast<int>(ShellTrayIcons().size());
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

// Wine's shell drops the icons of a window that is destroyed; Windows' shell keeps them
// until the mouse passes over them. So the setup must remove its icon itself, before its
// window goes.
TEST(CommandsTray, IconGoesBeforeTheWindowWhenTheSetupEndsWhileHidden) {
    SetupWindow window;
    ASSERT_TRUE(window.hwnd);
    window.EnterInstallingPage();
    window.Command(IDC_HIDE);
    ASSERT_TRUE(PumpUntil([] { return ShellTrayIcons().size() == 1; }));

    WatchedWindow = window.hwnd;
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, &WatchDestroy, nullptr, ::GetCurrentThreadId());
    ASSERT_TRUE(hook);
    window.dlg.QuitSetup(SETUP_EXIT_CODE);  // what a fatal error box does after it was answered
    ::UnhookWindowsHookEx(hook);

    EXPECT_FALSE(::IsWindow(window.hwnd));
    EXPECT_EQ(TakeQuit(), SETUP_EXIT_CODE);
    EXPECT_EQ(IconsAtDestroy, 0) << "the icon was still there when the window went";
    EXPECT_TRUE(PumpUntil([] { return ShellTrayIcons().empty(); }));
}

// Closing the setup window on each page, the window coming back when the installation is
// done, and the reminder that ticking the agreement box hides.
#include <gtest/gtest.h>

#include "app/language.h"
#include "commands_support.h"
#include "ui/control_ids.h"

using namespace harness;
using namespace commands;

namespace {

void ExpectQuitQuestion(const BoxContent& box) {
    EXPECT_EQ(box.caption, L"Talvenor Setup");
    EXPECT_EQ(box.text, L"Are you sure you want to quit Talvenor Setup?");
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_FALSE(box.hasIcon) << "the quit question is MB_YESNO without an icon";
}

// The finished page, reached as the installer thread reaches it: WM_INSTALL_DONE posted.
bool FinishInstalling(SetupWindow& window) {
    ::PostMessageW(window.hwnd, WM_INSTALL_DONE, 0, 0);
    return PumpUntil([&] { return window.dlg.SetupPhase == PHASE_FINISHED; });
}

void ExpectFinishedPage(SetupWindow& window) {
    EXPECT_EQ(window.dlg.SetupPhase, PHASE_FINISHED);
    for (int id : {IDC_START_NOW, IDC_CLOSE, IDC_MINIMIZE}) EXPECT_TRUE(window.Shows(id)) << "control " << id;
    for (int id : {IDC_PROGRESS, IDC_HIDE, IDC_PERCENT, IDC_INSTALL}) EXPECT_FALSE(window.Shows(id)) << "control " << id;
    EXPECT_FALSE(::KillTimer(window.hwnd, SLIDE_TIMER_ID)) << "the slide show still runs";
}

}  // namespace

TEST(CommandsClose, WelcomeAndFinishedPagesAskBeforeQuitting) {
    for (const bool finished : {false, true}) {
        SCOPED_TRACE(finished ? "finished page" : "welcome page");
        SetupWindow window;
        ASSERT_TRUE(window.hwnd);
        if (finished) {
            window.EnterInstallingPage();
            ASSERT_TRUE(FinishInstalling(window));
            window.Settle();
        }

        // No: the question goes and nothing else happens.
        {
            BoxScript script(window.hwnd, {{IDNO}});
            ::SendMessageW(window.hwnd, WM_CLOSE, 0, 0);
            const auto boxes = script.Finish();
            ASSERT_EQ(boxes.size(), 1u) << "WM_CLOSE did not ask";
            ExpectQuitQuestion(boxes[0]);
        }
        Pump(50ms);
        EXPECT_TRUE(::IsWindowVisible(window.hwnd));
        EXPECT_EQ(TakeQuit(), -1) << "No must not end the setup";

        // Yes: through WM_CLOSE on the welcome page, through a real click on the close
        // cross on the finished page; either way the setup ends with 1000.
        BoxScript script(window.hwnd, {{IDYES}});
        if (finished) {
            ClickAt(window.CentreOf(IDC_CLOSE));
            PumpUntil([&] { return !::IsWindow(window.hwnd); });
        } else {
            ::SendMessageW(window.hwnd, WM_CLOSE, 0, 0);
        }
        const auto boxes = script.Finish();
        ASSERT_EQ(boxes.size(), 1u);
        ExpectQuitQuestion(boxes[0]);
        EXPECT_FALSE(::IsWindow(window.hwnd));
        EXPECT_EQ(TakeQuit(), SETUP_EXIT_CODE);
    }
}

TEST(CommandsClose, InstallingPageHidesWithoutAskingAndTheWindowReturnsWhenDone) {
    SetupWindow window;
    ASSERT_TRUE(window.hwnd);
    window.EnterInstallingPage();

    BoxScript script(window.hwnd, {{IDNO}});
    ::SendMessageW(window.hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(script.Finish().empty()) << "WM_CLOSE while installing must not ask";
    EXPECT_TRUE(::IsWindow(window.hwnd));
    EXPECT_FALSE(::IsWindowVisible(window.hwnd));
    EXPECT_EQ(TakeQuit(), -1);
    Pump(100ms);
    EXPECT_TRUE(ShellTrayIcons().empty()) << "hiding through WM_CLOSE adds no icon";

    ASSERT_TRUE(FinishInstalling(window));
    EXPECT_TRUE(::IsWindowVisible(window.hwnd)) << "the window must come back by itself";
    EXPECT_FALSE(::IsIconic(window.hwnd));
    ExpectFinishedPage(window);
    window.Settle();
    SaveScreenshot(window.hwnd, L"commands_finished_after_close");
}

TEST(CommandsClose, InstallDoneBringsTheWindowBackFromEveryVisibilityState) {
    enum class State { Shown, HiddenWithIcon, HiddenWithoutIcon, Minimised };
    const struct {
        State state;
        const char* name;
    } cases[] = {
        {State::Shown, "shown"},
        {State::HiddenWithIcon, "hidden with the icon"},
        {State::HiddenWithoutIcon, "hidden without the icon"},
        {State::Minimised, "minimised"},
    };
    SetupWindow window;  // one window, brought back to the installing page for each case
    ASSERT_TRUE(window.hwnd);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window.EnterInstallingPage();
        switch (c.state) {
        case State::Shown: break;
        case State::HiddenWithIcon:
            window.Command(IDC_HIDE);
            ASSERT_TRUE(PumpUntil([] { return ShellTrayIcons().size() == 1; })) << "no icon was added";
            break;
        case State::HiddenWithoutIcon: ::SendMessageW(window.hwnd, WM_CLOSE, 0, 0); break;
        case State::Minimised: window.Command(IDC_MINIMIZE); break;
        }
        EXPECT_EQ(::IsIconic(window.hwnd) != FALSE, c.state == State::Minimised);

        ASSERT_TRUE(FinishInstalling(window));
        EXPECT_TRUE(::IsWindowVisible(window.hwnd));
        EXPECT_EQ(::IsIconic(window.hwnd) != FALSE, c.state == State::Minimised) << "a minimised window stays so";
        EXPECT_TRUE(PumpUntil([] { return ShellTrayIcons().empty(); })) << "the icon must go";
        ExpectFinishedPage(window);
        if (c.state == State::Minimised) {
            ::ShowWindow(window.hwnd, SW_RESTORE);
            window.Settle();
            EXPECT_TRUE(window.Shows(IDC_START_NOW));
            EXPECT_EQ(ClientSize(window.hwnd).cy, WELCOME_HEIGHT);
            SaveScreenshot(window.hwnd, L"commands_finished_after_minimise");
        }
        EXPECT_EQ(TakeQuit(), -1);
    }
}

TEST(CommandsClose, MinimiseButtonMinimisesAndTheTaskbarRestores) {
    SetupWindow window;
    ASSERT_TRUE(window.hwnd);
    const RECT before = WindowRect(window.hwnd);
    ClickAt(window.CentreOf(IDC_MINIMIZE));
    ASSERT_TRUE(PumpUntil([&] { return ::IsIconic(window.hwnd) != FALSE; }));
    EXPECT_TRUE(::IsWindowVisible(window.hwnd));
    ::ShowWindow(window.hwnd, SW_RESTORE);  // what the taskbar does
    window.Settle();
    const RECT after = WindowRect(window.hwnd);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(ClientSize(window.hwnd).cy, WELCOME_HEIGHT);
}

TEST(CommandsAgreement, TickingHidesTheReminderAndUntickingLeavesItAlone) {
    SetupWindow window;
    ASSERT_TRUE(window.hwnd);
    HWND reminder = window.Item(IDC_AGREE_REMINDER);
    ASSERT_TRUE(reminder);
    ASSERT_EQ(window.dlg.AgreeBox.GetSelectState(), 0);

    ::ShowWindow(reminder, SW_SHOW);
    ClickAt(window.CentreOf(IDC_AGREE));
    ASSERT_TRUE(PumpUntil([&] { return window.dlg.AgreeBox.GetSelectState() == 1; })) << "the click did not tick";
    EXPECT_FALSE(window.Shows(IDC_AGREE_REMINDER)) << "ticking the box hides the reminder";

    ::ShowWindow(reminder, SW_SHOW);
    ClickAt(window.CentreOf(IDC_AGREE));
    ASSERT_TRUE(PumpUntil([&] { return window.dlg.AgreeBox.GetSelectState() == 0; })) << "the click did not untick";
    Pump(50ms);
    EXPECT_TRUE(window.Shows(IDC_AGREE_REMINDER)) << "unticking changes nothing else";
}

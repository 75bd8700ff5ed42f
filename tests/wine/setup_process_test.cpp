// The real setup.exe, started and closed the way a user does.
#include <gtest/gtest.h>

#include "harness.h"
#include "ui/control_ids.h"

using namespace harness;

namespace {

std::wstring SetupProgram() { return BinaryFolder() + L"\\setup.exe"; }

}  // namespace

TEST(SetupProcess, ArgumentsChangeNothingAndTheWindowIs750By360) {
    Process setup = Process::Start(SetupProgram(), L"/S --path=C:\\elsewhere \"quoted arg\" -x");
    HWND window = setup.FindMainWindow();
    ASSERT_TRUE(window) << "no setup window appeared";
    const SIZE client = ClientSize(window);
    EXPECT_EQ(client.cx, 750);
    EXPECT_EQ(client.cy, 360);
    const RECT outer = WindowRect(window);
    EXPECT_EQ(outer.right - outer.left, 750) << "the window has no frame";
    EXPECT_TRUE(::GetWindowLongW(window, GWL_STYLE) & WS_MINIMIZEBOX);
}

TEST(SetupProcess, QuitQuestionNoKeepsTheSetupAndYesEndsItWith1000) {
    Process setup = Process::Start(SetupProgram());
    HWND window = setup.FindMainWindow();
    ASSERT_TRUE(window);
    HWND closeButton = ::GetDlgItem(window, IDC_CLOSE);
    ASSERT_TRUE(closeButton);
    ::Sleep(500);  // the window has shown itself before the user reaches for it

    ::SetForegroundWindow(window);
    ClickAt(CentreOf(closeButton));
    HWND box = FindOwnedBox(window);
    ASSERT_TRUE(box) << "the quit question did not appear";
    const BoxContent question = ReadBox(box);
    EXPECT_EQ(question.caption, L"Talvenor Setup");
    EXPECT_EQ(question.text, L"Are you sure you want to quit Talvenor Setup?");
    EXPECT_EQ(question.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_FALSE(question.hasIcon);
    PressBoxButton(box, IDNO);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
    ::Sleep(300);
    EXPECT_TRUE(setup.Running());
    EXPECT_TRUE(::IsWindowVisible(window));

    ClickAt(CentreOf(closeButton));
    box = FindOwnedBox(window);
    ASSERT_TRUE(box) << "the quit question did not come again";
    PressBoxButton(box, IDYES);
    EXPECT_EQ(setup.Wait(), 1000u);
}

TEST(SetupProcess, ShowCommandOfTheStartIsApplied) {
    Process minimised = Process::Start(SetupProgram(), L"", SW_SHOWMINNOACTIVE);
    HWND window = minimised.FindMainWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(::IsIconic(window));
}

// The check that the product is not running before anything is installed: its notices,
// Retry and Cancel, and which process names count as the product.
#include <gtest/gtest.h>

#include "app/language.h"
#include "commands_support.h"
#include "ui/control_ids.h"

using namespace harness;
using namespace commands;

namespace {

const std::wstring kFirstNotice =
    L"Setup has detected that another Quorvane  Talvenor is currently running. Please close all instances of it now.";
const std::wstring kSecondNotice = L"Installation failed. Please try again.";

void ExpectNotice(const BoxContent& box, const std::wstring& text) {
    EXPECT_EQ(box.caption, L"Talvenor Setup");
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.buttons, (std::vector<int>{IDRETRY, IDCANCEL}));
    EXPECT_FALSE(box.hasIcon) << "the notices are MB_RETRYCANCEL without an icon";
}

// What the Install command hands to the guard.
bool RunGuard(SetupWindow& window) {
    return window.dlg.CheckProductNotRunning(LoadLangString(L"STR_PROCESS_NAME"));
}

}  // namespace

TEST(CommandsGuard, NoticesAlternateWhileTheProductRunsAndRetryPassesOnceItStopped) {
    Process product = StartRunningProduct(L"Talvenor.exe");
    ASSERT_TRUE(product.Running());
    SetupWindow window;
    ASSERT_TRUE(window.hwnd);

    BoxScript script(window.hwnd, {
        {IDRETRY},                                              // still running: the second notice
        {IDRETRY},                                              // still running: the first again
        {IDRETRY, false, [&] { product = Process(); }},         // the user closed the product
        {IDCANCEL},                                             // must not come
    });
    const bool passed = RunGuard(window);
    const auto boxes = script.Finish();

    EXPECT_TRUE(passed);
    ASSERT_EQ(boxes.size(), 3u) << "the guard must pass without another box once the product stopped";
    ExpectNotice(boxes[0], kFirstNotice);
    ExpectNotice(boxes[1], kSecondNotice);
    ExpectNotice(boxes[2], kFirstNotice);
    EXPECT_TRUE(::IsWindowVisible(window.hwnd));
    EXPECT_EQ(TakeQuit(), -1);

    // Nothing running: no box at all.
    BoxScript none(window.hwnd, {{IDCANCEL}});
    EXPECT_TRUE(RunGuard(window));
    EXPECT_TRUE(none.Finish().empty());
}

TEST(CommandsGuard, CancelOrEscapeOnEitherNoticeEndsTheSetup) {
    Process product = StartRunningProduct(L"Talvenor.exe");
    ASSERT_TRUE(product.Running());
    // Each notice has its own answer check; Cancel on the first notice is the real
    // setup's test below.
    const struct {
        const char* what;
        std::vector<BoxStep> steps;
    } cases[] = {
        {"Escape on the first notice", {{IDCANCEL, true}}},
        {"Cancel on the second notice", {{IDRETRY}, {IDCANCEL}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetupWindow window;
        ASSERT_TRUE(window.hwnd);
        BoxScript script(window.hwnd, c.steps);
        const bool passed = RunGuard(window);
        const auto boxes = script.Finish();

        EXPECT_FALSE(passed);
        EXPECT_FALSE(script.EscapeIgnored()) << "Escape did not close the notice";
        ASSERT_EQ(boxes.size(), c.steps.size());
        ExpectNotice(boxes.back(), boxes.size() == 1 ? kFirstNotice : kSecondNotice);
        EXPECT_FALSE(::IsWindow(window.hwnd)) << "the setup must end";
        EXPECT_EQ(TakeQuit(), SETUP_EXIT_CODE);
        EXPECT_TRUE(product.Running()) << "the guard never ends the product itself";
    }
}

TEST(CommandsGuard, OnlyTheCaseOfAToZIsIgnoredAndWholeNamesAreCompared) {
    SetupWindow window;
    ASSERT_TRUE(window.hwnd);
    const struct {
        const wchar_t* running;  // the file name of the running process
        const wchar_t* wanted;   // STR_PROCESS_NAME
        bool counts;
    } cases[] = {
        {L"Talvenor.exe", L"Talvenor.exe", true},
        {L"tALVENOR.EXE", L"Talvenor.exe", true},
        {L"T\u00e4LVENOR.EXE", L"T\u00e4lvenor.exe", true},    // ä on both sides, A-Z differ
        {L"T\u00c4lvenor.exe", L"T\u00e4lvenor.exe", false},   // Ä against ä
        {L"Talvenor.exe.exe", L"Talvenor.exe", false},         // only begins with the name
        {L"Talvenor2.exe", L"Talvenor.exe", false},
        {L"Talvenor", L"Talvenor.exe", false},                 // without the extension
        {L"Talvenor.exe", L"Talvenor", false},                 // the name lacks it
        {L"Talvenor.exe", L"", false},                         // an empty name matches nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "running " << testing::PrintToString(std::wstring(c.running))
                                        << ", looking for " << testing::PrintToString(std::wstring(c.wanted)));
        Process product = StartRunningProduct(c.running);
        ASSERT_TRUE(product.Running());
        ASSERT_EQ(ListedName(product.Id()), c.running);
        TestLanguage language(std::map<std::wstring, std::wstring>{{L"STR_PROCESS_NAME", c.wanted}});
        ASSERT_EQ(LoadLangString(L"STR_PROCESS_NAME"), c.wanted);

        // Should the guard see the product, the user closes it and presses Retry.
        BoxScript script(window.hwnd, {{IDRETRY, false, [&] { product = Process(); }}});
        EXPECT_TRUE(RunGuard(window));
        EXPECT_EQ(script.Finish().size(), c.counts ? 1u : 0u) << (c.counts ? "the product was missed" : "a box came");
    }
}

// The real setup.exe, driven with the mouse: agree, Install, Cancel on the notice.
TEST(CommandsGuard, CancelEndsTheRealSetupWithExitCode1000) {
    Process product = StartRunningProduct(L"Talvenor.exe");
    ASSERT_TRUE(product.Running());
    Process setup = Process::Start(BinaryFolder() + L"\\setup.exe");
    HWND window = setup.FindMainWindow();
    ASSERT_TRUE(window);
    ::SetForegroundWindow(window);

    const auto centre = [&](int id) {
        const RECT rect = WindowRect(::GetDlgItem(window, id));
        return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    };
    ClickAt(centre(IDC_AGREE));
    ClickAt(centre(IDC_INSTALL));
    HWND box = FindOwnedBox(window);
    ASSERT_TRUE(box) << "no notice appeared";
    Sleep(50);
    ExpectNotice(ReadBox(box), kFirstNotice);
    PressBoxButton(box, IDCANCEL);
    EXPECT_EQ(setup.Wait(), 1000u);
    EXPECT_TRUE(product.Running());
}

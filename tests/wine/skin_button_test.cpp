// The skinned buttons driven by the real mouse, their faces read back from the screen:
// the image button and the two-state button.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "controls/owner_draw_button.h"
#include "controls/select_state_button.h"
#include "skin_support.h"
#include "winlib/app_module.h"
#include "winlib/dialog_impl.h"

using namespace harness;
using namespace skin;
using namespace std::chrono_literals;

namespace {

struct Command {
    int id;
    int code;
    HWND from;
    int stateSeen;  // the two-state button's state while the handler ran, or -1
    bool operator==(const Command&) const = default;
};

bool IsButton(HWND window) {
    wchar_t name[16] = {};
    return window && ::GetClassNameW(window, name, 16) && ::lstrcmpiW(name, L"Button") == 0;
}

// The setup window's template with a message map that only records the buttons' commands.
// Like the setup window, it and its controls stay until the process ends (KeptToTheEnd).
class Bench : public winlib::CDialogImplBase {
public:
    std::vector<Command> commands;
    std::function<int(int id)> stateOf = [](int) { return -1; };

    bool ProcessWindowMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (msg == WM_INITDIALOG) return Answer(result, TRUE);
        if (msg == WM_COMMAND && IsButton(reinterpret_cast<HWND>(lParam))) {
            commands.push_back({LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam), stateOf(LOWORD(wParam))});
            return Answer(result, 0);
        }
        return false;
    }

    bool Open() {
        MouseAway();
        if (!Create(winlib::AppModule.GetResourceInstance(), IDD_SETUP, nullptr)) return false;
        ::SetWindowPos(Handle(), nullptr, 0, 0, 750, 434, SWP_NOMOVE | SWP_NOZORDER);
        for (HWND child = ::GetWindow(Handle(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            ::ShowWindow(child, SW_HIDE);
        }
        return true;
    }

    // Gives a control its images, attaches it, places it and shows it.
    template <class Button>
    void Add(Button& button, int id, const std::vector<int>& imageIds, RECT place) {
        ImageList images;
        for (int image : imageIds) images.push_back(TestImage(image));
        button.SetImages(Handle(), images);
        ASSERT_TRUE(button.SubclassWindow(::GetDlgItem(Handle(), id)));
        ::SetWindowPos(button, nullptr, place.left, place.top, place.right, place.bottom, SWP_NOZORDER);
        ::ShowWindow(button, SW_SHOW);
    }

    void Show() {
        ::ShowWindow(Handle(), SW_SHOWNORMAL);
        ::SetForegroundWindow(Handle());
        ::UpdateWindow(Handle());
        Pump(150ms);
    }

    RECT Place(HWND control) const {
        RECT rect{};
        ::GetWindowRect(control, &rect);
        ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    POINT Centre(HWND control) const {
        const RECT rect = Place(control);
        return ClientToScreenPoint(Handle(), (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    }
    // A point of the bench that no control covers.
    POINT Empty() const { return ClientToScreenPoint(Handle(), 600, 200); }

    // The face a control shows on the screen now, against one of `images` over the
    // dialog's face colour.
    int Mismatches(HWND control, Gdiplus::Image* image) {
        Pump(30ms);
        return FaceMismatches(CaptureClient(Handle()), Place(control), image, ::GetSysColor(COLOR_BTNFACE));
    }
    bool ShowsNothing(HWND control) {
        Pump(30ms);
        return CountOther(CaptureClient(Handle()), Place(control), ::GetSysColor(COLOR_BTNFACE)) == 0;
    }

};

bool ShowsHandCursor(HWND control) {
    const LRESULT answer =
        ::SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return answer == 1 && ::GetCursor() == ::LoadCursorW(nullptr, IDC_HAND);
}

}  // namespace

TEST(SkinButtons, ImageButtonFollowsTheRealMouse) {
    Bench& bench = KeptToTheEnd<Bench>();
    ASSERT_TRUE(bench.Open());
    auto& first = KeptToTheEnd<COwnerDrawButton>();
    auto& second = KeptToTheEnd<COwnerDrawButton>();
    auto& twoImages = KeptToTheEnd<COwnerDrawButton>();
    bench.Add(first, IDC_INSTALL, {333, 343, 323}, RECT{40, 60, 168, 46});
    bench.Add(second, IDC_START_NOW, {403, 413, 393}, RECT{260, 60, 168, 46});
    bench.Add(twoImages, IDC_BROWSE, {263, 273}, RECT{40, 200, 90, 32});
    bench.Show();
    Gdiplus::Image* normal = first.Images()[0];
    Gdiplus::Image* hover = first.Images()[1];
    Gdiplus::Image* pressed = first.Images()[2];

    // Normal, hover, pressed, the click on release, and back to normal once the cursor left.
    EXPECT_EQ(first.GetState(), COwnerDrawButton::STATE_NORMAL);
    EXPECT_EQ(bench.Mismatches(first, normal), 0) << "normal";
    MoveMouseTo(bench.Centre(first));
    ASSERT_TRUE(PumpUntil([&] { return first.GetState() == COwnerDrawButton::STATE_HOVER; }, 1s));
    EXPECT_EQ(bench.Mismatches(first, hover), 0) << "hover";
    MouseDown(bench.Centre(first));
    ASSERT_TRUE(PumpUntil([&] { return first.GetState() == COwnerDrawButton::STATE_PRESSED; }, 1s));
    EXPECT_EQ(bench.Mismatches(first, pressed), 0) << "pressed";
    EXPECT_TRUE(bench.commands.empty()) << "the press alone sends nothing";
    MoveMouseTo(POINT{bench.Centre(first).x + 20, bench.Centre(first).y + 5});
    Pump(60ms);
    EXPECT_EQ(first.GetState(), COwnerDrawButton::STATE_PRESSED) << "moving over a pressed button changes nothing";
    EXPECT_EQ(bench.Mismatches(first, pressed), 0);
    MouseUp(bench.Centre(first));
    ASSERT_TRUE(PumpUntil([&] { return !bench.commands.empty(); }, 1s));
    EXPECT_EQ(bench.commands, (std::vector<Command>{{IDC_INSTALL, BN_CLICKED, first, -1}}));
    EXPECT_EQ(first.GetState(), COwnerDrawButton::STATE_HOVER);
    EXPECT_EQ(bench.Mismatches(first, hover), 0) << "hover after the click";
    EXPECT_TRUE(ShowsHandCursor(first));
    MoveMouseTo(bench.Empty());
    ASSERT_TRUE(PumpUntil([&] { return first.GetState() == COwnerDrawButton::STATE_NORMAL; }, 200ms))
        << "the polling timer finds the cursor gone";
    EXPECT_EQ(bench.Mismatches(first, normal), 0) << "normal again";
    EXPECT_FALSE(::KillTimer(first, COwnerDrawButton::HOVER_TIMER_ID)) << "the timer stopped with it";

    // Press, move off, release elsewhere: no click, and the face is normal within a
    // period of the 20 ms timer once the cursor is off.
    bench.commands.clear();
    MoveMouseTo(bench.Centre(first));
    ASSERT_TRUE(PumpUntil([&] { return first.GetState() == COwnerDrawButton::STATE_HOVER; }, 1s));
    MouseDown(bench.Centre(first));
    ASSERT_TRUE(PumpUntil([&] { return first.GetState() == COwnerDrawButton::STATE_PRESSED; }, 1s));
    MoveMouseTo(bench.Empty());
    const auto left = std::chrono::steady_clock::now();
    ASSERT_TRUE(PumpUntil([&] { return first.GetState() == COwnerDrawButton::STATE_NORMAL; }, 1s));
    const auto took = std::chrono::steady_clock::now() - left;
    EXPECT_LE(took, 60ms) << "one 20 ms period, with room for a busy machine";
    EXPECT_EQ(bench.Mismatches(first, normal), 0) << "normal while the button is still held elsewhere";
    MouseUp(bench.Empty());
    Pump(100ms);
    EXPECT_TRUE(bench.commands.empty()) << "a release elsewhere is no click";
    EXPECT_EQ(first.GetState(), COwnerDrawButton::STATE_NORMAL);

    // Press on one button, release on the other: the second one clicks, the first goes back.
    MoveMouseTo(bench.Centre(first));
    ASSERT_TRUE(PumpUntil([&] { return first.GetState() == COwnerDrawButton::STATE_HOVER; }, 1s));
    MouseDown(bench.Centre(first));
    ASSERT_TRUE(PumpUntil([&] { return first.GetState() == COwnerDrawButton::STATE_PRESSED; }, 1s));
    MoveMouseTo(bench.Centre(second));
    ASSERT_TRUE(PumpUntil([&] { return second.GetState() == COwnerDrawButton::STATE_HOVER; }, 1s));
    MouseUp(bench.Centre(second));
    ASSERT_TRUE(PumpUntil([&] { return !bench.commands.empty(); }, 1s));
    ASSERT_TRUE(PumpUntil([&] { return first.GetState() == COwnerDrawButton::STATE_NORMAL; }, 1s));
    Pump(50ms);
    EXPECT_EQ(bench.commands, (std::vector<Command>{{IDC_START_NOW, BN_CLICKED, second, -1}}));
    EXPECT_EQ(bench.Mismatches(first, normal), 0);
    EXPECT_EQ(bench.Mismatches(second, second.Images()[1]), 0) << "the second one hovers";

    // A list of two images: hover shows the second, a press shows nothing at all.
    bench.commands.clear();
    MoveMouseTo(bench.Centre(twoImages));
    ASSERT_TRUE(PumpUntil([&] { return twoImages.GetState() == COwnerDrawButton::STATE_HOVER; }, 1s));
    EXPECT_EQ(bench.Mismatches(twoImages, twoImages.Images()[1]), 0);
    MouseDown(bench.Centre(twoImages));
    ASSERT_TRUE(PumpUntil([&] { return twoImages.GetState() == COwnerDrawButton::STATE_PRESSED; }, 1s));
    EXPECT_TRUE(bench.ShowsNothing(twoImages)) << "no image for the pressed state";
    MouseUp(bench.Centre(twoImages));
    ASSERT_TRUE(PumpUntil([&] { return !bench.commands.empty(); }, 1s));
    EXPECT_EQ(bench.commands, (std::vector<Command>{{IDC_BROWSE, BN_CLICKED, twoImages, -1}}));
    EXPECT_EQ(bench.Mismatches(twoImages, twoImages.Images()[1]), 0);

    // A quick double click is two clicks, and nothing else reaches the parent.
    bench.commands.clear();
    ClickAt(bench.Centre(second));
    ClickAt(bench.Centre(second));
    ASSERT_TRUE(PumpUntil([&] { return bench.commands.size() >= 2; }, 1s));
    Pump(100ms);
    EXPECT_EQ(bench.commands, (std::vector<Command>{{IDC_START_NOW, BN_CLICKED, second, -1},
                                                   {IDC_START_NOW, BN_CLICKED, second, -1}}));
}

TEST(SkinButtons, TwoStateButtonFlipsOncePerPress) {
    Bench& bench = KeptToTheEnd<Bench>();
    ASSERT_TRUE(bench.Open());
    auto& box = KeptToTheEnd<CSelectStateButton>();
    auto& link = KeptToTheEnd<CSelectStateButton>();
    bench.Add(box, IDC_AGREE, {215, 202}, RECT{40, 60, 11, 11});
    bench.Add(link, IDC_LICENCE, {383, 383}, RECT{40, 120, 390, 15});
    bench.stateOf = [&](int id) {
        return id == IDC_AGREE ? box.GetSelectState() : id == IDC_LICENCE ? link.GetSelectState() : -1;
    };
    bench.Show();
    Gdiplus::Image* empty = box.Images()[0];
    Gdiplus::Image* ticked = box.Images()[1];
    EXPECT_EQ(box.GetSelectState(), 0);
    EXPECT_EQ(bench.Mismatches(box, empty), 0);
    EXPECT_TRUE(ShowsHandCursor(box));

    // Each click flips once and sends one notification whose handler sees the new state.
    // (Clicks land on different pixels so that none counts as a double click.)
    const POINT corner = ClientToScreenPoint(bench, 41, 61);
    const POINT opposite = ClientToScreenPoint(bench, 49, 69);
    ClickAt(corner);
    ASSERT_TRUE(PumpUntil([&] { return bench.commands.size() == 1; }, 1s));
    Pump(60ms);
    EXPECT_EQ(bench.commands, (std::vector<Command>{{IDC_AGREE, BN_CLICKED, box, 1}}));
    EXPECT_EQ(box.GetSelectState(), 1);
    EXPECT_EQ(bench.Mismatches(box, ticked), 0) << "ticked";
    ClickAt(opposite);
    ASSERT_TRUE(PumpUntil([&] { return bench.commands.size() == 2; }, 1s));
    Pump(60ms);
    EXPECT_EQ(bench.commands.size(), 2u);
    EXPECT_EQ(bench.commands.back(), (Command{IDC_AGREE, BN_CLICKED, box, 0}));
    EXPECT_EQ(box.GetSelectState(), 0);
    EXPECT_EQ(bench.Mismatches(box, empty), 0) << "empty again";

    // Moves over it and releases on it change nothing and send nothing.
    MoveMouseTo(corner);
    Pump(30ms);
    MoveMouseTo(opposite);
    ::PostMessageW(box, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    ::PostMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    Pump(100ms);
    EXPECT_EQ(bench.commands.size(), 2u);
    EXPECT_EQ(box.GetSelectState(), 0);
    EXPECT_EQ(bench.Mismatches(box, empty), 0);
    EXPECT_FALSE(::KillTimer(box, COwnerDrawButton::HOVER_TIMER_ID)) << "no timer of its own";

    // The press is what counts: flipped and notified before the release, wherever that is.
    MouseDown(corner);
    ASSERT_TRUE(PumpUntil([&] { return bench.commands.size() == 3; }, 1s));
    EXPECT_EQ(bench.commands.back(), (Command{IDC_AGREE, BN_CLICKED, box, 1}));
    MoveMouseTo(bench.Empty());
    Pump(30ms);
    MouseUp(bench.Empty());
    Pump(100ms);
    EXPECT_EQ(bench.commands.size(), 3u);
    EXPECT_EQ(box.GetSelectState(), 1);
    EXPECT_EQ(bench.Mismatches(box, ticked), 0);

    // The licence text flips too, with no visible change: both states show the same picture.
    bench.commands.clear();
    EXPECT_EQ(bench.Mismatches(link, link.Images()[0]), 0);
    ClickAt(bench.Centre(link));
    ASSERT_TRUE(PumpUntil([&] { return bench.commands.size() == 1; }, 1s));
    Pump(60ms);
    EXPECT_EQ(bench.commands, (std::vector<Command>{{IDC_LICENCE, BN_CLICKED, link, 1}}));
    EXPECT_EQ(bench.Mismatches(link, link.Images()[0]), 0);

    // The standard procedure repaints without erasing when the cursor rests on the control
    // and when it leaves; the face stays as it was, its soft edges not blended twice.
    MoveMouseTo(bench.Centre(link));
    Pump(600ms);
    MoveMouseTo(bench.Empty());
    Pump(100ms);
    EXPECT_EQ(bench.Mismatches(link, link.Images()[0]), 0);

    // A quick double click on the box flips it twice, like two clicks.
    bench.commands.clear();
    ClickAt(corner);
    ClickAt(corner);
    ASSERT_TRUE(PumpUntil([&] { return bench.commands.size() >= 2; }, 1s));
    Pump(100ms);
    EXPECT_EQ(bench.commands, (std::vector<Command>{{IDC_AGREE, BN_CLICKED, box, 0}, {IDC_AGREE, BN_CLICKED, box, 1}}));
    EXPECT_EQ(bench.Mismatches(box, ticked), 0);
}

// The window's own painting read back from the screen: the welcome page at
// both heights, the installing page with its progress bar, the finished
// page, the colours of the static texts, the hit test and dragging by the surface.
#include <gtest/gtest.h>

#include <thread>

#include "skin_support.h"

using namespace harness;
using namespace skin;

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kLine = RGB(224, 224, 224);
const COLORREF kFrame = RGB(204, 204, 204);
const COLORREF kTrack = RGB(197, 219, 255);
const COLORREF kFill = RGB(64, 136, 255);

// The 1-pixel grey frame along the outermost pixels of a client area of this size.
void ExpectFrame(const Pixels& shot, int width, int height) {
    ASSERT_EQ(shot.width, width);
    ASSERT_EQ(shot.height, height);
    EXPECT_EQ(CountOther(shot, RECT{0, 0, width, 1}, kFrame), 0) << "top edge";
    EXPECT_EQ(CountOther(shot, RECT{0, height - 1, width, height}, kFrame), 0) << "bottom edge";
    EXPECT_EQ(CountOther(shot, RECT{0, 0, 1, height}, kFrame), 0) << "left edge";
    EXPECT_EQ(CountOther(shot, RECT{width - 1, 0, width, height}, kFrame), 0) << "right edge";
}

// Both logos, the small one scaled into 40, 20, 150 x 30, the large one at its own size.
void ExpectLogos(const Pixels& shot, CMainDlg& dlg) {
    EXPECT_EQ(FaceMismatches(shot, RECT{257, 60, 517, 215}, dlg.LargeLogo.get(), kWhite), 0) << "large logo";
    EXPECT_GT(CountOther(shot, RECT{40, 20, 190, 50}, kWhite), 500) << "small logo";
    EXPECT_EQ(CountOther(shot, RECT{1, 1, 40, 55}, kWhite), 0) << "nothing left of the small logo";
}

// Where the hit test of the window says a screen point lies.
LRESULT HitTest(HWND window, POINT screen) {
    return ::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
}

void ExpectHitTests(HWND window) {
    const SIZE size = ClientSize(window);
    EXPECT_EQ(HitTest(window, ClientToScreenPoint(window, 0, 0)), HTCAPTION);
    EXPECT_EQ(HitTest(window, ClientToScreenPoint(window, 100, 300)), HTCAPTION);
    EXPECT_EQ(HitTest(window, ClientToScreenPoint(window, size.cx - 1, size.cy - 1)), HTCAPTION);
    EXPECT_EQ(HitTest(window, ClientToScreenPoint(window, size.cx, size.cy / 2)), HTNOWHERE);
    EXPECT_EQ(HitTest(window, ClientToScreenPoint(window, 10, size.cy)), HTNOWHERE);
    EXPECT_EQ(HitTest(window, ClientToScreenPoint(window, -1, 10)), HTNOWHERE);
    EXPECT_EQ(HitTest(window, ClientToScreenPoint(window, -200, -200)), HTNOWHERE);
}

// Pixels in a row of the progress bar (at its vertical middle) with the fill colour;
// every other pixel of the bar's row must be the track.
int FilledPixels(SetupWindow& window) {
    const Pixels shot = window.Capture();
    const RECT bar = window.ChildRect(IDC_PROGRESS);
    const int y = (bar.top + bar.bottom) / 2;
    int filled = 0;
    for (int x = bar.left; x < bar.right; ++x) {
        const COLORREF seen = shot.at(x, y);
        if (seen == kFill) {
            EXPECT_EQ(filled, x - bar.left) << "the fill is one run from the left edge";
            ++filled;
        } else {
            EXPECT_EQ(seen, kTrack) << "at x " << x << ": " << Describe(seen);
        }
    }
    // The rounded region cuts the corners; the rest of the bar's edges are painted.
    EXPECT_NE(shot.at(bar.left, bar.top), kFill);
    EXPECT_NE(shot.at(bar.left, bar.top), kTrack);
    const COLORREF lastColumn = shot.at(bar.right - 1, y);
    EXPECT_TRUE(lastColumn == kFill || lastColumn == kTrack) << "the whole 540 pixels are the bar's";
    const COLORREF bottomRow = shot.at(bar.left + 20, bar.bottom - 1);
    EXPECT_TRUE(bottomRow == kFill || bottomRow == kTrack) << "the whole 15 rows are the bar's";
    return filled;
}

}  // namespace

TEST(SkinPainting, WelcomeAndFinishedPagesAndDraggingTheWindow) {
    SetupWindow window;
    ASSERT_TRUE(window.Created());
    CMainDlg& dlg = window.dlg;

    // Welcome, 360 high: white, the line at 312, the frame's bottom edge at 359.
    Pixels shot = window.Capture();
    ExpectFrame(shot, 750, 360);
    EXPECT_EQ(CountOther(shot, RECT{1, 312, 749, 313}, kLine), 0) << "line at 312";
    EXPECT_EQ(CountOther(shot, RECT{1, 55, 250, 312}, kWhite), 0);
    EXPECT_EQ(CountOther(shot, RECT{520, 45, 749, 312}, kWhite), 0);
    EXPECT_EQ(CountOther(shot, RECT{1, 313, 749, 329}, kWhite), 0);
    EXPECT_EQ(CountOther(shot, RECT{1, 345, 749, 359}, kWhite), 0);
    ExpectLogos(shot, dlg);
    ExpectHitTests(window.hwnd);

    // The agreement reminder is red on the page; the window's answers for the statics.
    ::ShowWindow(window.Item(IDC_AGREE_REMINDER), SW_SHOW);
    shot = window.Capture();
    int red = 0;
    for (int y = 344; y < 359; ++y) {
        for (int x = 20; x < 370; ++x) {
            const COLORREF seen = shot.at(x, y);
            if (GetRValue(seen) > 200 && GetGValue(seen) < 80 && GetBValue(seen) < 80) ++red;
            else EXPECT_TRUE(seen == kWhite || GetRValue(seen) > GetGValue(seen)) << Describe(seen);
        }
    }
    EXPECT_GT(red, 50);
    ::ShowWindow(window.Item(IDC_AGREE_REMINDER), SW_HIDE);
    HDC dc = ::CreateCompatibleDC(nullptr);
    EXPECT_EQ(dlg.OnCtlColorStatic(dc, window.Item(IDC_AGREE_REMINDER)),
              reinterpret_cast<LRESULT>(::GetCurrentObject(dc, OBJ_BRUSH)));
    EXPECT_EQ(::GetTextColor(dc), RGB(255, 0, 0));
    EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);
    EXPECT_EQ(dlg.OnCtlColorStatic(dc, window.Item(IDC_PERCENT)),
              reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(dlg.OnCtlColorStatic(dc, window.Item(IDC_PATH_LABEL)), 0);
    ::DeleteDC(dc);

    // Welcome, 434 high: the lines at 312 and 359, the band below in the dialog face
    // colour with the path box in its frame, and the frame around all 750 x 434.
    window.PressCustomizeToggle();
    shot = window.Capture();
    ExpectFrame(shot, 750, 434);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(CountOther(shot, RECT{1, 312, 749, 313}, kLine), 0) << "line at 312";
    EXPECT_EQ(CountOther(shot, RECT{1, 359, 749, 360}, kLine), 0) << "line at 359";
    EXPECT_EQ(CountOther(shot, RECT{1, 345, 749, 359}, kWhite), 0);
    EXPECT_EQ(CountOther(shot, RECT{1, 360, 749, 381}, face), 0) << "band above the path box";
    EXPECT_EQ(CountOther(shot, RECT{1, 414, 749, 433}, face), 0) << "band below the path box";
    EXPECT_EQ(CountOther(shot, RECT{1, 360, 42, 433}, face), 0) << "band left of the label";
    EXPECT_EQ(CountOther(shot, RECT{672, 360, 749, 433}, face), 0) << "band right of Browse";
    // The frame's rounded ends are drawn at the image's own size, only the middle stretches.
    const Argb frame = Decode(dlg.PathFrame.get());
    ASSERT_EQ(frame.width, 323);
    int cornerMismatches = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < 6; ++x) {
            if (!Near(shot.at(146 + x, 381 + y), Blend(frame.at(x, y), face), 3)) ++cornerMismatches;
            if (!Near(shot.at(568 + x, 381 + y), Blend(frame.at(317 + x, y), face), 3)) ++cornerMismatches;
        }
    }
    EXPECT_EQ(cornerMismatches, 0);
    EXPECT_EQ(CountOther(shot, window.ChildRect(IDC_PATH), kWhite, 0) > 0, true) << "the path text shows";
    ExpectHitTests(window.hwnd);

    // Closing the panel cuts the band off again. (The bottom edge of the frame at 359 is
    // not checked here: a window that shrinks gets no paint, and repainting it belongs to
    // the resize of the customise toggle.)
    window.PressCustomizeToggle();
    shot = window.Capture();
    ASSERT_EQ(shot.height, 360);
    EXPECT_EQ(CountOther(shot, RECT{0, 0, 1, 360}, kFrame), 0) << "left edge";
    EXPECT_EQ(CountOther(shot, RECT{749, 0, 750, 360}, kFrame), 0) << "right edge";

    // Finished page: white, both logos, the frame, no lines.
    window.PrepareInstallingPage();
    window.FinishInstall();
    EXPECT_EQ(dlg.SetupPhase, PHASE_FINISHED);
    shot = window.Capture();
    ExpectFrame(shot, 750, 360);
    EXPECT_EQ(CountOther(shot, RECT{1, 282, 749, 359}, kWhite), 0) << "no lines, nothing below Start Now";
    EXPECT_EQ(CountOther(shot, RECT{1, 55, 250, 282}, kWhite), 0);
    ExpectLogos(shot, dlg);
    EXPECT_TRUE(::IsWindowVisible(window.Item(IDC_START_NOW)));
    EXPECT_FALSE(::IsWindowVisible(window.Item(IDC_INSTALL)));
    ExpectHitTests(window.hwnd);

    // Dragging the surface with the left button moves the window.
    const RECT before = WindowRect(window.hwnd);
    const POINT grip = ClientToScreenPoint(window.hwnd, 120, 290);  // white page, no control
    MoveMouseTo(grip);
    Pump(std::chrono::milliseconds(50));
    // The press starts the platform's move loop on this thread, so another hand moves.
    std::thread hand([grip] {
        MouseDown(grip);
        for (int step = 1; step <= 4; ++step) {
            ::Sleep(40);
            MoveMouseTo(POINT{grip.x + 10 * step, grip.y + 5 * step});
        }
        ::Sleep(40);
        MouseUp(POINT{grip.x + 40, grip.y + 20});
    });
    Pump(std::chrono::milliseconds(400));
    hand.join();
    PumpUntil([&] { return WindowRect(window.hwnd).left != before.left; }, std::chrono::milliseconds(1000));
    Pump(std::chrono::milliseconds(100));
    const RECT after = WindowRect(window.hwnd);
    EXPECT_EQ(after.left - before.left, 40);
    EXPECT_EQ(after.top - before.top, 20);
    MouseAway();
}

TEST(SkinPainting, InstallingPageAndProgressBar) {
    SetupWindow window;
    ASSERT_TRUE(window.Created());
    CMainDlg& dlg = window.dlg;
    window.PrepareInstallingPage();

    // The slide over the upper 290 pixels, white below, the frame.
    Pixels shot = window.Capture();
    ExpectFrame(shot, 750, 360);
    EXPECT_EQ(CountOther(shot, RECT{1, 290, 749, 317}, kWhite), 0) << "white under the slide";
    EXPECT_EQ(CountOther(shot, RECT{1, 336, 645, 359}, kWhite), 0);
    EXPECT_EQ(CountOther(shot, RECT{1, 317, 48, 359}, kWhite), 0);
    EXPECT_GT(CountOther(shot, RECT{1, 1, 749, 290}, kWhite), 100000) << "the slide covers the top";
    Surface slide(750, 290, kWhite);
    DrawSkinImage(slide.dc(), dlg.CurrentSlide, 0, 0, 750, 290);
    const Pixels expected = slide.Read();
    int differing = 0;
    for (int y = 1; y < 290; ++y) {
        for (int x = 1; x < 749; ++x) {
            if (!Near(shot.at(x, y), expected.at(x, y), 3)) ++differing;
        }
    }
    EXPECT_LT(differing, 750 * 290 / 100) << "the current slide, stretched to 750 x 290";
    ExpectHitTests(window.hwnd);

    // The percentage is drawn on white.
    const RECT percent = window.ChildRect(IDC_PERCENT);
    EXPECT_EQ(shot.at(percent.right - 1, percent.bottom - 1), kWhite);

    // The progress bar: the track alone at 0, then 5.4 pixels per percent, truncated.
    EXPECT_EQ(FilledPixels(window), 0);
    dlg.OnDownProgress(1, 0);
    EXPECT_EQ(FilledPixels(window), 5);
    dlg.OnDownProgress(50, 0);
    EXPECT_EQ(FilledPixels(window), 270);
    dlg.OnDownProgress(100, 0);
    EXPECT_EQ(FilledPixels(window), 540);
    shot = window.Capture();
    EXPECT_EQ(CountOther(shot, RECT{49, 321, 587, 334}, kFill), 0) << "the whole bar is filled";

    // A position set while the bar is hidden is drawn when it shows again.
    ::ShowWindow(window.Item(IDC_PROGRESS), SW_HIDE);
    ::SendMessageW(window.Item(IDC_PROGRESS), PBM_SETPOS, 30, 0);
    ::ShowWindow(window.Item(IDC_PROGRESS), SW_SHOW);
    EXPECT_EQ(FilledPixels(window), 162);
}

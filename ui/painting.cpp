// The window's surface for each page, the slide show, dragging, and two static colours.
#include <algorithm>

#include "ui/main_dlg.h"

namespace {

const Gdiplus::Color kWhite(0xFF, 0xFF, 0xFF, 0xFF);
const Gdiplus::Color kLineGrey(0xFF, 0xE0, 0xE0, 0xE0);
const Gdiplus::Color kFrameGrey(0xFF, 0xCC, 0xCC, 0xCC);
constexpr COLORREF kReminderRed = RGB(255, 0, 0);
constexpr int kSlideHeight = 290;

// The client height of the latest paint. A window that grows gets a paint for its new part
// only, so a change of height since the last paint repaints the whole window.
int paintedHeight = 0;

// The rounded frame around the path box (150, 388, 420 x 22): as tall as the Browse button
// beside it and level with it (381 to 413), 4 pixels wider than the box on either side.
// The edit box draws its text at its top, so the text sits near the frame's middle.
constexpr int kPathFrameX = 146, kPathFrameY = 381, kPathFrameWidth = 428;
// Columns of image 207 at each end (its rounded corners) that are drawn unscaled.
constexpr int kPathFrameCorner = 6;

void DrawImage(Gdiplus::Graphics& graphics, Gdiplus::Image* image, int x, int y, int width, int height) {
    if (image) graphics.DrawImage(image, x, y, width, height);
}

// Draws the path frame at its own height and 428 pixels wide: the rounded ends unscaled,
// only the straight middle stretched, so the corners stay round and crisp.
void DrawPathFrame(Gdiplus::Graphics& graphics, Gdiplus::Image* frame) {
    if (!frame) return;
    const int width = static_cast<int>(frame->GetWidth());
    const int height = static_cast<int>(frame->GetHeight());
    const int corner = kPathFrameCorner;
    if (width <= 2 * corner) return;
    auto part = [&](int destX, int destWidth, int sourceX, int sourceWidth) {
        graphics.DrawImage(frame, Gdiplus::Rect(destX, kPathFrameY, destWidth, height), sourceX, 0, sourceWidth,
                           height, Gdiplus::UnitPixel);
    };
    part(kPathFrameX, corner, 0, corner);
    part(kPathFrameX + corner, kPathFrameWidth - 2 * corner, corner, width - 2 * corner);
    part(kPathFrameX + kPathFrameWidth - corner, corner, width - corner, corner);
}

}  // namespace

LRESULT CMainDlg::OnPaint() {
    RECT client{};
    ::GetClientRect(Handle(), &client);
    if (client.bottom != paintedHeight) {
        // Grown or shrunk since the last paint: repaint all of it, the controls included,
        // so that the frame and the line at 359 follow the new height.
        paintedHeight = client.bottom;
        ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(Handle(), &paint);
    {
        Gdiplus::Graphics graphics(dc);
        Gdiplus::SolidBrush white(kWhite);
        auto drawLogos = [&] {
            DrawImage(graphics, SmallLogo.get(), 40, 20, 150, 30);
            DrawImage(graphics, LargeLogo.get(), 257, 60, 260, 155);
        };
        switch (SetupPhase) {
        case PHASE_WELCOME: {
            graphics.FillRectangle(&white, 0, 0, WINDOW_WIDTH, WELCOME_HEIGHT);
            Gdiplus::SolidBrush grey(kLineGrey);
            graphics.FillRectangle(&grey, 0, 312, WINDOW_WIDTH, 1);
            graphics.FillRectangle(&grey, 0, 359, WINDOW_WIDTH, 1);
            drawLogos();
            if (client.bottom > WELCOME_HEIGHT) DrawPathFrame(graphics, PathFrame.get());
            break;
        }
        case PHASE_INSTALLING:
            DrawImage(graphics, CurrentSlide, 0, 0, WINDOW_WIDTH, kSlideHeight);
            graphics.FillRectangle(&white, static_cast<INT>(client.left), kSlideHeight,
                                   static_cast<INT>(client.right), static_cast<INT>(client.bottom));
            break;
        case PHASE_FINISHED:
            graphics.FillRectangle(&white, 0, 0, WINDOW_WIDTH, WELCOME_HEIGHT);
            drawLogos();
            break;
        }
        Gdiplus::Pen frame(kFrameGrey, 1.0f);
        graphics.DrawRectangle(&frame, 0, 0, static_cast<INT>(client.right - 1), static_cast<INT>(client.bottom - 1));
    }
    ::EndPaint(Handle(), &paint);
    return 0;
}

LRESULT CMainDlg::OnTimer() {
    if (!Slides.empty()) {
        auto shown = std::find_if(Slides.begin(), Slides.end(),
                                  [this](const auto& slide) { return slide.get() == CurrentSlide; });
        // First to second, second to third, anything else (the last, or none of them)
        // back to the first.
        const size_t index = static_cast<size_t>(shown - Slides.begin());
        const size_t next = shown != Slides.end() && index < 2 && index + 1 < Slides.size() ? index + 1 : 0;
        CurrentSlide = Slides[next].get();
    }
    ::InvalidateRect(Handle(), nullptr, FALSE);
    ::UpdateWindow(Handle());
    return 0;
}

LRESULT CMainDlg::OnNcHitTest(int x, int y) {
    RECT client{};
    ::GetClientRect(Handle(), &client);
    POINT corners[2] = {{client.left, client.top}, {client.right, client.bottom}};
    if (::ClientToScreen(Handle(), &corners[0])) ::ClientToScreen(Handle(), &corners[1]);
    const RECT screen{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    return ::PtInRect(&screen, POINT{x, y}) ? HTCAPTION : HTNOWHERE;
}

LRESULT CMainDlg::OnCtlColorStatic(HDC dc, HWND control) {
    if (control == AgreeReminder) {
        ::SetTextColor(dc, kReminderRed);
        ::SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(::GetCurrentObject(dc, OBJ_BRUSH));
    }
    if (control == PercentLabel) return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    return 0;  // no brush: the default dialog colours
}

// The window's surface for each page, the slide show, dragging, and two static colours.
#include <algorithm>

#include "ui/main_dlg.h"

namespace {

const Gdiplus::Color kWhite(0xFF, 0xFF, 0xFF, 0xFF);
const Gdiplus::Color kLineGrey(0xFF, 0xE0, 0xE0, 0xE0);
const Gdiplus::Color kFrameGrey(0xFF, 0xCC, 0xCC, 0xCC);
constexpr COLORREF kReminderRed = RGB(255, 0, 0);
constexpr int kSlideHeight = 290;

// The frame image around the path box (150, 388, 420 x 22), stretched to sit just outside it.
const Gdiplus::Rect kPathFrameRect(146, 383, 428, 32);

void DrawImage(Gdiplus::Graphics& graphics, Gdiplus::Image* image, int x, int y, int width, int height) {
    if (image) graphics.DrawImage(image, x, y, width, height);
}

}  // namespace

LRESULT CMainDlg::OnPaint() {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(Handle(), &paint);
    RECT client{};
    ::GetClientRect(Handle(), &client);
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
            if (client.bottom > WELCOME_HEIGHT) DrawImage(graphics, PathFrame.get(), kPathFrameRect.X,
                                                          kPathFrameRect.Y, kPathFrameRect.Width,
                                                          kPathFrameRect.Height);
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
        const size_t index = shown == Slides.end() ? 0 : static_cast<size_t>(shown - Slides.begin());
        // First to second, second to third, anything else back to the first.
        const size_t next = (index == 0 || index == 1) && index + 1 < Slides.size() ? index + 1 : 0;
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

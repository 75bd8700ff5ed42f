#include "controls/owner_draw_button.h"

void COwnerDrawButton::SetImages(HWND notifyWindow, ImageList images) {
    notifyWindow_ = notifyWindow;
    images_ = std::move(images);
}

bool COwnerDrawButton::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                            LRESULT& result) {
    switch (msg) {
    case WM_MOUSEMOVE: return Answer(result, OnMouseMove());
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // the second press of a quick double click is a press too
        return Answer(result, OnLButtonDown());
    case WM_LBUTTONUP: return Answer(result, OnLButtonUp());
    case WM_TIMER: return Answer(result, OnHoverTick());  // whatever the timer's id
    case WM_SETCURSOR: return Answer(result, OnSetCursor());
    }
    return AnswerReflectedRequest(hwnd, msg, wParam, lParam, background_,
                                  [this](const DRAWITEMSTRUCT& item) { return OnDrawItem(item); }, result);
}

LRESULT COwnerDrawButton::OnDrawItem(const DRAWITEMSTRUCT& item) {
    itemRect_ = item.rcItem;
    FillBeneath(Handle(), item.hDC, itemRect_);
    const size_t index = static_cast<size_t>(state_);
    if (index < images_.size()) {
        DrawSkinImage(item.hDC, images_[index], 0, 0, itemRect_.right - itemRect_.left,
                      itemRect_.bottom - itemRect_.top);
    }
    return 1;
}

LRESULT COwnerDrawButton::OnMouseMove() {
    OnMouseOver();
    if (state_ == STATE_NORMAL) {
        state_ = STATE_HOVER;
        ::SetTimer(Handle(), HOVER_TIMER_ID, HOVER_TIMER_PERIOD_MS, nullptr);
        Repaint();
    }
    return 0;
}

LRESULT COwnerDrawButton::OnLButtonDown() {
    state_ = STATE_PRESSED;
    OnButtonDown();
    Repaint();
    return 0;
}

LRESULT COwnerDrawButton::OnLButtonUp() {
    state_ = STATE_HOVER;
    OnClicked();
    Repaint();
    return 0;
}

LRESULT COwnerDrawButton::OnHoverTick() {
    POINT cursor{};
    ::GetCursorPos(&cursor);
    ::ScreenToClient(Handle(), &cursor);
    if (!::PtInRect(&itemRect_, cursor)) {
        ::KillTimer(Handle(), HOVER_TIMER_ID);
        state_ = STATE_NORMAL;
        OnMouseOut();
        Repaint();
    }
    return 0;
}

LRESULT COwnerDrawButton::OnSetCursor() {
    if (SetHandCursor()) return 1;
    SetMsgHandled(false);
    return 0;
}

void COwnerDrawButton::OnClicked() { SendClick(notifyWindow_, Handle()); }

void COwnerDrawButton::Repaint() { RepaintNow(Handle()); }

void FillBeneath(HWND button, HDC dc, const RECT& item) {
    HWND parent = ::GetParent(button);
    auto brush = reinterpret_cast<HBRUSH>(
        ::SendMessageW(parent, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(button)));
    ::FillRect(dc, &item, brush ? brush : ::GetSysColorBrush(COLOR_BTNFACE));
}

bool AnswerReflectedRequest(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, HBRUSH pageBrush,
                            const std::function<LRESULT(const DRAWITEMSTRUCT&)>& drawFace, LRESULT& result) {
    switch (msg) {
    case winlib::OCM_DRAWITEM:
        result = drawFace(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return true;
    case winlib::OCM_MEASUREITEM:  // owner-draw defaults: sizes come from the template
    case winlib::OCM_DELETEITEM:
        result = TRUE;
        return true;
    case winlib::OCM_COMPAREITEM:
        result = 0;
        return true;
    case OCM_CTLCOLORBTN:
        if (AnswerBackground(pageBrush, result)) return true;
        break;
    }
    return winlib::DefaultReflectionHandler(hwnd, msg, wParam, lParam, result);
}

bool AnswerBackground(HBRUSH pageBrush, LRESULT& result) {
    if (!pageBrush) return false;
    result = reinterpret_cast<LRESULT>(pageBrush);
    return true;
}

bool SetHandCursor() {
    static HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);  // loaded once, never retried
    if (!hand) return false;
    ::SetCursor(hand);
    return true;
}

void SendClick(HWND notifyWindow, HWND button) {
    ::SendMessageW(notifyWindow, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
}

void RepaintNow(HWND control) {
    ::InvalidateRect(control, nullptr, TRUE);
    ::UpdateWindow(control);
}

#include "controls/select_state_button.h"

#include "controls/owner_draw_button.h"

namespace {
class Locked {
public:
    explicit Locked(CRITICAL_SECTION& cs) : cs_(cs) { ::EnterCriticalSection(&cs_); }
    ~Locked() { ::LeaveCriticalSection(&cs_); }
private:
    CRITICAL_SECTION& cs_;
};
}  // namespace

CSelectStateButton::CSelectStateButton() { ::InitializeCriticalSection(&lock_); }
CSelectStateButton::~CSelectStateButton() { ::DeleteCriticalSection(&lock_); }

void CSelectStateButton::SetImages(HWND notifyWindow, ImageList images) {
    notifyWindow_ = notifyWindow;
    images_ = std::move(images);
}

int CSelectStateButton::GetSelectState() {
    Locked guard(lock_);
    return state_;
}

bool CSelectStateButton::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                              LRESULT& result) {
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // the second press of a quick double click flips again
        return Answer(result, OnLButtonDown());
    case WM_SETCURSOR: return Answer(result, OnSetCursor());
    }
    return AnswerReflectedRequest(hwnd, msg, wParam, lParam, background_,
                                  [this](const DRAWITEMSTRUCT& item) { return OnDrawItem(item); }, result);
}

LRESULT CSelectStateButton::OnDrawItem(const DRAWITEMSTRUCT& item) {
    const RECT& rect = item.rcItem;
    FillBeneath(Handle(), item.hDC, rect);
    Gdiplus::Image* face = nullptr;
    if (images_.size() > 0 && images_[0] && GetSelectState() == 0) {
        face = images_[0];
    } else if (images_.size() > 1 && images_[1] && GetSelectState() == 1) {
        face = images_[1];
    }
    DrawSkinImage(item.hDC, face, 0, 0, rect.right - rect.left, rect.bottom - rect.top);
    return 1;
}

LRESULT CSelectStateButton::OnLButtonDown() {
    const int was = GetSelectState();
    {
        Locked guard(lock_);
        state_ = was == 0 ? 1 : 0;
    }
    RepaintNow(Handle());
    SendClick(notifyWindow_, Handle());  // after the repaint, so the handler sees the new state
    return 0;
}

LRESULT CSelectStateButton::OnSetCursor() {
    if (SetHandCursor()) return 1;
    SetMsgHandled(false);
    return 0;
}

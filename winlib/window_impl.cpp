#include "winlib/window_impl.h"

namespace winlib {

namespace {
// The property under which an attached control keeps its object.
constexpr wchar_t kObjectProperty[] = L"winlib.object";
}  // namespace

CWindowImplBase::~CWindowImplBase() {
    // A control that outlives its object must not call into freed memory.
    if (hwnd_ && ::IsWindow(hwnd_)) Detach(hwnd_);
}

bool CWindowImplBase::SubclassWindow(HWND hwnd) {
    if (hwnd_ || !::IsWindow(hwnd)) return false;
    if (!::SetPropW(hwnd, kObjectProperty, this)) return false;
    ::SetLastError(0);
    const LONG_PTR previous = ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC,
                                                  reinterpret_cast<LONG_PTR>(&WindowProc));
    if (previous == 0 && ::GetLastError() != 0) {
        ::RemovePropW(hwnd, kObjectProperty);
        return false;
    }
    previous_ = reinterpret_cast<WNDPROC>(previous);
    hwnd_ = hwnd;
    destroyed_ = false;
    return true;
}

LRESULT CWindowImplBase::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::CallWindowProcW(previous_, hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK CWindowImplBase::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<CWindowImplBase*>(::GetPropW(hwnd, kObjectProperty));
    if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->Route(hwnd, msg, wParam, lParam);
}

LRESULT CWindowImplBase::Route(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ++depth_;
    LRESULT result = 0;
    if (!Dispatch(hwnd, msg, wParam, lParam, result)) {
        if (msg == WM_NCDESTROY) {
            result = ::CallWindowProcW(previous_, hwnd, msg, wParam, lParam);
            destroyed_ = true;
        } else {
            result = ::CallWindowProcW(previous_, hwnd, msg, wParam, lParam);
        }
    }
    if (--depth_ == 0 && destroyed_) {
        Detach(hwnd);
        OnFinalMessage(hwnd);
    }
    return result;
}

void CWindowImplBase::Detach(HWND hwnd) {
    // Put the previous procedure back only if nobody subclassed the control after us.
    if (::GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&WindowProc)) {
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    }
    ::RemovePropW(hwnd, kObjectProperty);
    hwnd_ = nullptr;
    previous_ = ::DefWindowProcW;
    destroyed_ = false;
}

}  // namespace winlib

#include "winlib/dialog_impl.h"

namespace winlib {

namespace {
constexpr wchar_t kDialogProperty[] = L"winlib.dialog";

// Messages whose answer a dialog procedure returns directly instead of through
// DWLP_MSGRESULT.
bool AnswersDirectly(UINT msg) {
    switch (msg) {
    case WM_INITDIALOG:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return true;
    default:
        return false;
    }
}
}  // namespace

HWND CDialogImplBase::Create(HINSTANCE instance, int templateId, HWND owner) {
    return ::CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), owner, &DialogProc,
                                reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialogImplBase::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<CDialogImplBase*>(::GetPropW(hwnd, kDialogProperty));
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialogImplBase*>(lParam);
        ::SetPropW(hwnd, kDialogProperty, self);
        self->hwnd_ = hwnd;
    }
    if (!self) return FALSE;  // messages before WM_INITDIALOG (WM_SETFONT) keep their defaults
    const INT_PTR answer = self->Route(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        ::RemovePropW(hwnd, kDialogProperty);
        self->hwnd_ = nullptr;
    }
    return answer;
}

INT_PTR CDialogImplBase::Route(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    const bool handled = Dispatch(hwnd, msg, wParam, lParam, result) ||
                         ReflectNotifications(hwnd, msg, wParam, lParam, result);
    if (!handled) return FALSE;
    if (AnswersDirectly(msg)) return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace winlib

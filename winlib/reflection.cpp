#include "winlib/message_map.h"

namespace winlib {

namespace {

// Which child caused a notification, by the rules a parent uses to reflect it.
HWND NotifyingChild(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        return reinterpret_cast<HWND>(lParam);
    case WM_NOTIFY:
        return reinterpret_cast<NMHDR*>(lParam)->hwndFrom;
    case WM_PARENTNOTIFY:
        switch (LOWORD(wParam)) {
        case WM_CREATE:
        case WM_DESTROY:
            return reinterpret_cast<HWND>(lParam);
        default:
            return ::GetDlgItem(parent, HIWORD(wParam));
        }
    case WM_DRAWITEM:
        return wParam ? reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_MEASUREITEM:
        return wParam ? ::GetDlgItem(parent, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->CtlID)
                      : nullptr;
    case WM_COMPAREITEM:
        return wParam ? reinterpret_cast<COMPAREITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_DELETEITEM:
        return wParam ? reinterpret_cast<DELETEITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<HWND>(lParam);
    default:
        return nullptr;
    }
}

}  // namespace

bool ReflectNotifications(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    HWND child = NotifyingChild(parent, msg, wParam, lParam);
    if (!child || !::IsWindow(child)) return false;
    result = ::SendMessageW(child, OCM_BASE + msg, wParam, lParam);
    return true;
}

bool DefaultReflectionHandler(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg < OCM_BASE || msg > OCM_LAST) return false;
    result = ::DefWindowProcW(hwnd, msg - OCM_BASE, wParam, lParam);
    return true;
}

}  // namespace winlib

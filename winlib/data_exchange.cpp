#include "winlib/data_exchange.h"

namespace winlib {

namespace {
void ComplainAbout(HWND dialog, int controlId) {
    ::MessageBeep(0xFFFFFFFF);
    ::SetFocus(::GetDlgItem(dialog, controlId));
}
}  // namespace

bool LoadText(HWND dialog, int controlId, const std::wstring& value) {
    if (::SetDlgItemTextW(dialog, controlId, value.c_str())) return true;
    ComplainAbout(dialog, controlId);
    return false;
}

bool SaveText(HWND dialog, int controlId, std::wstring& value) {
    HWND control = ::GetDlgItem(dialog, controlId);
    const int announced = ::GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(announced) + 1, L'\0');
    const int read = ::GetWindowTextW(control, text.data(), announced + 1);
    text.resize(read > 0 ? static_cast<size_t>(read) : 0);
    value = std::move(text);
    if (read < announced) {
        ComplainAbout(dialog, controlId);
        return false;
    }
    return true;
}

}  // namespace winlib

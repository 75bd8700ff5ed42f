// A modeless dialog made from a template, whose messages go through the class's
// message map; what the map does not handle is reflected to the child that caused it,
// and otherwise gets the default dialog processing.
#pragma once
#include <windows.h>

#include "winlib/message_map.h"

namespace winlib {

class CDialogImplBase : public CMessageMap {
public:
    CDialogImplBase() = default;
    CDialogImplBase(const CDialogImplBase&) = delete;
    CDialogImplBase& operator=(const CDialogImplBase&) = delete;

    // Creates the dialog from template `templateId`; null when it could not be created.
    HWND Create(HINSTANCE instance, int templateId, HWND owner);
    HWND Handle() const { return hwnd_; }
    operator HWND() const { return hwnd_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR Route(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

protected:
    HWND hwnd_ = nullptr;
};

}  // namespace winlib

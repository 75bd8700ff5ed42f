// Attaching an object to an existing control (subclassing): from then on the control's
// messages reach the object's message map first and its previous procedure otherwise.
#pragma once
#include <windows.h>

#include "winlib/message_map.h"

namespace winlib {

class CWindowImplBase : public CMessageMap {
public:
    CWindowImplBase() = default;
    CWindowImplBase(const CWindowImplBase&) = delete;
    CWindowImplBase& operator=(const CWindowImplBase&) = delete;
    ~CWindowImplBase() override;

    // Replaces the control's window procedure; false (and nothing changed) when the
    // platform refuses or the object is already attached.
    bool SubclassWindow(HWND hwnd);
    bool IsAttached() const { return hwnd_ != nullptr; }
    HWND Handle() const { return hwnd_; }
    operator HWND() const { return hwnd_; }

protected:
    // The answer of the procedure the control had before it was attached.
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Called once the control is gone and the object has forgotten it.
    virtual void OnFinalMessage(HWND) {}

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Route(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Detach(HWND hwnd);

    HWND hwnd_ = nullptr;
    WNDPROC previous_ = ::DefWindowProcW;
    int depth_ = 0;          // nesting of dispatches in progress for the control
    bool destroyed_ = false;  // WM_NCDESTROY seen while a dispatch was in progress
};

}  // namespace winlib

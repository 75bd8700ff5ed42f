// The base of every class with a message map: one ProcessWindowMessage function per
// class, written as a switch that reads like the table it implements, and the
// "handled" flag that lets a handler decline a message it was offered.
#pragma once
#include <windows.h>

namespace winlib {

// Reflected notifications come back to the child with this added to their code.
inline constexpr UINT OCM_BASE = WM_USER + 0x1c00;
inline constexpr UINT OCM_COMMAND = OCM_BASE + WM_COMMAND;
inline constexpr UINT OCM_DRAWITEM = OCM_BASE + WM_DRAWITEM;
inline constexpr UINT OCM_MEASUREITEM = OCM_BASE + WM_MEASUREITEM;
inline constexpr UINT OCM_DELETEITEM = OCM_BASE + WM_DELETEITEM;
inline constexpr UINT OCM_COMPAREITEM = OCM_BASE + WM_COMPAREITEM;
inline constexpr UINT OCM_LAST = OCM_BASE + WM_PARENTNOTIFY;  // the highest reflected code

class CMessageMap {
public:
    virtual ~CMessageMap() = default;

    // Returns whether the message was handled; `result` is the answer when it was.
    virtual bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result) = 0;

    // Offers one message to the map, keeping the handled flag of an outer pass intact
    // when a handler sends a message to its own window.
    bool Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        const bool outer = msgHandled_;
        msgHandled_ = true;
        const bool handled = ProcessWindowMessage(hwnd, msg, wParam, lParam, result) && msgHandled_;
        msgHandled_ = outer;
        return handled;
    }

protected:
    void SetMsgHandled(bool handled) { msgHandled_ = handled; }
    bool IsMsgHandled() const { return msgHandled_; }

    // For map entries: stores a handler's answer and reports whether it kept the message.
    template <class T>
    bool Answer(LRESULT& result, T value) {
        result = (LRESULT)value;
        return msgHandled_;
    }

private:
    bool msgHandled_ = true;
};

// What a control answers to a reflected notification it does not handle: the platform's
// default answer to the original message (for example, default button colours).
bool DefaultReflectionHandler(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Sends a notification that a window does not handle back to the child that caused it.
// Returns false when there is no such child, so the message gets default processing.
bool ReflectNotifications(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

}  // namespace winlib

// The thread's message loop, with message filters (keyboard navigation of dialogs)
// and idle handlers, in the classic shape of a GUI class library.
#pragma once
#include <windows.h>
#include <vector>

namespace winlib {

class CMessageFilter {
public:
    virtual BOOL PreTranslateMessage(MSG* msg) = 0;
protected:
    ~CMessageFilter() = default;
};

class CIdleHandler {
public:
    virtual BOOL OnIdle() = 0;
protected:
    ~CIdleHandler() = default;
};

class CMessageLoop {
public:
    void AddMessageFilter(CMessageFilter* filter);
    void RemoveMessageFilter(CMessageFilter* filter);
    void AddIdleHandler(CIdleHandler* handler);
    void RemoveIdleHandler(CIdleHandler* handler);

    // Runs until WM_QUIT and returns its wParam. GetMessage failures (-1) are skipped.
    int Run();

private:
    bool PreTranslate(MSG* msg);
    bool RunIdleHandlers();

    // Slots are nulled on removal and compacted between messages, so a handler may
    // remove itself (the window does, in WM_DESTROY) while the list is being walked.
    std::vector<CMessageFilter*> filters_;
    std::vector<CIdleHandler*> idleHandlers_;
};

}  // namespace winlib

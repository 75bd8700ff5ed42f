// The application module: the instance that holds the resources, and the message
// loop of each GUI thread, found by thread id under the module's lock.
#pragma once
#include <windows.h>
#include <map>

#include "winlib/message_loop.h"

namespace winlib {

class CAppModule {
public:
    void Init(HINSTANCE instance);
    void Term();

    HINSTANCE GetModuleInstance() const { return instance_; }
    HINSTANCE GetResourceInstance() const { return instance_; }

    bool AddMessageLoop(CMessageLoop* loop);
    bool RemoveMessageLoop();
    CMessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId());

private:
    class Lock {
    public:
        explicit Lock(CRITICAL_SECTION& cs) : cs_(cs) { ::EnterCriticalSection(&cs_); }
        ~Lock() { ::LeaveCriticalSection(&cs_); }
    private:
        CRITICAL_SECTION& cs_;
    };

    HINSTANCE instance_ = nullptr;
    bool initialised_ = false;
    CRITICAL_SECTION lock_{};
    std::map<DWORD, CMessageLoop*> loops_;
};

extern CAppModule AppModule;

}  // namespace winlib

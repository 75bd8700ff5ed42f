#include "winlib/app_module.h"

namespace winlib {

CAppModule AppModule;

void CAppModule::Init(HINSTANCE instance) {
    instance_ = instance;
    if (!initialised_) ::InitializeCriticalSection(&lock_);
    initialised_ = true;
}

void CAppModule::Term() {
    if (!initialised_) return;
    {
        Lock guard(lock_);
        loops_.clear();
    }
    ::DeleteCriticalSection(&lock_);
    initialised_ = false;
}

bool CAppModule::AddMessageLoop(CMessageLoop* loop) {
    Lock guard(lock_);
    return loops_.emplace(::GetCurrentThreadId(), loop).second;
}

bool CAppModule::RemoveMessageLoop() {
    Lock guard(lock_);
    return loops_.erase(::GetCurrentThreadId()) > 0;
}

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId) {
    Lock guard(lock_);
    auto found = loops_.find(threadId);
    return found == loops_.end() ? nullptr : found->second;
}

}  // namespace winlib

#include "winlib/message_loop.h"

#include <algorithm>

namespace winlib {

namespace {
template <class T>
void NullOut(std::vector<T*>& list, T* item) {
    std::replace(list.begin(), list.end(), item, static_cast<T*>(nullptr));
}
template <class T>
void Compact(std::vector<T*>& list) {
    list.erase(std::remove(list.begin(), list.end(), nullptr), list.end());
}
}  // namespace

void CMessageLoop::AddMessageFilter(CMessageFilter* filter) { filters_.push_back(filter); }
void CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) { NullOut(filters_, filter); }
void CMessageLoop::AddIdleHandler(CIdleHandler* handler) { idleHandlers_.push_back(handler); }
void CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) { NullOut(idleHandlers_, handler); }

bool CMessageLoop::PreTranslate(MSG* msg) {
    // Newest filter first, as the windows registered last sit on top.
    for (size_t i = filters_.size(); i-- > 0;) {
        if (filters_[i] && filters_[i]->PreTranslateMessage(msg)) return true;
    }
    return false;
}

bool CMessageLoop::RunIdleHandlers() {
    bool more = false;
    for (size_t i = 0; i < idleHandlers_.size(); ++i) {
        if (idleHandlers_[i] && idleHandlers_[i]->OnIdle()) more = true;
    }
    return more;
}

int CMessageLoop::Run() {
    MSG msg{};
    bool idle = true;
    for (;;) {
        while (idle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            idle = RunIdleHandlers();
        }
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) continue;
        if (!got) break;  // WM_QUIT
        Compact(filters_);
        Compact(idleHandlers_);
        if (!PreTranslate(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        // Idle work runs again only after input or paint, not after every timer tick.
        switch (msg.message) {
        case WM_MOUSEMOVE: case WM_NCMOUSEMOVE: case WM_PAINT: case 0x0118 /* WM_SYSTIMER */:
            break;
        default:
            idle = true;
        }
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace winlib

#include "engine/download_state.h"

std::wstring DownloadHost;
std::uint16_t DownloadPort = 80;
bool DownloadSecure = false;
std::wstring DownloadObject;
std::wstring DownloadRoot;
HANDLE TargetFile = INVALID_HANDLE_VALUE;
bool UseWinHttp = false;
std::uint32_t ReceivedTotal = 0;
std::uint32_t InstallerSize = 0;

bool StartDetachedThread(LPTHREAD_START_ROUTINE procedure, void* argument) {
    HANDLE thread = ::CreateThread(nullptr, 0, procedure, argument, 0, nullptr);
    if (!thread) return false;
    ::CloseHandle(thread);
    return true;
}

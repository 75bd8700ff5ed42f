// Process-wide values of the download. Each is written only on the window's thread,
// before it starts the worker threads that read it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

extern std::wstring DownloadHost;    // host of the download address, without its port
extern std::uint16_t DownloadPort;   // from the address, or the scheme's default
extern bool DownloadSecure;          // "https://": TLS with the stack's certificate checks
extern std::wstring DownloadObject;  // the address after the host's "/", without it
extern std::wstring DownloadRoot;    // the all-users documents folder
extern HANDLE TargetFile;            // the open temporary file, or INVALID_HANDLE_VALUE
extern bool UseWinHttp;              // false: WinINet; true after the one switch
extern std::uint32_t ReceivedTotal;  // bytes received by all parts
extern std::uint32_t InstallerSize;  // the size probe's answer that the parts were planned for

// One part of the installer: its byte range and the buffer that receives it.
struct DownloadChunk {
    std::int32_t index;
    std::uint32_t offset;
    std::uint32_t length;
    std::uint32_t received;  // where a restarted attempt resumes
    std::uint8_t* buffer;    // exactly `length` bytes; null once written
};

// Starts a thread that is never waited for. False (with the last error set) when it
// cannot be started.
bool StartDetachedThread(LPTHREAD_START_ROUTINE procedure, void* argument);

// The two HTTP stacks behind HttpRequest. WinINet and WinHTTP headers cannot share a
// translation unit, so each stack lives in its own.
#pragma once
#include "engine/http_request.h"

std::unique_ptr<HttpRequest> MakeWinInetRequest();
std::unique_ptr<HttpRequest> MakeWinHttpRequest();
void RaiseWinInetConnectionLimits(void* handle);

// Whether the system reaches the internet through a proxy.
bool SystemUsesProxy();
// A Content-Length value: decimal digits only.
std::optional<std::uint64_t> ParseContentLength(const std::wstring& text);
// Whether a URL names the https scheme.
bool IsHttpsUrl(const std::wstring& url);

inline constexpr DWORD kConnectionLimit = 50;

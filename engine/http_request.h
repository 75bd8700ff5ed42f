// One HTTP request to the download address, on the stack the process uses (WinINet,
// or WinHTTP after the switch). Each worker thread makes its own.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The error reported for an answer that does not fit the request (wininet's
// ERROR_HTTP_INVALID_SERVER_RESPONSE; the stacks' headers cannot be shared).
inline constexpr DWORD kInvalidServerResponse = 12152;

class HttpRequest {
public:
    virtual ~HttpRequest() = default;

    // Internet handle and connection to the download host, through the system's proxy
    // settings or without any proxy. False when either fails.
    virtual bool Connect(bool throughProxy) = 0;
    // The request for the download object with `verb`. False when it cannot be opened
    // or `header` (when not empty) cannot be added.
    virtual bool Open(const wchar_t* verb, const std::wstring& header) = 0;
    // Sends the request and waits for the response headers. 0, or the system error.
    virtual DWORD Send() = 0;

    virtual unsigned Status() = 0;
    virtual std::optional<std::uint64_t> ContentLength() = 0;
    virtual std::wstring ContentRange() = 0;
    // Whether the response still comes from an https address when the request was one:
    // a redirect must never move an https download to plain http.
    virtual bool StayedSecure() = 0;

    // Reads up to `size` bytes of the body. 0, or the system error.
    virtual DWORD Read(void* buffer, DWORD size, DWORD& read) = 0;
};

// A request on the stack that UseWinHttp names.
std::unique_ptr<HttpRequest> MakeHttpRequest();

// Whether the system reaches the internet through a proxy. The size probe asks the
// system and remembers the answer; the parts of the download it sized use that answer.
// Under Wine the question walks the network interfaces one caller at a time, and forty
// part threads asking at once queued for up to half a second before their first request.
bool AskProxyUse();
bool RememberedProxyUse();

// Lets WinINet open 50 connections to one server at once instead of queueing parts:
// for the whole process, and again on one connection.
void RaiseProcessConnectionLimits();

#include <windows.h>
#include <wininet.h>

#include "engine/download_state.h"
#include "engine/http_stacks.h"

namespace {

const wchar_t* const kAcceptAll[] = {L"*/*", nullptr};

}  // namespace

void RaiseWinInetConnectionLimits(void* handle) {
    ::InternetSetOptionW(handle, INTERNET_OPTION_MAX_CONNS_PER_SERVER,
                         const_cast<DWORD*>(&kConnectionLimit), sizeof kConnectionLimit);
    ::InternetSetOptionW(handle, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER,
                         const_cast<DWORD*>(&kConnectionLimit), sizeof kConnectionLimit);
}

namespace {

class WinInetRequest final : public HttpRequest {
public:
    // Closed in reverse order of opening: request, connection, internet handle.
    ~WinInetRequest() override {
        if (request_) ::InternetCloseHandle(request_);
        if (connection_) ::InternetCloseHandle(connection_);
        if (internet_) ::InternetCloseHandle(internet_);
    }

    bool Connect(bool throughProxy) override {
        // The process-wide limits count from the first connection to the server (the
        // size probe's), so they are raised before any connection is made.
        RaiseProcessConnectionLimits();
        const DWORD access = throughProxy ? INTERNET_OPEN_TYPE_PRECONFIG
                                               : INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY;
        internet_ = ::InternetOpenW(L"", access, nullptr, nullptr, 0);
        if (!internet_) return false;
        connection_ = ::InternetConnectW(internet_, DownloadHost.c_str(), DownloadPort, nullptr, nullptr,
                                         INTERNET_SERVICE_HTTP, 0, 0);
        if (!connection_) return false;
        RaiseWinInetConnectionLimits(connection_);
        return true;
    }

    bool Open(const wchar_t* verb, const std::wstring& header) override {
        // Never served from or written into the user's cache; an http address may be
        // redirected to https, never the other way (the stack refuses that by default).
        DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
        if (DownloadSecure) flags |= INTERNET_FLAG_SECURE;
        request_ = ::HttpOpenRequestW(connection_, verb, DownloadObject.c_str(), L"HTTP/1.1", nullptr,
                                      const_cast<LPCWSTR*>(kAcceptAll), flags, 0);
        if (!request_) return false;
        return header.empty() || ::HttpAddRequestHeadersW(request_, header.c_str(), static_cast<DWORD>(header.size()),
                                                          HTTP_ADDREQ_FLAG_ADD);
    }

    DWORD Send() override {
        return ::HttpSendRequestW(request_, nullptr, 0, nullptr, 0) ? 0 : ::GetLastError();
    }

    unsigned Status() override {
        DWORD status = 0, size = sizeof status;
        if (!::HttpQueryInfoW(request_, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return 0;
        return status;
    }

    std::optional<std::uint64_t> ContentLength() override {
        const std::wstring text = Header(HTTP_QUERY_CONTENT_LENGTH);
        return ParseContentLength(text);
    }

    std::wstring ContentRange() override { return Header(HTTP_QUERY_CONTENT_RANGE); }

    bool StayedSecure() override {
        if (!DownloadSecure) return true;
        wchar_t url[2048] = {};
        DWORD size = sizeof url;
        if (!::InternetQueryOptionW(request_, INTERNET_OPTION_URL, url, &size)) return false;
        return IsHttpsUrl(url);
    }

    DWORD Read(void* buffer, DWORD size, DWORD& read) override {
        read = 0;
        return ::InternetReadFile(request_, buffer, size, &read) ? 0 : ::GetLastError();
    }

private:
    std::wstring Header(DWORD query) {
        wchar_t text[128] = {};
        DWORD size = sizeof text - sizeof(wchar_t);
        if (!::HttpQueryInfoW(request_, query, text, &size, nullptr)) return {};
        return text;
    }

    HINTERNET internet_ = nullptr;
    HINTERNET connection_ = nullptr;
    HINTERNET request_ = nullptr;
};

}  // namespace

std::unique_ptr<HttpRequest> MakeWinInetRequest() { return std::make_unique<WinInetRequest>(); }

bool SystemUsesProxy() {
    DWORD state = 0;
    ::InternetGetConnectedState(&state, 0);
    return (state & INTERNET_CONNECTION_PROXY) != 0;
}

#include <windows.h>
#include <winhttp.h>

#include "engine/download_state.h"
#include "engine/http_stacks.h"

namespace {

const wchar_t* const kAcceptAll[] = {L"*/*", nullptr};

class WinHttpRequest final : public HttpRequest {
public:
    ~WinHttpRequest() override {
        if (request_) ::WinHttpCloseHandle(request_);
        if (connection_) ::WinHttpCloseHandle(connection_);
        if (session_) ::WinHttpCloseHandle(session_);
    }

    bool Connect(bool throughProxy) override {
        const DWORD access = throughProxy ? WINHTTP_ACCESS_TYPE_DEFAULT_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY;
        session_ = ::WinHttpOpen(nullptr, access, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
        if (!session_) return false;
        ::WinHttpSetOption(session_, WINHTTP_OPTION_MAX_CONNS_PER_SERVER, const_cast<DWORD*>(&kConnectionLimit),
                           sizeof kConnectionLimit);
        connection_ = ::WinHttpConnect(session_, DownloadHost.c_str(), DownloadPort, 0);
        return connection_ != nullptr;
    }

    bool Open(const wchar_t* verb, const std::wstring& header) override {
        DWORD flags = WINHTTP_FLAG_REFRESH;
        if (DownloadSecure) flags |= WINHTTP_FLAG_SECURE;
        request_ = ::WinHttpOpenRequest(connection_, verb, DownloadObject.c_str(), L"HTTP/1.1", WINHTTP_NO_REFERER,
                                        const_cast<LPCWSTR*>(kAcceptAll), flags);
        if (!request_) return false;
        // The stack's default already refuses https-to-http redirects; say so anyway.
        DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP;
        ::WinHttpSetOption(request_, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
        return header.empty() || ::WinHttpAddRequestHeaders(request_, header.c_str(), static_cast<DWORD>(header.size()),
                                                            WINHTTP_ADDREQ_FLAG_ADD);
    }

    DWORD Send() override {
        if (!::WinHttpSendRequest(request_, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
            return ::GetLastError();
        }
        return ::WinHttpReceiveResponse(request_, nullptr) ? 0 : ::GetLastError();
    }

    unsigned Status() override {
        DWORD status = 0, size = sizeof status;
        if (!::WinHttpQueryHeaders(request_, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                   WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
            return 0;
        }
        return status;
    }

    std::optional<std::uint64_t> ContentLength() override {
        return ParseContentLength(Header(WINHTTP_QUERY_CONTENT_LENGTH));
    }

    std::wstring ContentRange() override { return Header(WINHTTP_QUERY_CONTENT_RANGE); }

    bool StayedSecure() override {
        if (!DownloadSecure) return true;
        wchar_t url[2048] = {};
        DWORD size = sizeof url;
        if (!::WinHttpQueryOption(request_, WINHTTP_OPTION_URL, url, &size)) return false;
        return IsHttpsUrl(url);
    }

    DWORD Read(void* buffer, DWORD size, DWORD& read) override {
        read = 0;
        return ::WinHttpReadData(request_, buffer, size, &read) ? 0 : ::GetLastError();
    }

private:
    std::wstring Header(DWORD query) {
        wchar_t text[128] = {};
        DWORD size = sizeof text - sizeof(wchar_t);
        if (!::WinHttpQueryHeaders(request_, query, WINHTTP_HEADER_NAME_BY_INDEX, text, &size, WINHTTP_NO_HEADER_INDEX)) {
            return {};
        }
        return text;
    }

    HINTERNET session_ = nullptr;
    HINTERNET connection_ = nullptr;
    HINTERNET request_ = nullptr;
};

}  // namespace

std::unique_ptr<HttpRequest> MakeWinHttpRequest() { return std::make_unique<WinHttpRequest>(); }

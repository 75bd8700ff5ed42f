#include "engine/http_stacks.h"

#include <atomic>

#include "engine/download_state.h"

namespace {

// Written by the size probe, read by the part threads started after its answer.
std::atomic<bool> ProxyUse{false};

}  // namespace

std::unique_ptr<HttpRequest> MakeHttpRequest() {
    if (UseWinHttp) return MakeWinHttpRequest();
    return MakeWinInetRequest();
}

bool AskProxyUse() {
    const bool proxy = SystemUsesProxy();
    ProxyUse.store(proxy, std::memory_order_release);
    return proxy;
}

bool RememberedProxyUse() { return ProxyUse.load(std::memory_order_acquire); }

void RaiseProcessConnectionLimits() { RaiseWinInetConnectionLimits(nullptr); }

std::optional<std::uint64_t> ParseContentLength(const std::wstring& text) {
    if (text.empty() || text.size() > 19) return std::nullopt;
    std::uint64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    return value;
}

bool IsHttpsUrl(const std::wstring& url) { return _wcsnicmp(url.c_str(), L"https://", 8) == 0; }

#include "engine/rules/download_address.h"

namespace setup {
namespace {

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiLower(text[i]) != prefix[i]) return false;
    }
    return true;
}

bool IsHostCharacter(wchar_t c) {
    if (c <= 0x20 || c == 0x7F) return false;
    switch (c) {
        case L'@': case L'[': case L']': case L'?': case L'#': case L'\\':
            return false;
        default:
            return true;
    }
}

std::optional<std::uint16_t> ParsePort(std::wstring_view digits) {
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    std::uint32_t value = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - L'0');
    }
    if (value == 0 || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<DownloadAddress> SplitDownloadAddress(std::wstring_view url) {
    DownloadAddress address{};
    std::wstring_view rest;
    if (StartsWithNoCase(url, L"http://")) {
        address.scheme = Scheme::Http;
        address.port = 80;
        rest = url.substr(7);
    } else if (StartsWithNoCase(url, L"https://")) {
        address.scheme = Scheme::Https;
        address.port = 443;
        rest = url.substr(8);
    } else {
        return std::nullopt;
    }

    const std::size_t slash = rest.find(L'/');
    if (slash == std::wstring_view::npos) return std::nullopt;
    std::wstring_view host = rest.substr(0, slash);

    const std::size_t colon = host.find(L':');
    if (colon != std::wstring_view::npos) {
        const auto port = ParsePort(host.substr(colon + 1));
        if (!port) return std::nullopt;
        address.port = *port;
        host = host.substr(0, colon);
    }
    if (host.empty()) return std::nullopt;
    for (wchar_t c : host) {
        if (!IsHostCharacter(c)) return std::nullopt;
    }

    address.host.assign(host);
    address.object.assign(rest.substr(slash + 1));
    return address;
}

}  // namespace setup

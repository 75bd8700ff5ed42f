#include "engine/rules/http_checks.h"

#include <limits>

namespace setup {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view TrimBlanks(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Reads a non-empty run of decimal digits from the front of text.
std::optional<std::uint64_t> TakeNumber(std::wstring_view& text) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    std::size_t used = 0;
    while (used < text.size() && text[used] >= L'0' && text[used] <= L'9') {
        const auto digit = static_cast<std::uint64_t>(text[used] - L'0');
        if (value > (kMax - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
        ++used;
    }
    if (used == 0) return std::nullopt;
    text.remove_prefix(used);
    return value;
}

bool TakeChar(std::wstring_view& text, wchar_t c) {
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

}  // namespace

bool ProbeResponseUsable(unsigned status, bool hasContentLength) {
    return status == 200 && hasContentLength;
}

std::optional<ContentRange> ParseContentRange(std::wstring_view header) {
    std::wstring_view text = TrimBlanks(header);
    constexpr std::wstring_view kUnit = L"bytes";
    if (text.size() < kUnit.size()) return std::nullopt;
    for (std::size_t i = 0; i < kUnit.size(); ++i) {
        if (AsciiLower(text[i]) != kUnit[i]) return std::nullopt;
    }
    text.remove_prefix(kUnit.size());
    if (!TakeChar(text, L' ')) return std::nullopt;

    ContentRange range{};
    const auto first = TakeNumber(text);
    if (!first || !TakeChar(text, L'-')) return std::nullopt;
    const auto last = TakeNumber(text);
    if (!last || !TakeChar(text, L'/')) return std::nullopt;
    range.first = *first;
    range.last = *last;
    if (range.first > range.last) return std::nullopt;

    if (TakeChar(text, L'*')) {
        range.totalKnown = false;
    } else {
        const auto total = TakeNumber(text);
        if (!total || range.last >= *total) return std::nullopt;
        range.total = *total;
        range.totalKnown = true;
    }
    if (!text.empty()) return std::nullopt;
    return range;
}

bool PartResponseUsable(unsigned status, std::wstring_view contentRange,
                        std::uint32_t firstAsked, std::uint32_t lastAsked,
                        std::uint32_t fileSize) {
    if (status != 206) return false;
    const auto range = ParseContentRange(contentRange);
    if (!range || range->first != firstAsked || range->last != lastAsked) return false;
    return !range->totalKnown || range->total == fileSize;
}

}  // namespace setup

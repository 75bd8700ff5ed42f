#include "ui/rules/text_fit.h"

#include <cstdint>

namespace setup {
namespace {

bool IsHighSurrogate(wchar_t c) {
    const auto unit = static_cast<std::uint32_t>(c);
    return unit >= 0xD800 && unit <= 0xDBFF;
}

}  // namespace

std::wstring FitToField(std::wstring_view text, std::size_t capacity) {
    if (capacity == 0) return std::wstring();
    std::size_t keep = capacity - 1;
    if (text.size() <= keep) return std::wstring(text);
    if (keep > 0 && IsHighSurrogate(text[keep - 1])) --keep;
    return std::wstring(text.substr(0, keep));
}

}  // namespace setup

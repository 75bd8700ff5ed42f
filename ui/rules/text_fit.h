#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace setup {

// Text for a fixed-size character field (the notification icon's tip and
// balloon texts, for instance): at most capacity - 1 UTF-16 code units,
// leaving room for the terminator. A cut never ends in a lone high surrogate,
// which would show as a broken character. A capacity of 0 gives "".
std::wstring FitToField(std::wstring_view text, std::size_t capacity);

}  // namespace setup

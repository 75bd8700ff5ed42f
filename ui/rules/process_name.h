#pragma once

#include <string_view>

namespace setup {

// Whether a running process's executable name is the product's. Only
// ASCII A-Z are folded to a-z, the way the process guard has always
// compared: locale-dependent folding could make the guard's verdict depend
// on the user's language. Any other character, accented letters included,
// must match exactly. An empty wanted name never matches, so a missing
// language text cannot make the guard see the product everywhere.
bool SameProcessName(std::wstring_view running, std::wstring_view wanted);

}  // namespace setup

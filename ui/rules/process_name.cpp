#include "ui/rules/process_name.h"

namespace setup {
namespace {

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

}  // namespace

bool SameProcessName(std::wstring_view running, std::wstring_view wanted) {
    if (wanted.empty() || running.size() != wanted.size()) return false;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (AsciiLower(running[i]) != AsciiLower(wanted[i])) return false;
    }
    return true;
}

}  // namespace setup

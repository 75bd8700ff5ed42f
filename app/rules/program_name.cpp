#include "app/rules/program_name.h"

namespace setup {

std::wstring ProgramBaseName(std::wstring_view fileName) {
    const std::size_t dot = fileName.rfind(L'.');
    if (dot == std::wstring_view::npos) return std::wstring(fileName);
    return std::wstring(fileName.substr(0, dot));
}

}  // namespace setup

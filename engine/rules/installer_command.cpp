#include "engine/rules/installer_command.h"

namespace setup {

std::wstring InstallerCommandLine(std::wstring_view installFolder) {
    std::size_t trailing = 0;
    while (trailing < installFolder.size() &&
           installFolder[installFolder.size() - 1 - trailing] == L'\\') {
        ++trailing;
    }
    std::wstring line = L"  /Quorvane /verysilent /path=\"";
    line += installFolder;
    line.append(trailing, L'\\');
    line += L'"';
    return line;
}

}  // namespace setup

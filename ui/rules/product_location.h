#pragma once

#include <string>
#include <string_view>

namespace setup {

// Where the installer is expected to put the product: folder\company\project.
// The parts are joined as they are, so a folder that already ends in "\"
// gives a doubled separator, which Windows path handling accepts.
std::wstring ProductFolder(std::wstring_view installFolder, std::wstring_view company,
                           std::wstring_view project);

// productFolder\processName: the program that Start Now launches.
std::wstring ProductProgram(std::wstring_view productFolder, std::wstring_view processName);

}  // namespace setup

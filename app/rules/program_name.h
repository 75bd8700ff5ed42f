#pragma once

#include <string>
#include <string_view>

namespace setup {

// The program file's name without its extension, naming the work folder,
// so renamed copies of the setup (websetup.exe, setup (2).exe) keep their
// staged files apart. Cut at the last ".", so "a.b.exe" gives "a.b"; a name
// without a dot stays whole.
std::wstring ProgramBaseName(std::wstring_view fileName);

}  // namespace setup

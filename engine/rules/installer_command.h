#pragma once

#include <string>
#include <string_view>

namespace setup {

// Command line of the silent installer: L"  /Quorvane /verysilent /path=\""
// + folder + L"\"". The folder is quoted because it may hold blanks. Under
// the usual Windows argument rules (CommandLineToArgvW, the C runtime) a
// backslash right before the closing quote would escape it, so a folder
// ending in "\" (a drive root such as "D:\") would swallow the quote. The
// trailing run of backslashes is therefore doubled, which makes the
// installer see exactly the folder it was given. Nothing else is escaped:
// a folder name cannot hold a double quote.
std::wstring InstallerCommandLine(std::wstring_view installFolder);

}  // namespace setup

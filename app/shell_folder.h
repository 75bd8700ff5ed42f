// Paths of the shell's special folders.
#pragma once
#include <string>

// The path of shell folder `csidl` (CSIDL_...), or empty when the shell cannot say.
std::wstring ShellFolderPath(int csidl);

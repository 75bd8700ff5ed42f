// Where the download comes from and where it goes on disk.
#pragma once
#include <windows.h>

#include <string>

// Splits the language file's download address into host, port, scheme and object.
// On an unusable address shows the URL error box over `owner` and returns false.
bool SplitDownloadUrl(HWND owner);

// The all-users documents folder, or empty when the shell cannot say.
std::wstring CommonDocumentsFolder();

// Creates the temporary file for a download whose size has just arrived (once per
// download). Posts WM_DOWN_ERROR and returns false when the download cannot go on.
bool PrepareTargetFile();

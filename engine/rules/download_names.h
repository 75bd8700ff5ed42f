#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace setup {

// Names of the downloaded installer, taken from the last path segment of
// the download address. The temporary file swaps the extension for "down",
// so a half-written download can never be mistaken for a runnable program.
struct DownloadNames {
    std::wstring stem;      // file name up to and including its last ".", e.g. L"setup."
    std::wstring fileName;  // e.g. L"setup.exe"
};

// Fails when the address has no "/", when its last "." does not lie after
// its last "/" (no extension to replace), or when the file name could not
// name a file inside the download folder: a character Windows forbids in
// file names (which includes "\", so the name cannot climb out of the
// folder), or a trailing "." or blank, which Windows would silently strip.
// The address is taken whole, so a query string counts as part of the name
// and, holding "?", fails here rather than at file creation.
std::optional<DownloadNames> MakeDownloadNames(std::wstring_view url);

// downloadRoot + "\Quorvane". An empty root gives "\Quorvane" (root of the
// current drive), the same place the file operations would use.
std::wstring DownloadFolderPath(std::wstring_view downloadRoot);

// Download folder + "\" + stem + "down".
std::wstring TempFilePath(std::wstring_view downloadRoot, const DownloadNames& names);

// Download folder + "\" + file name.
std::wstring InstallerFilePath(std::wstring_view downloadRoot, const DownloadNames& names);

}  // namespace setup

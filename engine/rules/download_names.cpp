#include "engine/rules/download_names.h"

namespace setup {
namespace {

bool IsFileNameCharacter(wchar_t c) {
    if (c < 0x20) return false;
    switch (c) {
        case L'<': case L'>': case L':': case L'"': case L'/':
        case L'\\': case L'|': case L'?': case L'*':
            return false;
        default:
            return true;
    }
}

}  // namespace

std::optional<DownloadNames> MakeDownloadNames(std::wstring_view url) {
    const std::size_t s = url.rfind(L'/');
    const std::size_t d = url.rfind(L'.');
    if (s == std::wstring_view::npos || d == std::wstring_view::npos || d <= s) {
        return std::nullopt;
    }
    const std::wstring_view fileName = url.substr(s + 1);
    for (wchar_t c : fileName) {
        if (!IsFileNameCharacter(c)) return std::nullopt;
    }
    // d > s guarantees a non-empty file name.
    const wchar_t last = fileName.back();
    if (last == L'.' || last == L' ') return std::nullopt;

    DownloadNames names;
    names.fileName.assign(fileName);
    names.stem.assign(url.substr(s + 1, d - s));
    return names;
}

std::wstring DownloadFolderPath(std::wstring_view downloadRoot) {
    std::wstring folder(downloadRoot);
    folder += L"\\Quorvane";
    return folder;
}

std::wstring TempFilePath(std::wstring_view downloadRoot, const DownloadNames& names) {
    return DownloadFolderPath(downloadRoot) + L"\\" + names.stem + L"down";
}

std::wstring InstallerFilePath(std::wstring_view downloadRoot, const DownloadNames& names) {
    return DownloadFolderPath(downloadRoot) + L"\\" + names.fileName;
}

}  // namespace setup

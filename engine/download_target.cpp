#include "engine/download_target.h"

#include <shlobj.h>

#include "app/language.h"
#include "app/shell_folder.h"
#include "engine/download_state.h"
#include "engine/rules/download_address.h"
#include "engine/rules/download_names.h"
#include "ui/main_dlg.h"

namespace {
bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
}  // namespace

bool SplitDownloadUrl(HWND owner) {
    const auto address = setup::SplitDownloadAddress(LoadLangString(L"STR_DOWN_URL"));
    if (!address) {
        ::MessageBoxW(owner, LoadLangString(L"STR_URL_ERROR").c_str(), LoadLangString(L"STR_SOFT_TIP").c_str(),
                      MB_ICONINFORMATION);
        return false;
    }
    DownloadHost = address->host;
    DownloadPort = address->port;
    DownloadSecure = address->scheme == setup::Scheme::Https;
    DownloadObject = address->object;
    return true;
}

std::wstring CommonDocumentsFolder() { return ShellFolderPath(CSIDL_COMMON_DOCUMENTS); }

bool PrepareTargetFile() {
    if (TargetFile != INVALID_HANDLE_VALUE) return true;  // reused, neither truncated nor re-created
    const auto names = setup::MakeDownloadNames(LoadLangString(L"STR_DOWN_URL"));
    if (!names) {
        PostToSetupWindow(WM_DOWN_ERROR, 0, DOWN_TAG_URL);
        return false;
    }
    const std::wstring folder = setup::DownloadFolderPath(DownloadRoot);
    const std::wstring temporary = setup::TempFilePath(DownloadRoot, *names);
    if (!Exists(folder)) {
        if (!::CreateDirectoryW(folder.c_str(), nullptr)) {
            PostToSetupWindow(WM_DOWN_ERROR, ::GetLastError(), DOWN_TAG_SYSTEM);
            return false;
        }
    } else if (Exists(temporary) && !::DeleteFileW(temporary.c_str())) {
        PostToSetupWindow(WM_DOWN_ERROR, ::GetLastError(), DOWN_TAG_SYSTEM);  // and still try below
    }
    TargetFile = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (TargetFile == INVALID_HANDLE_VALUE) {
        PostToSetupWindow(WM_DOWN_ERROR, ::GetLastError(), DOWN_TAG_SYSTEM);
        return false;
    }
    return true;
}

// The customise panel and the choice of the installation folder.
#include <shlobj.h>

#include "app/language.h"
#include "ui/main_dlg.h"

LRESULT CMainDlg::OnCustomizeToggle() {
    ResizeClient(CustomizeToggle.GetSelectState() ? CUSTOMIZE_HEIGHT : WELCOME_HEIGHT);
    return 0;
}

LRESULT CMainDlg::OnBrowse() {
    wchar_t displayName[MAX_PATH] = {};
    const std::wstring title = LoadLangString(L"STR_SELECT_FOLDER");
    BROWSEINFOW browse{};
    browse.hwndOwner = Handle();
    browse.pszDisplayName = displayName;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_EDITBOX;
    LPITEMIDLIST chosen = ::SHBrowseForFolderW(&browse);
    if (!chosen) return 0;  // cancelled: everything stays

    wchar_t path[MAX_PATH] = {};
    ::SHGetPathFromIDListW(chosen, path);  // not a file-system folder: stays empty
    ::CoTaskMemFree(chosen);
    InstallFolder = path;
    ExchangePathEdit(false);
    return 0;
}

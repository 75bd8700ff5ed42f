// The finished page, the start of the installed product and the licence link.
#include "app/language.h"
#include "ui/main_dlg.h"
#include "ui/rules/product_location.h"

namespace {
// Hands a program or an address to the shell. A failure is not reported: without
// SEE_MASK_FLAG_NO_UI the shell would open its own error box ("Path not found.", say)
// on this thread, and Start Now would wait in it before the setup could end.
void OpenWithShell(const std::wstring& file) {
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = L"open";
    execute.lpFile = file.c_str();
    execute.lpParameters = L"";
    execute.nShow = SW_SHOWNORMAL;
    ::ShellExecuteExW(&execute);
}
}  // namespace

LRESULT CMainDlg::OnInstallDone() {
    SetupPhase = PHASE_FINISHED;
    ::KillTimer(Handle(), SLIDE_TIMER_ID);
    ShowControl(IDC_PROGRESS, false);
    ShowControl(IDC_HIDE, false);
    ShowControl(IDC_PERCENT, false);
    ::InvalidateRect(Handle(), nullptr, TRUE);
    ShowControl(IDC_START_NOW, true);
    ShowControl(IDC_CLOSE, true);
    ShowControl(IDC_MINIMIZE, true);
    if (!::IsWindowVisible(Handle())) {
        ::ShowWindow(Handle(), SW_SHOW);
        ::Shell_NotifyIconW(NIM_DELETE, &TrayIconData);
        trayIconShown_ = false;
    }
    return 0;
}

LRESULT CMainDlg::OnStartNow() {
    const std::wstring folder = setup::ProductFolder(InstallFolder, LoadLangString(L"STR_COMPANY_NAME"),
                                                     LoadLangString(L"STR_PROJECT_NAME"));
    const std::wstring program = setup::ProductProgram(folder, LoadLangString(L"STR_PROCESS_NAME"));
    ::SetCurrentDirectoryW(folder.c_str());  // the product inherits it
    OpenWithShell(program);
    QuitSetup(SETUP_EXIT_CODE);
    return 0;
}

LRESULT CMainDlg::OnLicenceLink() {
    OpenWithShell(LoadLangString(L"STR_LICENCE_URL"));
    return 0;
}

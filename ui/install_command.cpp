// The Install command: the checks before anything is fetched, the switch to the
// installing page, and the start of the size probe.
#include <io.h>

#include <cstdio>

#include "app/language.h"
#include "engine/download_target.h"
#include "engine/transport.h"
#include "ui/main_dlg.h"

LRESULT CMainDlg::OnAgreeToggle() {
    if (AgreeBox.GetSelectState()) ShowControl(IDC_AGREE_REMINDER, false);
    return 0;
}

LRESULT CMainDlg::OnInstall() {
    if (!AgreeBox.GetSelectState()) {
        MessageBox(LoadLangString(L"STR_AGREE_INSTALL"), LoadLangString(L"STR_SOFT_TIP"), MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    if (!CheckProductNotRunning(LoadLangString(L"STR_PROCESS_NAME"))) return 0;  // the setup has ended
    if (!SplitDownloadUrl(Handle())) return 0;

    SetupPhase = PHASE_INSTALLING;
    ::SetTimer(Handle(), SLIDE_TIMER_ID, SLIDE_PERIOD_MS, nullptr);
    ResizeClient(WELCOME_HEIGHT);
    for (int id : {IDC_CLOSE, IDC_MINIMIZE, IDC_INSTALL, IDC_AGREE, IDC_LICENCE, IDC_CUSTOMIZE, IDC_AGREE_REMINDER}) {
        ShowControl(id, false);
    }
    ShowControl(IDC_PROGRESS, true);
    ShowControl(IDC_HIDE, true);
    ::SendMessageW(ProgressBar, PBM_SETRANGE32, 0, 100);
    ::SendMessageW(ProgressBar, PBM_SETPOS, 0, 0);
    ShowPercent(0);
    ShowControl(IDC_PERCENT, true);
    ::InvalidateRect(Handle(), nullptr, TRUE);
    ::UpdateWindow(Handle());

    ExchangePathEdit(true);
    if (::_waccess(InstallFolder.c_str(), 0) != 0) InstallFolder = ProgramFilesX86Folder();
    DownloadRoot = CommonDocumentsFolder();
    if (!StartSizeProbe()) PostToSetupWindow(WM_DOWN_ERROR, ::GetLastError(), DOWN_TAG_SYSTEM);
    return 0;
}

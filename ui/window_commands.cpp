// Close, minimise, hide to the notification area and back, and the end of the setup.
#include "app/language.h"
#include "ui/main_dlg.h"
#include "ui/rules/text_fit.h"

namespace {
template <size_t N>
void CopyField(wchar_t (&field)[N], const std::wstring& text) {
    const std::wstring fitted = setup::FitToField(text, N);
    fitted.copy(field, fitted.size());
    field[fitted.size()] = L'\0';
}
}  // namespace

LRESULT CMainDlg::OnCloseButton() {
    if (MessageBox(LoadLangString(L"STR_CLOSE_TIP"), LoadLangString(L"STR_SOFT_TIP"), MB_YESNO) == IDYES) {
        QuitSetup(SETUP_EXIT_CODE);
    }
    return 0;
}

LRESULT CMainDlg::OnClose() {
    if (SetupPhase == PHASE_INSTALLING) {
        ::ShowWindow(Handle(), SW_HIDE);  // back by itself when the installation is done
        return 0;
    }
    return OnCloseButton();
}

LRESULT CMainDlg::OnMinimizeButton() {
    ::ShowWindow(Handle(), SW_MINIMIZE);
    return 0;
}

LRESULT CMainDlg::OnHide() {
    ::ShowWindow(Handle(), SW_HIDE);
    trayIconShown_ = ::Shell_NotifyIconW(NIM_ADD, &TrayIconData) != FALSE;
    return 0;
}

LRESULT CMainDlg::OnTrayNotify(WPARAM id, LPARAM mouseMessage) {
    if (id == TRAY_ICON_ID && (mouseMessage == WM_LBUTTONUP || mouseMessage == WM_RBUTTONUP)) {
        ::ShowWindow(Handle(), SW_SHOWNORMAL);
        ::Shell_NotifyIconW(NIM_DELETE, &TrayIconData);
        trayIconShown_ = false;
    }
    return 0;
}

void CMainDlg::RemoveTrayIcon() {
    if (!trayIconShown_) return;
    ::Shell_NotifyIconW(NIM_DELETE, &TrayIconData);
    trayIconShown_ = false;
}

void CMainDlg::PrepareTrayIcon(HICON bigIcon) {
    const std::wstring project = LoadLangString(L"STR_PROJECT_NAME");
    const std::wstring tip = project + LoadLangString(L"STR_DOWNLOADING");
    const std::wstring balloon = LoadLangString(L"STR_BEING_INSTALLED");

    TrayIconData = NOTIFYICONDATAW{};
    TrayIconData.cbSize = sizeof(NOTIFYICONDATAW);
    TrayIconData.hWnd = Handle();
    TrayIconData.uID = TRAY_ICON_ID;
    TrayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
    TrayIconData.uCallbackMessage = WM_TRAY_NOTIFY;
    TrayIconData.hIcon = bigIcon;
    if (!smallIcon_) {
        smallIcon_ = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SETUP),
                                                     IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                     ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    }
    TrayIconData.hIcon = smallIcon_;
    CopyField(TrayIconData.szTip, tip);
    CopyField(TrayIconData.szInfo, balloon);
    CopyField(TrayIconData.szInfoTitle, project);
}

#include "ui/main_dlg.h"

#include <windowsx.h>

#include "winlib/app_module.h"

CMainDlg* MainDialog = nullptr;
std::wstring InstallFolder;

void PostToSetupWindow(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (MainDialog) ::PostMessageW(MainDialog->Handle(), msg, wParam, lParam);
}

CMainDlg::CMainDlg() = default;

CMainDlg::~CMainDlg() {
    if (smallIcon_) ::DestroyIcon(smallIcon_);
    if (bigIcon_) ::DestroyIcon(bigIcon_);
}

bool CMainDlg::ProcessWindowMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_INITDIALOG:     return Answer(result, OnInitDialog());
    case WM_DESTROY:        return Answer(result, OnDestroy());
    case WM_NCHITTEST:      return Answer(result, OnNcHitTest(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
    case WM_DOWN_PROGRESS:  return Answer(result, OnDownProgress(wParam, lParam));
    case WM_DOWN_SIZE:      return Answer(result, OnDownSize(lParam));
    case WM_CHUNK_DONE:     return Answer(result, OnChunkDone(lParam));
    case WM_DOWN_ERROR:     return Answer(result, OnDownError(wParam, lParam));
    case WM_INSTALL_DONE:   return Answer(result, OnInstallDone());
    case WM_CHUNK_WRITTEN:  return Answer(result, OnChunkWritten(lParam));
    case WM_TRAY_NOTIFY:    return Answer(result, OnTrayNotify(wParam, lParam));
    case WM_PAINT:          return Answer(result, OnPaint());
    case WM_CTLCOLORSTATIC: return Answer(result, OnCtlColorStatic(reinterpret_cast<HDC>(wParam),
                                                                   reinterpret_cast<HWND>(lParam)));
    case WM_TIMER:          return Answer(result, OnTimer());
    case WM_CLOSE:          return Answer(result, OnClose());
    case WM_COMMAND:
        switch (LOWORD(wParam)) {  // any notification code
        case IDC_CLOSE:     return Answer(result, OnCloseButton());
        case IDC_MINIMIZE:  return Answer(result, OnMinimizeButton());
        case IDC_INSTALL:   return Answer(result, OnInstall());
        case IDC_CUSTOMIZE: return Answer(result, OnCustomizeToggle());
        case IDC_AGREE:     return Answer(result, OnAgreeToggle());
        case IDC_LICENCE:   return Answer(result, OnLicenceLink());
        case IDC_HIDE:      return Answer(result, OnHide());
        case IDC_START_NOW: return Answer(result, OnStartNow());
        case IDC_BROWSE:    return Answer(result, OnBrowse());
        }
        break;
    }
    return false;  // reflected to the child that caused it, else default dialog processing
}

BOOL CMainDlg::PreTranslateMessage(MSG* msg) { return ::IsDialogMessageW(Handle(), msg); }

BOOL CMainDlg::OnIdle() { return FALSE; }  // the window keeps no state to refresh when idle

LRESULT CMainDlg::OnDestroy() {
    if (winlib::CMessageLoop* loop = winlib::AppModule.GetMessageLoop()) {
        loop->RemoveMessageFilter(this);
        loop->RemoveIdleHandler(this);
    }
    return 0;
}

void CMainDlg::QuitSetup(int exitCode) {
    RemoveTrayIcon();  // no ghost icon stays behind in the notification area
    SmallLogo.reset();
    LargeLogo.reset();
    PathFrame.reset();
    CurrentSlide = nullptr;
    Slides.clear();
    ::DestroyWindow(Handle());
    ::PostQuitMessage(exitCode);
}

int CMainDlg::MessageBox(const std::wstring& text, const std::wstring& caption, UINT type) {
    return ::MessageBoxW(Handle(), text.c_str(), caption.c_str(), type);
}

void CMainDlg::PlaceControl(int id, int x, int y, int width, int height) {
    ::SetWindowPos(::GetDlgItem(Handle(), id), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainDlg::ShowControl(int id, bool show) {
    ::ShowWindow(::GetDlgItem(Handle(), id), show ? SW_SHOW : SW_HIDE);
}

void CMainDlg::ResizeClient(int height) {
    ::SetWindowPos(Handle(), nullptr, 0, 0, WINDOW_WIDTH, height, SWP_NOMOVE | SWP_NOZORDER);
    // A shrinking window gets no paint of its own, but its frame has moved up.
    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

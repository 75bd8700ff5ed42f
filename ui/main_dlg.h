// The setup window: the program's only window and the owner of the whole state of a
// setup run, the download included. Worker threads never touch it; they post the
// messages of ui/messages.h to its handle, and its handlers take every decision.
#pragma once
#include <windows.h>
#include <gdiplus.h>
#include <shellapi.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/down_progress_bar.h"
#include "controls/edit_impl.h"
#include "controls/owner_draw_button.h"
#include "controls/select_state_button.h"
#include "engine/rules/retry_policy.h"
#include "engine/rules/write_order.h"
#include "ui/control_ids.h"
#include "ui/messages.h"
#include "winlib/dialog_impl.h"
#include "winlib/message_loop.h"
#include "engine/download_state.h"

enum SetupPhaseValue { PHASE_WELCOME = 0, PHASE_INSTALLING = 1, PHASE_FINISHED = 2 };

inline constexpr int WINDOW_WIDTH = 750;
inline constexpr int WELCOME_HEIGHT = 360;
inline constexpr int CUSTOMIZE_HEIGHT = 434;
inline constexpr UINT_PTR SLIDE_TIMER_ID = 3395;
inline constexpr UINT SLIDE_PERIOD_MS = 5000;
inline constexpr UINT TRAY_ICON_ID = 1;
inline constexpr int SETUP_EXIT_CODE = 1000;

class CMainDlg : public winlib::CDialogImplBase,
                 public winlib::CMessageFilter,
                 public winlib::CIdleHandler {
public:
    enum { IDD = IDD_SETUP };

    CMainDlg();
    ~CMainDlg() override;

    bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnIdle() override;

    // Ends the setup: releases the painted images, destroys the window, posts WM_QUIT.
    void QuitSetup(int exitCode);

    // --- page state and controls -------------------------------------------------
    int SetupPhase = PHASE_WELCOME;
    COwnerDrawButton CloseButton;
    COwnerDrawButton MinimizeButton;
    COwnerDrawButton InstallButton;
    COwnerDrawButton BrowseButton;
    CSelectStateButton AgreeBox;
    CSelectStateButton LicenceLink;
    CSelectStateButton CustomizeToggle;
    COwnerDrawButton HideButton;
    COwnerDrawButton StartNowButton;
    CDownProgressBarCtrl ProgressBar;
    CEditImpl PathEdit;
    HWND AgreeReminder = nullptr;
    HWND PercentLabel = nullptr;
    NOTIFYICONDATAW TrayIconData{};

    // --- images the window paints itself -------------------------------------------
    std::unique_ptr<Gdiplus::Image> SmallLogo;
    std::unique_ptr<Gdiplus::Image> LargeLogo;
    std::unique_ptr<Gdiplus::Image> PathFrame;
    std::vector<std::unique_ptr<Gdiplus::Image>> Slides;
    Gdiplus::Image* CurrentSlide = nullptr;

    // --- the running download ------------------------------------------------------
    DownloadChunk* Chunks = nullptr;
    std::uint32_t FileSize = 0;
    setup::WriteOrder Writer;     // NextToWrite and PendingParts
    setup::RetryPolicy Retries;   // RetryCount, ParkedParts, DoneCount, the error box
    int ShownPercent = -1;        // what the bar and the label show now

    int NextToWrite() const { return Writer.NextToWrite(); }
    int RetryCount() const { return Retries.RetryCount(); }
    int DoneCount() const { return Retries.DoneCount(); }

    // --- handlers (public so tests can drive them as the message map does) ---------
    BOOL OnInitDialog();
    LRESULT OnDestroy();
    LRESULT OnNcHitTest(int x, int y);
    LRESULT OnDownProgress(WPARAM percent, LPARAM bytes);
    LRESULT OnDownSize(LPARAM size);
    LRESULT OnChunkDone(LPARAM index);
    LRESULT OnDownError(WPARAM code, LPARAM tag);
    LRESULT OnInstallDone();
    LRESULT OnChunkWritten(LPARAM index);
    LRESULT OnTrayNotify(WPARAM id, LPARAM mouseMessage);
    LRESULT OnPaint();
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    LRESULT OnTimer();
    LRESULT OnClose();
    LRESULT OnCloseButton();
    LRESULT OnMinimizeButton();
    LRESULT OnInstall();
    LRESULT OnCustomizeToggle();
    LRESULT OnAgreeToggle();
    LRESULT OnLicenceLink();
    LRESULT OnHide();
    LRESULT OnStartNow();
    LRESULT OnBrowse();

    void PrepareTrayIcon(HICON bigIcon);
    bool CheckProductNotRunning(const std::wstring& processName);
    bool LoadSkinImage(int id, const wchar_t* type, Gdiplus::Image*& image);

private:
    void SwitchToWinHttp();
    void RestartPart(int index);
    void StartWriter(int index);
    void ShowFatalError(const std::wstring& text);
    void ShowPercent(int percent);
    bool LoadButtonImages(const std::vector<int>& ids, bool shareRepeats, ImageList& images);
    bool LoadOwnedImage(int id, std::unique_ptr<Gdiplus::Image>& owner);
    // Gives a skinned button its images, attaches it and places it ({x, y, width, height}).
    template <class Button>
    bool SkinButton(Button& button, int id, const std::vector<int>& imageIds, const RECT& place);
    // The data exchange of the path box: attaches it on the first load.
    void ExchangePathEdit(bool save);
    void PlaceControl(int id, int x, int y, int width, int height);
    void ShowControl(int id, bool show);
    void ResizeClient(int height);
    void RemoveTrayIcon();
    int MessageBox(const std::wstring& text, const std::wstring& caption, UINT type);

    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    bool trayIconShown_ = false;
};

// The one setup window, for the worker threads to post to; null until it is set up.
extern CMainDlg* MainDialog;
// Where the product is installed: the base folder given to the installer.
extern std::wstring InstallFolder;

// The Program Files (x86) folder, or empty when the shell cannot say.
std::wstring ProgramFilesX86Folder();

// Posts one of the protocol's messages to the setup window, if there is one.
void PostToSetupWindow(UINT msg, WPARAM wParam, LPARAM lParam);

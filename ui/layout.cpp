// Building the window once: size, icons, skin images, every control at its place.
#include <shlobj.h>

#include <algorithm>
#include <type_traits>

#include "app/language.h"
#include "app/shell_folder.h"
#include "app/rules/ui_language.h"
#include "ui/main_dlg.h"
#include "winlib/app_module.h"
#include "winlib/data_exchange.h"

namespace {

constexpr wchar_t kPng[] = L"PNG";

// Centres the window on the work area of its monitor, keeping it inside that area.
void CentreOnWorkArea(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    HMONITOR nearest = ::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (!nearest || !::GetMonitorInfoW(nearest, &monitor)) return;
    const RECT& area = monitor.rcWork;
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    if (x + width > area.right) x = area.right - width;
    if (y + height > area.bottom) y = area.bottom - height;
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HICON LoadProgramIcon(int widthMetric, int heightMetric) {
    return static_cast<HICON>(::LoadImageW(winlib::AppModule.GetResourceInstance(), MAKEINTRESOURCEW(IDI_SETUP),
                                           IMAGE_ICON, ::GetSystemMetrics(widthMetric),
                                           ::GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR));
}

// The page beneath a control, which erases it before each face is drawn: white in the
// 360-pixel page, the dialog face colour in the lower band (the customise panel).
HBRUSH PageBrushAt(const RECT& place) {
    if (place.top >= WELCOME_HEIGHT) return ::GetSysColorBrush(COLOR_BTNFACE);
    return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
}

}  // namespace

std::wstring ProgramFilesX86Folder() { return ShellFolderPath(CSIDL_PROGRAM_FILESX86); }

bool CMainDlg::LoadSkinImage(int id, const wchar_t* type, Gdiplus::Image*& image) {
    return ::LoadSkinImage(Handle(), id, type, image);
}

bool CMainDlg::LoadButtonImages(const std::vector<int>& ids, bool shareRepeats, ImageList& images) {
    std::vector<std::pair<int, Gdiplus::Image*>> loaded;
    for (int id : ids) {
        auto same = std::find_if(loaded.begin(), loaded.end(), [id](auto& entry) { return entry.first == id; });
        if (shareRepeats && same != loaded.end()) {
            images.push_back(same->second);
            continue;
        }
        Gdiplus::Image* image = nullptr;
        if (!LoadSkinImage(id, kPng, image)) return false;
        loaded.emplace_back(id, image);
        images.push_back(image);
    }
    return true;
}

template <class Button>
bool CMainDlg::SkinButton(Button& button, int id, const std::vector<int>& imageIds, const RECT& place) {
    // An image button shows one image object wherever its list repeats an id; a
    // two-state button gets an image of its own for each state.
    constexpr bool shareRepeats = std::is_same_v<Button, COwnerDrawButton>;
    ImageList images;
    if (!LoadButtonImages(imageIds, shareRepeats, images)) return false;
    button.SetImages(Handle(), images);
    button.SetBackground(PageBrushAt(place));
    button.SubclassWindow(::GetDlgItem(Handle(), id));
    PlaceControl(id, place.left, place.top, place.right, place.bottom);
    return true;
}

bool CMainDlg::LoadOwnedImage(int id, std::unique_ptr<Gdiplus::Image>& owner) {
    Gdiplus::Image* image = nullptr;
    if (!LoadSkinImage(id, kPng, image)) return false;
    owner.reset(image);
    return true;
}

// Rectangles below are {x, y, width, height} in client pixels.
BOOL CMainDlg::OnInitDialog() {
    HWND self = Handle();
    ::SetWindowPos(self, nullptr, 0, 0, WINDOW_WIDTH, WELCOME_HEIGHT, SWP_NOZORDER | SWP_NOMOVE);
    ::SetWindowLongPtrW(self, GWL_STYLE, ::GetWindowLongPtrW(self, GWL_STYLE) | WS_MINIMIZEBOX);
    CentreOnWorkArea(self);

    bigIcon_ = LoadProgramIcon(SM_CXICON, SM_CYICON);
    ::SendMessageW(self, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    smallIcon_ = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON);
    ::SendMessageW(self, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    if (winlib::CMessageLoop* loop = winlib::AppModule.GetMessageLoop()) {
        loop->AddMessageFilter(this);
        loop->AddIdleHandler(this);
    }

    Chunks = nullptr;
    MainDialog = this;
    Writer.Reset();
    Retries = setup::RetryPolicy{};  // RetryCount and DoneCount 0
    SetupPhase = PHASE_WELCOME;
    SmallLogo.reset();
    LargeLogo.reset();
    PathFrame.reset();

    if (!LoadOwnedImage(213, SmallLogo) || !LoadOwnedImage(214, LargeLogo) || !LoadOwnedImage(207, PathFrame)) {
        return FALSE;
    }
    for (int base : {353, 363, 373}) {
        std::unique_ptr<Gdiplus::Image> slide;
        if (!LoadOwnedImage(ImageLangOffset(base), slide)) return FALSE;
        Slides.push_back(std::move(slide));
    }
    CurrentSlide = Slides.front().get();

    const auto L = [](int base) { return ImageLangOffset(base); };
    if (!SkinButton(CloseButton, IDC_CLOSE, {239, 240, 239}, {690, 20, 20, 20}) ||
        !SkinButton(MinimizeButton, IDC_MINIMIZE, {243, 244, 243}, {660, 20, 20, 20}) ||
        !SkinButton(InstallButton, IDC_INSTALL, {L(333), L(343), L(323)}, {298, 235, 168, 46}) ||
        !SkinButton(AgreeBox, IDC_AGREE, {215, 202}, {20, 329, 11, 11}) ||
        !SkinButton(LicenceLink, IDC_LICENCE, {L(383), L(383)}, {42, 329, 390, 15}) ||
        !SkinButton(CustomizeToggle, IDC_CUSTOMIZE, {L(283), L(293)}, {541, 329, 180, 12})) {
        return FALSE;
    }

    AgreeReminder = ::GetDlgItem(self, IDC_AGREE_REMINDER);
    ::SetWindowTextW(AgreeReminder, LoadLangString(L"STR_AGREE").c_str());
    PlaceControl(IDC_AGREE_REMINDER, 20, 344, 350, 15);
    ShowControl(IDC_AGREE_REMINDER, false);

    if (!SkinButton(BrowseButton, IDC_BROWSE, {L(263), L(273), L(263)}, {581, 381, 90, 32})) return FALSE;
    if (!SkinButton(StartNowButton, IDC_START_NOW, {L(403), L(413), L(393)}, {298, 235, 168, 46})) return FALSE;
    ShowControl(IDC_START_NOW, false);
    if (!SkinButton(HideButton, IDC_HIDE, {L(303), L(313), L(303)}, {645, 317, 57, 26})) return FALSE;
    ShowControl(IDC_HIDE, false);

    ProgressBar.SubclassWindow(::GetDlgItem(self, IDC_PROGRESS));
    PlaceControl(IDC_PROGRESS, 48, 320, 540, 15);
    ShowControl(IDC_PROGRESS, false);
    // The bar owns the region. A rounded region leaves out its right and bottom edges,
    // so it is made one pixel larger to cover the whole 540 x 15 client rectangle.
    ::SetWindowRgn(ProgressBar, ::CreateRoundRectRgn(0, 0, 541, 16, 3, 3), TRUE);

    PercentLabel = ::GetDlgItem(self, IDC_PERCENT);
    PlaceControl(IDC_PERCENT, 599, 320, 30, 15);
    ShowControl(IDC_PERCENT, false);

    InstallFolder = ProgramFilesX86Folder();
    ExchangePathEdit(false);
    PlaceControl(IDC_PATH, 150, 388, 420, 22);

    ::SetDlgItemTextW(self, IDC_PATH_LABEL, LoadLangString(L"STR_INSTALL_PATH").c_str());
    const setup::PixelRect label = setup::PathLabelGeometry(::GetUserDefaultUILanguage());
    PlaceControl(IDC_PATH_LABEL, label.x, label.y, label.width, label.height);

    PrepareTrayIcon(bigIcon_);
    return TRUE;
}

void CMainDlg::ExchangePathEdit(bool save) {
    if (save) {
        winlib::SaveText(Handle(), IDC_PATH, InstallFolder);
        return;
    }
    if (!PathEdit.IsAttached()) PathEdit.SubclassWindow(::GetDlgItem(Handle(), IDC_PATH));
    winlib::LoadText(Handle(), IDC_PATH, InstallFolder);
}

// The window in the UI language that ctest gives it through the locale: after set-up,
// every control's place, visibility and images as the skin table says; then
// every page, with screenshots, the button faces read back from the screen, and the
// slide show.
#include <gtest/gtest.h>

#include "app/language.h"
#include "skin_support.h"

using namespace harness;
using namespace skin;
using namespace std::chrono_literals;

namespace {

constexpr int L = 1 << 16;  // marks an image id that takes the language offset

struct Expected {
    int id;
    const char* name;
    int x, y, width, height;
    bool shown;
    std::vector<int> images;  // base ids, | L when localised
};

// The skin table; PathLabel's place depends on the language.
std::vector<Expected> SkinTableFor(int uiLanguage) {
    Expected label{IDC_PATH_LABEL, "PathLabel", 42, 388, 100, 32, true, {}};
    if (uiLanguage == 1040 || uiLanguage == 1036) label = {IDC_PATH_LABEL, "PathLabel", 12, 388, 130, 32, true, {}};
    if (uiLanguage == 1028) label = {IDC_PATH_LABEL, "PathLabel", 82, 388, 60, 32, true, {}};
    return {
        {IDC_CLOSE, "CloseButton", 690, 20, 20, 20, true, {239, 240, 239}},
        {IDC_MINIMIZE, "MinimizeButton", 660, 20, 20, 20, true, {243, 244, 243}},
        {IDC_INSTALL, "InstallButton", 298, 235, 168, 46, true, {333 | L, 343 | L, 323 | L}},
        {IDC_AGREE, "AgreeBox", 20, 329, 11, 11, true, {215, 202}},
        {IDC_LICENCE, "LicenceLink", 42, 329, 390, 15, true, {383 | L, 383 | L}},
        {IDC_CUSTOMIZE, "CustomizeToggle", 541, 329, 180, 12, true, {283 | L, 293 | L}},
        {IDC_AGREE_REMINDER, "AgreeReminder", 20, 344, 350, 15, false, {}},
        {IDC_BROWSE, "BrowseButton", 581, 381, 90, 32, true, {263 | L, 273 | L, 263 | L}},
        {IDC_START_NOW, "StartNowButton", 298, 235, 168, 46, false, {403 | L, 413 | L, 393 | L}},
        {IDC_HIDE, "HideButton", 645, 317, 57, 26, false, {303 | L, 313 | L, 303 | L}},
        {IDC_PROGRESS, "ProgressBar", 48, 320, 540, 15, false, {}},
        {IDC_PERCENT, "PercentLabel", 599, 320, 30, 15, false, {}},
        {IDC_PATH, "PathEdit", 150, 388, 420, 22, true, {}},
        label,
    };
}

int Resolve(int image) { return (image & L) ? (image & ~L) + ExpectedOffset() : image; }

const ImageList* ImagesOf(CMainDlg& dlg, int id) {
    switch (id) {
    case IDC_CLOSE: return &dlg.CloseButton.Images();
    case IDC_MINIMIZE: return &dlg.MinimizeButton.Images();
    case IDC_INSTALL: return &dlg.InstallButton.Images();
    case IDC_AGREE: return &dlg.AgreeBox.Images();
    case IDC_LICENCE: return &dlg.LicenceLink.Images();
    case IDC_CUSTOMIZE: return &dlg.CustomizeToggle.Images();
    case IDC_BROWSE: return &dlg.BrowseButton.Images();
    case IDC_START_NOW: return &dlg.StartNowButton.Images();
    case IDC_HIDE: return &dlg.HideButton.Images();
    default: return nullptr;
    }
}

std::wstring Text(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

#define REQUIRE_LOCALE()                                                             \
    if (!ExpectedUiLanguage()) GTEST_SKIP() << "runs only with a locale set by ctest"; \
    ASSERT_EQ(::GetUserDefaultUILanguage(), ExpectedUiLanguage())

// After set-up: the window, every control's place, visibility and images, and the texts.
void ExpectSetUpAsTheSkinTableSays(SetupWindow& window) {
    CMainDlg& dlg = window.dlg;

    // The window: 750 x 360, a minimise box, centred in the work area, icons, welcome page.
    EXPECT_EQ(ClientSize(window.hwnd).cx, 750);
    EXPECT_EQ(ClientSize(window.hwnd).cy, 360);
    EXPECT_TRUE(::GetWindowLongPtrW(window.hwnd, GWL_STYLE) & WS_MINIMIZEBOX);
    RECT area{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const RECT placed = WindowRect(window.hwnd);
    EXPECT_LE(std::abs((placed.left - area.left) - (area.right - placed.right)), 1);
    EXPECT_LE(std::abs((placed.top - area.top) - (area.bottom - placed.bottom)), 1);
    EXPECT_NE(::SendMessageW(window.hwnd, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(::SendMessageW(window.hwnd, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_EQ(MainDialog, &dlg);
    EXPECT_EQ(dlg.SetupPhase, PHASE_WELCOME);
    EXPECT_EQ(dlg.AgreeBox.GetSelectState(), 0);
    EXPECT_EQ(dlg.CustomizeToggle.GetSelectState(), 0);

    // Every control: rectangle, visibility, images.
    for (const Expected& control : SkinTableFor(ExpectedUiLanguage())) {
        SCOPED_TRACE(control.name);
        const RECT rect = window.ChildRect(control.id);
        EXPECT_EQ(rect.left, control.x);
        EXPECT_EQ(rect.top, control.y);
        EXPECT_EQ(rect.right - rect.left, control.width);
        EXPECT_EQ(rect.bottom - rect.top, control.height);
        EXPECT_EQ(::IsWindowVisible(window.Item(control.id)) != FALSE, control.shown);
        const ImageList* images = ImagesOf(dlg, control.id);
        if (!images) continue;
        ASSERT_EQ(images->size(), control.images.size());
        for (size_t i = 0; i < images->size(); ++i) {
            const int id = Resolve(control.images[i]);
            EXPECT_TRUE(SamePixels((*images)[i], id)) << "entry " << i << " should be image " << id;
            // A repeated id is one image object in an image button's list; the two-state
            // buttons load every entry anew (the licence text twice).
            const bool twoState = control.id == IDC_AGREE || control.id == IDC_LICENCE || control.id == IDC_CUSTOMIZE;
            for (size_t j = 0; j < i; ++j) {
                const bool shared = !twoState && Resolve(control.images[j]) == id;
                EXPECT_EQ((*images)[j] == (*images)[i], shared) << "entries " << j << " and " << i;
            }
        }
    }
    // The images the window paints itself, and the slides in show order.
    EXPECT_TRUE(SamePixels(dlg.SmallLogo.get(), 213));
    EXPECT_TRUE(SamePixels(dlg.LargeLogo.get(), 214));
    EXPECT_TRUE(SamePixels(dlg.PathFrame.get(), 207));
    ASSERT_EQ(dlg.Slides.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(SamePixels(dlg.Slides[i].get(), Resolve((353 + 10 * static_cast<int>(i)) | L))) << "slide " << i;
    }
    EXPECT_EQ(dlg.CurrentSlide, dlg.Slides[0].get());

    // The Japanese and French cases.
    if (ExpectedUiLanguage() == 1041) {
        EXPECT_TRUE(SamePixels(dlg.InstallButton.Images()[2], 328));
        EXPECT_EQ(window.ChildRect(IDC_PATH_LABEL).left, 42);
    } else if (ExpectedUiLanguage() == 1036) {
        EXPECT_TRUE(SamePixels(dlg.InstallButton.Images()[2], 327));
        EXPECT_EQ(window.ChildRect(IDC_PATH_LABEL).left, 12);
    }

    // Texts, the default folder, and the progress bar's rounded region.
    EXPECT_EQ(Text(window.Item(IDC_AGREE_REMINDER)), LoadLangString(L"STR_AGREE"));
    EXPECT_EQ(Text(window.Item(IDC_PATH_LABEL)), LoadLangString(L"STR_INSTALL_PATH"));
    EXPECT_FALSE(InstallFolder.empty());
    EXPECT_EQ(InstallFolder, ProgramFilesX86Folder());
    EXPECT_EQ(Text(window.Item(IDC_PATH)), InstallFolder);
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(window.Item(IDC_PROGRESS), region), ERROR);
    RECT box{};
    ::GetRgnBox(region, &box);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 540);
    EXPECT_EQ(box.bottom, 15);
    EXPECT_FALSE(::PtInRegion(region, 0, 0)) << "rounded corners";
    EXPECT_TRUE(::PtInRegion(region, 270, 7));
    ::DeleteObject(region);

    // The notification-area icon data is prepared, not shown.
    EXPECT_EQ(dlg.TrayIconData.hWnd, window.hwnd);
    EXPECT_EQ(dlg.TrayIconData.uID, TRAY_ICON_ID);
    EXPECT_EQ(dlg.TrayIconData.uCallbackMessage, static_cast<UINT>(WM_TRAY_NOTIFY));
}

// The faces of the visible image controls, read back from the screen over the page
// colour beneath them: transparent corners show the page, not a grey box.
void ExpectCleanFaces(const Pixels& shot, SetupWindow& window,
                      const std::vector<std::tuple<int, Gdiplus::Image*, COLORREF>>& faces) {
    for (const auto& [id, image, beneath] : faces) {
        SCOPED_TRACE("control " + std::to_string(id));
        EXPECT_EQ(FaceMismatches(shot, window.ChildRect(id), image, beneath), 0);
    }
}

// Pixels of the slide area (inside the frame) that differ from `slide` stretched to 750 x 290.
int SlideDifference(const Pixels& shot, Gdiplus::Image* slide) {
    Surface expected(750, 290, RGB(255, 255, 255));
    DrawSkinImage(expected.dc(), slide, 0, 0, 750, 290);
    const Pixels drawn = expected.Read();
    int differing = 0;
    for (int y = 1; y < 290; ++y) {
        for (int x = 1; x < 749; ++x) {
            if (!Near(shot.at(x, y), drawn.at(x, y), 3)) ++differing;
        }
    }
    return differing;
}

}  // namespace

// Run by ctest once per locale (Localised.*), with the UI language a user of that locale has.
TEST(LocalisedWindow, SetUpAsTheSkinTableSaysAndEveryPageShowsCleanFaces) {
    REQUIRE_LOCALE();
    SetupWindow window;
    ASSERT_TRUE(window.Created());
    CMainDlg& dlg = window.dlg;
    ASSERT_NO_FATAL_FAILURE(ExpectSetUpAsTheSkinTableSays(window));

    const std::wstring tag = LanguageTag(ExpectedUiLanguage());
    const COLORREF white = RGB(255, 255, 255);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);

    Pixels shot = window.Capture();
    if (!tag.empty()) SaveScreenshot(window.hwnd, L"welcome-360-" + tag);
    ExpectCleanFaces(shot, window,
                     {{IDC_CLOSE, dlg.CloseButton.Images()[0], white},
                      {IDC_MINIMIZE, dlg.MinimizeButton.Images()[0], white},
                      {IDC_INSTALL, dlg.InstallButton.Images()[0], white},
                      {IDC_AGREE, dlg.AgreeBox.Images()[0], white},
                      {IDC_LICENCE, dlg.LicenceLink.Images()[0], white},
                      {IDC_CUSTOMIZE, dlg.CustomizeToggle.Images()[0], white}});
    // Hovered, a button is erased with the page's white before its new face is drawn.
    MoveMouseTo(ClientToScreenPoint(window.hwnd, 700, 30));
    ASSERT_TRUE(PumpUntil([&] { return dlg.CloseButton.GetState() == COwnerDrawButton::STATE_HOVER; }, 1s));
    ExpectCleanFaces(window.Capture(), window, {{IDC_CLOSE, dlg.CloseButton.Images()[1], white}});
    MouseAway();
    ASSERT_TRUE(PumpUntil([&] { return dlg.CloseButton.GetState() == COwnerDrawButton::STATE_NORMAL; }, 1s));

    window.PressCustomizeToggle();
    ASSERT_EQ(ClientSize(window.hwnd).cy, 434);
    shot = window.Capture();
    if (!tag.empty()) SaveScreenshot(window.hwnd, L"welcome-434-" + tag);
    ExpectCleanFaces(shot, window,
                     {{IDC_CUSTOMIZE, dlg.CustomizeToggle.Images()[1], white},
                      {IDC_BROWSE, dlg.BrowseButton.Images()[0], face}});

    window.PrepareInstallingPage();
    dlg.OnDownProgress(42, 0);
    shot = window.Capture();
    if (!tag.empty()) SaveScreenshot(window.hwnd, L"installing-" + tag);
    ExpectCleanFaces(shot, window, {{IDC_HIDE, dlg.HideButton.Images()[0], white}});

    // The slide show: each tick of the slide timer shows the next slide, the third is
    // followed by the first. (The English slides are one picture three times; the
    // localised ones differ, so there the pixels tell which slide is shown.)
    ASSERT_EQ(dlg.Slides.size(), 3u);
    const int few = 750 * 290 / 100;
    EXPECT_LT(SlideDifference(shot, dlg.Slides[0].get()), few) << "the first slide to begin with";
    for (size_t expected : {1u, 2u, 0u}) {
        ::SendMessageW(window.hwnd, WM_TIMER, SLIDE_TIMER_ID, 0);
        EXPECT_EQ(dlg.CurrentSlide, dlg.Slides[expected].get());
        shot = window.Capture();
        for (size_t other = 0; other < 3; ++other) {
            const int difference = SlideDifference(shot, dlg.Slides[other].get());
            if (other == expected) {
                EXPECT_LT(difference, few) << "slide " << expected << " is shown";
            } else if (Decode(dlg.Slides[other].get()) != Decode(dlg.Slides[expected].get())) {
                EXPECT_GT(difference, 3 * few) << "slide " << other << " is not shown";
            }
        }
    }
    ::SendMessageW(window.hwnd, WM_TIMER, 4242, 0);
    EXPECT_EQ(dlg.CurrentSlide, dlg.Slides[1].get()) << "any timer id advances the show";

    window.FinishInstall();
    shot = window.Capture();
    if (!tag.empty()) SaveScreenshot(window.hwnd, L"finished-" + tag);
    ExpectCleanFaces(shot, window,
                     {{IDC_CLOSE, dlg.CloseButton.Images()[0], white},
                      {IDC_MINIMIZE, dlg.MinimizeButton.Images()[0], white},
                      {IDC_START_NOW, dlg.StartNowButton.Images()[0], white}});
}

// Helpers of the skin tests: the skin table, decoded pixels of skin images, colour
// comparisons, the real mouse, and the setup window made the way setup.exe makes it.
#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "ui/main_dlg.h"

namespace skin {

// One row of tools/skin/skin_table.tsv (embedded at build time).
struct SkinRow {
    int id = 0, width = 0, height = 0;
    int colourType = 0, bitDepth = 0;  // as in the PNG header
    bool trns = false;                 // has a tRNS chunk
    int baseId = 0;
    std::string language;              // "-" for the images of every language
    std::string role;
};
const std::vector<SkinRow>& SkinTable();
const SkinRow* FindRow(int id);

// Non-premultiplied ARGB pixels (0xAARRGGBB), top-down.
struct Argb {
    int width = 0, height = 0;
    std::vector<UINT32> data;
    UINT32 at(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
    bool operator==(const Argb&) const = default;
};
Argb Decode(Gdiplus::Image* image);
// Skin image `id`, loaded by the test itself with LoadSkinImage; kept for the process.
Gdiplus::Image* TestImage(int id);
// Whether `image` has the size and the pixels of skin image `id`.
bool SamePixels(Gdiplus::Image* image, int id);

// The UI language and image offset that ctest set through the locale, 0 when none.
int ExpectedUiLanguage();
int ExpectedOffset();
// "en", "ja", ... for screenshot names; empty for a language without a skin of its own.
std::wstring LanguageTag(int uiLanguage);

bool Near(COLORREF a, COLORREF b, int tolerance = 2);
// `argb` blended over an opaque background colour.
COLORREF Blend(UINT32 argb, COLORREF background);
// Pixels of `shot` in `where` (client coordinates of the shot) that differ from `image`
// drawn at its own size over `background` by more than `tolerance` in any channel.
int FaceMismatches(const harness::Pixels& shot, const RECT& where, Gdiplus::Image* image,
                   COLORREF background, int tolerance = 3);
// Pixels of `shot` in `where` that are not `colour`.
int CountOther(const harness::Pixels& shot, const RECT& where, COLORREF colour, int tolerance = 0);
std::string Describe(COLORREF colour);

// A 32-bit memory drawing surface filled with one colour.
class Surface {
public:
    Surface(int width, int height, COLORREF fill);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    HDC dc() const { return dc_; }
    harness::Pixels Read() const;

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    RGBQUAD* bits_ = nullptr;
};

// The real left mouse button (through the X server), at a screen point.
void MouseDown(POINT screen);
void MouseUp(POINT screen);
// Moves the real mouse far from every window of the test.
void MouseAway();

// An object that lives until the process ends, for a window that does too.
//
// The tests leave their shown windows to the process end: under Xvfb, without a window
// manager, Wine waits 2 s for one whenever a shown top-level window is destroyed or
// hidden. The window's objects must then outlive every message, so they are never freed.
template <class T>
T& KeptToTheEnd() {
    return *new T;
}

// The setup window, created from template 129 and shown, as setup.exe does it, and left
// to the process end (see KeptToTheEnd); each new one comes up on top of the older ones.
class SetupWindow {
public:
    SetupWindow();
    SetupWindow(const SetupWindow&) = delete;
    SetupWindow& operator=(const SetupWindow&) = delete;

    bool Created() const { return hwnd != nullptr; }
    HWND Item(int id) const { return ::GetDlgItem(hwnd, id); }
    // A control's rectangle in the window's client coordinates.
    RECT ChildRect(int id) const;
    // Paints everything that is pending, then reads the client area from the screen.
    harness::Pixels Capture();
    // Lets pending paints and messages run.
    void Settle();

    // Opens or closes the customise panel through the real toggle (a press on it).
    void PressCustomizeToggle();
    // The installing page, prepared as the Install command leaves it (which needs a
    // network to get there): phase, controls, bar and percentage at 0, height 360.
    void PrepareInstallingPage();
    // The finished page, through the real handler of WM_INSTALL_DONE.
    void FinishInstall();

    CMainDlg& dlg;
    HWND hwnd = nullptr;
};

}  // namespace skin

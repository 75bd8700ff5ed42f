#include "skin_support.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "engine/rules/part_plan.h"
#include "skin_table_tsv.h"
#include "winlib/app_module.h"

using namespace harness;

namespace skin {

const std::vector<SkinRow>& SkinTable() {
    static const std::vector<SkinRow> rows = [] {
        std::vector<SkinRow> parsed;
        std::istringstream lines(kSkinTableTsv);
        std::string line;
        std::getline(lines, line);  // the header
        while (std::getline(lines, line)) {
            if (line.empty()) continue;
            std::istringstream fields(line);
            SkinRow row;
            std::string trns;
            fields >> row.id >> row.width >> row.height >> row.colourType >> row.bitDepth >> trns >> row.baseId >>
                row.language;
            fields.ignore(1);
            std::getline(fields, row.role);
            row.trns = trns == "yes";
            parsed.push_back(row);
        }
        return parsed;
    }();
    return rows;
}

const SkinRow* FindRow(int id) {
    for (const SkinRow& row : SkinTable()) {
        if (row.id == id) return &row;
    }
    return nullptr;
}

Argb Decode(Gdiplus::Image* image) {
    Argb pixels;
    if (!image || image->GetType() != Gdiplus::ImageTypeBitmap) return pixels;
    auto* bitmap = static_cast<Gdiplus::Bitmap*>(image);
    const int width = static_cast<int>(bitmap->GetWidth());
    const int height = static_cast<int>(bitmap->GetHeight());
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData data{};
    if (width <= 0 || height <= 0 ||
        bitmap->LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok) {
        return pixels;
    }
    pixels.width = width;
    pixels.height = height;
    pixels.data.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const UINT32*>(static_cast<const BYTE*>(data.Scan0) + y * data.Stride);
        std::copy(row, row + width, pixels.data.begin() + static_cast<size_t>(y) * width);
    }
    bitmap->UnlockBits(&data);
    return pixels;
}

Gdiplus::Image* TestImage(int id) {
    static std::map<int, Gdiplus::Image*> loaded;  // released with the process
    auto found = loaded.find(id);
    if (found != loaded.end()) return found->second;
    Gdiplus::Image* image = nullptr;
    if (!::LoadSkinImage(nullptr, id, L"PNG", image)) image = nullptr;
    loaded[id] = image;
    return image;
}

bool SamePixels(Gdiplus::Image* image, int id) {
    const Argb expected = Decode(TestImage(id));
    return expected.width > 0 && Decode(image) == expected;
}

int ExpectedUiLanguage() {
    const char* value = std::getenv("SETUP_EXPECT_UI_LANGUAGE");
    return value ? std::atoi(value) : 0;
}

int ExpectedOffset() {
    const char* value = std::getenv("SETUP_EXPECT_OFFSET");
    return value ? std::atoi(value) : 0;
}

std::wstring LanguageTag(int uiLanguage) {
    switch (uiLanguage) {
    case 1033: return L"en";
    case 1040: return L"it";
    case 1036: return L"fr";
    case 1041: return L"ja";
    case 1031: return L"de";
    case 1028: return L"zh-TW";
    default: return L"";  // no skin of its own
    }
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

COLORREF Blend(UINT32 argb, COLORREF background) {
    const int alpha = static_cast<int>(argb >> 24);
    auto mix = [alpha](int top, int bottom) { return (top * alpha + bottom * (255 - alpha) + 127) / 255; };
    return RGB(mix((argb >> 16) & 0xFF, GetRValue(background)), mix((argb >> 8) & 0xFF, GetGValue(background)),
               mix(argb & 0xFF, GetBValue(background)));
}

int FaceMismatches(const Pixels& shot, const RECT& where, Gdiplus::Image* image, COLORREF background,
                   int tolerance) {
    const Argb face = Decode(image);
    if (face.width != where.right - where.left || face.height != where.bottom - where.top) return -1;
    int mismatches = 0;
    for (int y = 0; y < face.height; ++y) {
        for (int x = 0; x < face.width; ++x) {
            const COLORREF seen = shot.at(where.left + x, where.top + y);
            if (!Near(seen, Blend(face.at(x, y), background), tolerance)) ++mismatches;
        }
    }
    return mismatches;
}

int CountOther(const Pixels& shot, const RECT& where, COLORREF colour, int tolerance) {
    int other = 0;
    for (int y = where.top; y < where.bottom; ++y) {
        for (int x = where.left; x < where.right; ++x) {
            if (!Near(shot.at(x, y), colour, tolerance)) ++other;
        }
    }
    return other;
}

std::string Describe(COLORREF colour) {
    char text[32];
    std::snprintf(text, sizeof text, "(%d, %d, %d)", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}

Surface::Surface(int width, int height, COLORREF fill) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc_ = ::CreateCompatibleDC(nullptr);
    bitmap_ = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = ::SelectObject(dc_, bitmap_);
    HBRUSH brush = ::CreateSolidBrush(fill);
    RECT all{0, 0, width, height};
    ::FillRect(dc_, &all, brush);
    ::DeleteObject(brush);
    ::GdiFlush();
}

Surface::~Surface() {
    ::SelectObject(dc_, old_);
    ::DeleteObject(bitmap_);
    ::DeleteDC(dc_);
}

Pixels Surface::Read() const {
    ::GdiFlush();
    Pixels pixels;
    pixels.width = width_;
    pixels.height = height_;
    pixels.data.reserve(static_cast<size_t>(width_) * height_);
    for (int i = 0; i < width_ * height_; ++i) {
        const RGBQUAD& q = bits_[i];
        pixels.data.push_back(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
    }
    return pixels;
}


void MouseDown(POINT screen) { harness::SendMouseAt(screen, MOUSEEVENTF_LEFTDOWN); }
void MouseUp(POINT screen) { harness::SendMouseAt(screen, MOUSEEVENTF_LEFTUP); }
void MouseAway() {
    MoveMouseTo(POINT{0, 0});
    Pump(std::chrono::milliseconds(60));
}

SetupWindow::SetupWindow() : dlg(KeptToTheEnd<CMainDlg>()) {
    MouseAway();  // no button under the cursor while the window comes up
    hwnd = dlg.Create(winlib::AppModule.GetResourceInstance(), CMainDlg::IDD, nullptr);
    if (!hwnd) return;
    ::ShowWindow(hwnd, SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd);
    Settle();
}

RECT SetupWindow::ChildRect(int id) const {
    RECT rect{};
    ::GetWindowRect(Item(id), &rect);
    ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void SetupWindow::Settle() {
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(std::chrono::milliseconds(150));
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

Pixels SetupWindow::Capture() {
    Settle();
    return CaptureClient(hwnd);
}

void SetupWindow::PressCustomizeToggle() {
    ::SendMessageW(Item(IDC_CUSTOMIZE), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageW(Item(IDC_CUSTOMIZE), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Settle();
}

void SetupWindow::PrepareInstallingPage() {
    // What OnInstall does once its checks have passed, up to the start of the probe.
    dlg.SetupPhase = PHASE_INSTALLING;
    ::SetWindowPos(hwnd, nullptr, 0, 0, WINDOW_WIDTH, WELCOME_HEIGHT, SWP_NOMOVE | SWP_NOZORDER);
    for (int id : {IDC_CLOSE, IDC_MINIMIZE, IDC_INSTALL, IDC_AGREE, IDC_LICENCE, IDC_CUSTOMIZE, IDC_AGREE_REMINDER}) {
        ::ShowWindow(Item(id), SW_HIDE);
    }
    ::ShowWindow(Item(IDC_PROGRESS), SW_SHOW);
    ::ShowWindow(Item(IDC_HIDE), SW_SHOW);
    ::SendMessageW(Item(IDC_PROGRESS), PBM_SETRANGE32, 0, 100);
    ::SendMessageW(Item(IDC_PROGRESS), PBM_SETPOS, 0, 0);
    ::SetWindowTextW(Item(IDC_PERCENT), setup::PercentText(0).c_str());
    ::ShowWindow(Item(IDC_PERCENT), SW_SHOW);
    ::InvalidateRect(hwnd, nullptr, TRUE);
    Settle();
}

void SetupWindow::FinishInstall() {
    ::SendMessageW(hwnd, WM_INSTALL_DONE, 0, 0);
    Settle();
}

}  // namespace skin

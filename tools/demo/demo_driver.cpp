// Drives setup.exe through its pages the way a person would when there is nobody at the
// virtual display: ticks the licence box, presses Install, waits for the finished page,
// presses Start Now, and saves a screenshot of every page on the way.
//   demo_driver.exe <setup.exe> <screenshot folder>
#include <windows.h>
#include <gdiplus.h>

#include <cstdio>
#include <string>

#include "harness.h"
#include "ui/control_ids.h"

using namespace harness;

namespace {


HWND FindProductWindow(std::chrono::milliseconds timeout) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = ::FindWindowW(L"TalvenorDemoProduct", nullptr)) != nullptr; }, timeout);
    return found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: demo_driver <setup.exe> <screenshot folder>\n");
        return 2;
    }
    _wputenv_s(L"SETUP_SCREENSHOTS", argv[2]);
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &gdiplusInput, nullptr);

    Process setup = Process::Start(argv[1]);
    HWND window = setup.FindMainWindow();
    if (!window) {
        std::fprintf(stderr, "the setup window did not appear\n");
        return 1;
    }
    ::Sleep(1000);
    SaveScreenshot(window, L"1-welcome");

    ClickControl(window, IDC_CUSTOMIZE);
    SaveScreenshot(window, L"2-customize");
    ClickControl(window, IDC_AGREE);
    ClickControl(window, IDC_INSTALL);
    ::Sleep(1500);
    SaveScreenshot(window, L"3-installing");

    if (!WaitUntil([&] { return ::IsWindowVisible(::GetDlgItem(window, IDC_START_NOW)) || !setup.Running(); }, 300s)) {
        std::fprintf(stderr, "the setup did not finish\n");
        return 1;
    }
    if (!setup.Running()) {
        std::fprintf(stderr, "the setup ended early with %lu\n", setup.Wait());
        return 1;
    }
    ::Sleep(1000);
    SaveScreenshot(window, L"4-finished");
    ClickControl(window, IDC_START_NOW);
    const DWORD exitCode = setup.Wait(30s);

    HWND product = FindProductWindow(30s);
    if (product) {
        ::Sleep(1000);
        SaveScreenshot(product, L"5-product");
        ::PostMessageW(product, WM_CLOSE, 0, 0);
    }
    std::printf("setup exit code %lu; product %s\n", exitCode, product ? "started" : "not found");
    Gdiplus::GdiplusShutdown(token);
    return exitCode == 1000 && product ? 0 : 1;
}

// The Wine test program: the process is prepared the way setup.exe prepares itself,
// so the product's window and controls can be created and driven in-process.
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include "app/language.h"
#include "winlib/app_module.h"

int wmain(int argc, wchar_t** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::CoInitialize(nullptr);
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
    StageLanguageFile();
    SelectLanguageFile();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    winlib::AppModule.Init(::GetModuleHandleW(nullptr));

    const int result = RUN_ALL_TESTS();

    winlib::AppModule.Term();
    Gdiplus::GdiplusShutdown(gdiplusToken);
    ::CoUninitialize();
    // Windows and threads the tests left behind end with the process.
    ::ExitProcess(static_cast<UINT>(result));
}

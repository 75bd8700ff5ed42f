#include "app/startup.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <objbase.h>

#include <memory>

#include "app/language.h"
#include "ui/main_dlg.h"
#include "winlib/app_module.h"
#include "winlib/handles.h"

namespace {
constexpr wchar_t kCompatibilityKey[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility Assistant\\Persisted";
}  // namespace

bool MarkCompatibilityPersisted() {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kCompatibilityKey, 0, KEY_READ | KEY_WRITE, &opened) !=
        ERROR_SUCCESS) {
        return false;  // never created: only recorded where the system keeps such records
    }
    winlib::UniqueRegKey key(opened);
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    const DWORD persisted = 1;
    return ::RegSetValueExW(key.get(), program, 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&persisted), sizeof persisted) == ERROR_SUCCESS;
}

int RunSetupWindow(int showCommand) {
    winlib::CMessageLoop loop;
    winlib::AppModule.AddMessageLoop(&loop);

    int quitCode = 0;
    auto dialog = std::make_unique<CMainDlg>();
    if (dialog->Create(winlib::AppModule.GetResourceInstance(), CMainDlg::IDD, nullptr)) {
        ::ShowWindow(dialog->Handle(), showCommand);
        quitCode = loop.Run();
    }
    winlib::AppModule.RemoveMessageLoop();
    dialog.reset();
    return quitCode;
}

int RunSetup(HINSTANCE instance, int showCommand) {
    ::CoInitialize(nullptr);
    Gdiplus::GdiplusStartupInput gdiplusInput;  // version 1, no callback, background thread
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
    MarkCompatibilityPersisted();
    StageLanguageFile();
    SelectLanguageFile();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    winlib::AppModule.Init(instance);

    const int quitCode = RunSetupWindow(showCommand);

    winlib::AppModule.Term();
    Gdiplus::GdiplusShutdown(gdiplusToken);
    ::CoUninitialize();
    return quitCode;
}

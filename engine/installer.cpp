// The hand-off: the finished file becomes the installer, runs silently into the chosen
// folder, is waited for and deleted.
#include "app/language.h"
#include "engine/rules/download_names.h"
#include "engine/rules/installer_command.h"
#include "engine/transport.h"
#include "ui/main_dlg.h"
#include "winlib/handles.h"

namespace {

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

DWORD WINAPI InstallerThread(void*) {
    const auto names = setup::MakeDownloadNames(LoadLangString(L"STR_DOWN_URL"));
    if (!names) {
        PostToSetupWindow(WM_DOWN_ERROR, 0, DOWN_TAG_URL);
        return 0;
    }
    const std::wstring installer = setup::InstallerFilePath(DownloadRoot, *names);
    if (Exists(installer) && !::DeleteFileW(installer.c_str())) {
        PostToSetupWindow(WM_DOWN_ERROR, ::GetLastError(), DOWN_TAG_SYSTEM);
        return 0;
    }
    if (!::MoveFileW(setup::TempFilePath(DownloadRoot, *names).c_str(), installer.c_str())) {
        PostToSetupWindow(WM_DOWN_ERROR, ::GetLastError(), DOWN_TAG_SYSTEM);
        return 0;
    }
    PostToSetupWindow(WM_DOWN_PROGRESS, 90, 0);

    std::wstring commandLine = setup::InstallerCommandLine(InstallFolder);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(installer.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                          nullptr, nullptr, &startup, &process)) {
        PostToSetupWindow(WM_DOWN_ERROR, ::GetLastError(), DOWN_TAG_SYSTEM);
        return 0;
    }
    winlib::UniqueKernelHandle thread(process.hThread);
    winlib::UniqueKernelHandle installing(process.hProcess);
    ::ResumeThread(thread.get());
    ::WaitForSingleObject(installing.get(), INFINITE);
    thread.reset();
    installing.reset();  // its exit code is the installer's own business

    PostToSetupWindow(WM_DOWN_PROGRESS, 100, 0);
    ::DeleteFileW(installer.c_str());
    PostToSetupWindow(WM_INSTALL_DONE, 0, 0);
    return 0;
}

}  // namespace

bool StartInstaller() { return StartDetachedThread(&InstallerThread, nullptr); }

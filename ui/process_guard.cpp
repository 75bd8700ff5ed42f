// Before installing: the product must not be running, since the installer replaces its files.
#include <windows.h>
#include <tlhelp32.h>

#include "app/language.h"
#include "ui/main_dlg.h"
#include "ui/rules/process_name.h"
#include "winlib/handles.h"

namespace {

// How many running processes have exactly this executable file name.
size_t CountRunning(const std::wstring& processName) {
    std::vector<DWORD> found;
    // A snapshot handle is invalid as INVALID_HANDLE_VALUE, like a file's.
    winlib::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;  // no snapshot counts as nothing running
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (setup::SameProcessName(entry.szExeFile, processName)) found.push_back(entry.th32ProcessID);
    }
    return found.size();
}

}  // namespace

bool CMainDlg::CheckProductNotRunning(const std::wstring& processName) {
    const std::wstring caption = LoadLangString(L"STR_SOFT_TIP");
    for (;;) {
        if (CountRunning(processName) == 0) return true;
        if (MessageBox(LoadLangString(L"STR_NOTICE_PROCESS1"), caption, MB_RETRYCANCEL) != IDRETRY) break;
        if (CountRunning(processName) == 0) return true;
        if (MessageBox(LoadLangString(L"STR_NOTICE_PROCESS2"), caption, MB_RETRYCANCEL) != IDRETRY) break;
    }
    QuitSetup(SETUP_EXIT_CODE);
    return false;
}

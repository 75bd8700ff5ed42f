// A stand-in for the installed product, Talvenor.exe.
//
// Started without "--wait" (the way Start Now starts the product), it writes what it
// was started with to "started.txt" next to its own file: UTF-16LE, two lines ending in
// CR LF, its current directory and then its whole command line. The file appears at
// once and complete (written under another name, then renamed).
//
// Started with "--wait" (the way the tests make "the product is running"), it does
// nothing and keeps running until it is ended, at most two minutes.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring commandLine = ::GetCommandLineW();
    if (commandLine.find(L"--wait") != std::wstring::npos) {
        ::Sleep(120000);
        return 0;
    }

    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder = self;
    folder.resize(folder.find_last_of(L'\\'));

    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);

    const std::wstring record = L"\xFEFF" + std::wstring(current) + L"\r\n" + commandLine + L"\r\n";
    const std::wstring partial = folder + L"\\started.tmp";
    HANDLE file = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    ::WriteFile(file, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
    return ::MoveFileExW(partial.c_str(), (folder + L"\\started.txt").c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

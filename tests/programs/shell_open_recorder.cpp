// Registered by a test as the program the shell runs to open an address of a scheme
// (HKCR\<scheme>\shell\open\command). It writes its whole command line to "opened.txt"
// next to its own file: UTF-16LE with a byte-order mark, then ends. The file appears at
// once and complete (written under another name, then renamed).
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder = self;
    folder.resize(folder.find_last_of(L'\\'));

    const std::wstring record = L"\xFEFF" + std::wstring(::GetCommandLineW());
    const std::wstring partial = folder + L"\\opened.tmp";
    HANDLE file = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    ::WriteFile(file, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
    return ::MoveFileExW(partial.c_str(), (folder + L"\\opened.txt").c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

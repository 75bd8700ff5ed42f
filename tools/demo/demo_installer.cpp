// The demo product's silent installer: `/Quorvane /verysilent /path="<folder>"` puts the
// product program at <folder>\Quorvane\Talvenor\Talvenor.exe. It shows nothing.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

namespace {

constexpr int kProductResource = 1;

// The folder after "/path=", as the standard argument rules read it.
std::wstring FolderArgument() {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::wstring folder;
    for (int i = 0; i < count; ++i) {
        const std::wstring argument = arguments[i];
        if (argument.rfind(L"/path=", 0) == 0) folder = argument.substr(6);
    }
    ::LocalFree(arguments);
    return folder;
}

bool WriteProduct(const std::wstring& path) {
    HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(kProductResource), RT_RCDATA);
    if (!resource) return false;
    const void* bytes = ::LockResource(::LoadResource(nullptr, resource));
    const DWORD size = ::SizeofResource(nullptr, resource);
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file, bytes, size, &written, nullptr) && written == size;
    ::CloseHandle(file);
    return ok;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::wstring folder = FolderArgument();
    if (folder.empty()) return 2;
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    const std::wstring productFolder = folder + L"\\Quorvane\\Talvenor";
    ::SHCreateDirectoryExW(nullptr, productFolder.c_str(), nullptr);
    return WriteProduct(productFolder + L"\\Talvenor.exe") ? 0 : 1;
}

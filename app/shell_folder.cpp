#include "app/shell_folder.h"

#include <windows.h>
#include <shlobj.h>

std::wstring ShellFolderPath(int csidl) {
    wchar_t path[MAX_PATH] = {};
    IMalloc* allocator = nullptr;
    if (FAILED(::SHGetMalloc(&allocator)) || !allocator) return path;
    LPITEMIDLIST items = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, csidl, &items)) && items) {
        ::SHGetPathFromIDListW(items, path);
        allocator->Free(items);
    }
    allocator->Release();
    return path;
}

#include "app/language.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "app/rules/program_name.h"
#include "app/rules/ui_language.h"
#include "winlib/handles.h"

namespace {

constexpr int kLanguageResourceId = 253;
constexpr wchar_t kLanguageSection[] = L"LANSTR";
constexpr wchar_t kLanguageName[] = L"English";

// Fixed before the window exists, read by every thread afterwards.
std::wstring SelectedLanguageFile;

std::wstring CommonAppDataFolder() {
    wchar_t path[MAX_PATH] = {};
    LPITEMIDLIST items = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_APPDATA, &items)) && items) {
        ::SHGetPathFromIDListW(items, path);
        ::CoTaskMemFree(items);
    }
    return path;
}

std::wstring ProgramFileName() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return ::PathFindFileNameW(path);
}

}  // namespace

std::wstring WorkFolder() {
    return CommonAppDataFolder() + L"\\QuorvaneDown\\" + setup::ProgramBaseName(ProgramFileName());
}

void StageLanguageFile() {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(kLanguageResourceId), L"INI");
    if (!resource) return;
    const DWORD size = ::SizeofResource(module, resource);
    HGLOBAL loaded = ::LoadResource(module, resource);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes) return;

    const std::wstring folder = WorkFolder();
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    winlib::UniqueFile file(::CreateFileW((folder + L"\\English.ini").c_str(), GENERIC_WRITE, 0,
                                          nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    ::WriteFile(file.get(), bytes, size, &written, nullptr);
}

void SelectLanguageFile() {
    SelectedLanguageFile = WorkFolder() + L"\\" + kLanguageName + L".ini";
}

void SelectLanguageFileForTesting(const std::wstring& path) { SelectedLanguageFile = path; }

std::wstring LoadLangString(const wchar_t* key) {
    wchar_t text[256] = {};
    const DWORD count = ::GetPrivateProfileStringW(kLanguageSection, key, L"", text, 256,
                                                   SelectedLanguageFile.c_str());
    return count ? std::wstring(text, count) : std::wstring();
}

int ImageLangOffset(int baseId) {
    return setup::LocalisedImageId(baseId, ::GetUserDefaultUILanguage());
}

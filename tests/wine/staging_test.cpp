// Start-up of the real program: the staged language file, the work folder's name and the
// compatibility record.
#include <shlobj.h>

#include <gtest/gtest.h>

#include "harness.h"

using namespace harness;

namespace {

constexpr wchar_t kCompatibilityKey[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility Assistant\\Persisted";

std::wstring CommonAppData() {
    wchar_t path[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path);
    return path;
}

std::string LanguageResourceOf(const std::wstring& program) {
    HMODULE module = ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return {};
    std::string bytes;
    if (HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(253), L"INI")) {
        const char* data = static_cast<const char*>(::LockResource(::LoadResource(module, resource)));
        bytes.assign(data, ::SizeofResource(module, resource));
    }
    ::FreeLibrary(module);
    return bytes;
}

// Copies setup.exe under another name and runs it hidden until it has staged its texts.
struct RenamedSetup {
    std::wstring program;
    std::wstring staged;

    RenamedSetup(const std::wstring& fileName, const std::wstring& baseName) {
        program = MakeTempFolder(L"renamed") + L"\\" + fileName;
        ::CopyFileW((BinaryFolder() + L"\\setup.exe").c_str(), program.c_str(), FALSE);
        staged = CommonAppData() + L"\\QuorvaneDown\\" + baseName + L"\\English.ini";
    }

    void RunUntilWindow() {
        Process setup = Process::Start(program, L"", SW_HIDE);
        ASSERT_TRUE(setup.Handle());
        // The window exists once start-up is through; with SW_HIDE it stays invisible.
        ASSERT_TRUE(setup.FindMainWindow(L"#32770", 20s, false));
        EXPECT_FALSE(::IsWindowVisible(setup.FindMainWindow(L"#32770", 1s, false)));
    }
};

}  // namespace

TEST(Staging, ProgramBaseNameNamesTheWorkFolderAndTheStagedBytesEqualTheResource) {
    struct Case { const wchar_t* fileName; const wchar_t* baseName; };
    for (const Case& c : {Case{L"a.b.exe", L"a.b"}, Case{L"websetup", L"websetup"}}) {
        SCOPED_TRACE(testing::Message() << "program " << std::string(c.fileName, c.fileName + wcslen(c.fileName)));
        RenamedSetup setup(c.fileName, c.baseName);
        ::DeleteFileW(setup.staged.c_str());
        setup.RunUntilWindow();
        const std::string resource = LanguageResourceOf(BinaryFolder() + L"\\setup.exe");
        ASSERT_FALSE(resource.empty());
        EXPECT_EQ(ReadFileBytes(setup.staged), resource);
    }
}

TEST(Staging, ADamagedCopyIsReplacedAtTheNextStart) {
    RenamedSetup setup(L"damaged.exe", L"damaged");
    setup.RunUntilWindow();
    ASSERT_TRUE(WriteFileBytes(setup.staged, std::string("\xff\xfe[LANSTR]\r\nSTR_SOFT_TIP=broken", 32)));
    setup.RunUntilWindow();
    EXPECT_EQ(ReadFileBytes(setup.staged), LanguageResourceOf(setup.program));
}

TEST(Staging, CompatibilityValueIsWrittenOnlyWhereTheKeyExists) {
    RenamedSetup setup(L"compat.exe", L"compat");
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kCompatibilityKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr), ERROR_SUCCESS);
    ::RegDeleteValueW(key, setup.program.c_str());
    setup.RunUntilWindow();
    DWORD type = 0, value = 0, size = sizeof value;
    EXPECT_EQ(::RegQueryValueExW(key, setup.program.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 1u);
    ::RegCloseKey(key);

    ASSERT_EQ(::RegDeleteKeyW(HKEY_CURRENT_USER, kCompatibilityKey), ERROR_SUCCESS);
    setup.RunUntilWindow();
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, kCompatibilityKey, 0, KEY_READ, &key), ERROR_SUCCESS)
        << "the key must never be created";
}

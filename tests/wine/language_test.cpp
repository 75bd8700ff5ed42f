// Looking texts up in the staged language file, and the skin ids of the UI language.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/language.h"
#include "harness.h"

using namespace harness;

namespace {

// Writes a language file the way the shipped one is written: UTF-16LE with a mark.
std::wstring WriteLanguageFile(const std::wstring& body) {
    const std::wstring path = MakeTempFolder(L"language") + L"\\Test.ini";
    std::string bytes = "\xff\xfe";
    for (wchar_t c : body) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    WriteFileBytes(path, bytes);
    return path;
}

class LanguageLookup : public testing::Test {
protected:
    void TearDown() override { SelectLanguageFile(); }
};

}  // namespace

TEST_F(LanguageLookup, ShippedTextsComeBackTrimmedAndWhole) {
    struct Case { const wchar_t* key; std::wstring text; };
    const Case cases[] = {
        {L"STR_SELECT_FOLDER", L"Select a folder"},  // blanks around "=" in the file
        {L"STR_SOFT_TIP", L"Talvenor Setup"},
        {L"STR_AGREE_INSTALL", L"Please agree  License Agreement \xFF01"},
        {L"STR_NOTICE_PROCESS1", L"Setup has detected that another Quorvane  Talvenor is currently running. "
                                 L"Please close all instances of it now."},
        {L"str_project_name", L"Talvenor"},  // keys match without regard to case
        {L"STR_NO_SUCH_KEY", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(LoadLangString(c.key), c.text);
    const std::wstring licence = LoadLangString(L"STR_LICENCE_URL");
    EXPECT_EQ(licence.rfind(L"https://", 0), 0u) << "the leading blank must not reach the caller";
}

TEST_F(LanguageLookup, LongValuesAreCutTo255AndMissingFilesGiveEmptyTexts) {
    const std::wstring value(300, L'x');
    SelectLanguageFileForTesting(WriteLanguageFile(L"[LANSTR]\r\nSTR_LONG=" + value + L"\r\nSTR_EMPTY=\r\n"));
    EXPECT_EQ(LoadLangString(L"STR_LONG"), value.substr(0, 255));
    EXPECT_EQ(LoadLangString(L"STR_EMPTY"), L"");

    SelectLanguageFileForTesting(MakeTempFolder(L"language") + L"\\Missing.ini");
    EXPECT_EQ(LoadLangString(L"STR_SOFT_TIP"), L"");
}

TEST_F(LanguageLookup, WorkFolderEndsWithTheProgramBaseName) {
    const std::wstring folder = WorkFolder();
    const std::wstring suffix = L"\\QuorvaneDown\\wine_tests";
    ASSERT_GE(folder.size(), suffix.size());
    EXPECT_EQ(folder.substr(folder.size() - suffix.size()), suffix);
}

// Run by ctest once per locale, with the UI language the locale gives a user.
TEST(LocalisedImages, OffsetFollowsTheUserInterfaceLanguage) {
    const char* expected = std::getenv("SETUP_EXPECT_UI_LANGUAGE");
    if (!expected) GTEST_SKIP() << "runs only with a locale set by ctest";
    ASSERT_EQ(::GetUserDefaultUILanguage(), std::atoi(expected));
    EXPECT_EQ(ImageLangOffset(323), 323 + std::atoi(std::getenv("SETUP_EXPECT_OFFSET")));
    EXPECT_EQ(ImageLangOffset(213), 213 + std::atoi(std::getenv("SETUP_EXPECT_OFFSET")));
}

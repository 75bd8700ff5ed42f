#include "engine/rules/download_names.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

struct NamesCase {
    const wchar_t* url;
    const wchar_t* stem;
    const wchar_t* fileName;
};

TEST(MakeDownloadNames, StemKeepsItsDotAndFileNameIsTheLastSegment) {
    const NamesCase cases[] = {
        {L"https://dl.example.com/dl/setup.exe", L"setup.", L"setup.exe"},
        {L"https://dl.example.com/dl/my.app.exe", L"my.app.", L"my.app.exe"},
        {L"http://host:8080/v1.2/tool.tar.gz", L"tool.tar.", L"tool.tar.gz"},
        {L"https://host/.exe", L".", L".exe"},
    };
    for (const auto& c : cases) {
        const auto names = MakeDownloadNames(c.url);
        ASSERT_TRUE(names.has_value()) << "url index " << (&c - cases);
        EXPECT_EQ(names->stem, c.stem);
        EXPECT_EQ(names->fileName, c.fileName);
    }
}

TEST(MakeDownloadNames, FailsWithoutAUsableFileName) {
    const wchar_t* bad[] = {
        L"setup.exe",                         // no "/"
        L"https://dl.example.com/dl/setup",   // dot only in the host
        L"https://host/v1.2/setup",           // dot only in a folder name
        L"https://host/dl/",                  // nothing after the last "/"
        L"https://host/dl/setup.exe?x=a.b",   // query string: "?" cannot be in a file name
        L"https://host/dl/a.exe?token=1",
        L"https://host/dl/..\\..\\evil.exe",  // "\" would leave the download folder
        L"https://host/dl/c:evil.exe",
        L"https://host/dl/a\"b.exe",
        L"https://host/dl/a*.exe",
        L"https://host/dl/..",                // Windows strips trailing dots
        L"https://host/dl/setup.",
        L"https://host/dl/setup.exe ",
    };
    for (const wchar_t* url : bad) {
        EXPECT_FALSE(MakeDownloadNames(url).has_value()) << "accepted a bad name";
    }
}

TEST(DownloadPaths, TemporaryAndInstallerFilesShareTheQuorvaneFolder) {
    const DownloadNames names{L"my.app.", L"my.app.exe"};
    const std::wstring root = L"C:\\Users\\Public\\Documents";
    EXPECT_EQ(DownloadFolderPath(root), L"C:\\Users\\Public\\Documents\\Quorvane");
    EXPECT_EQ(TempFilePath(root, names), L"C:\\Users\\Public\\Documents\\Quorvane\\my.app.down");
    EXPECT_EQ(InstallerFilePath(root, names),
              L"C:\\Users\\Public\\Documents\\Quorvane\\my.app.exe");
    // An unknown documents folder falls back to the root of the current drive.
    EXPECT_EQ(TempFilePath(L"", names), L"\\Quorvane\\my.app.down");
}

}  // namespace
}  // namespace setup

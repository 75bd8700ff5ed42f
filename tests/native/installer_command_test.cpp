#include "engine/rules/installer_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace setup {
namespace {

// The argument splitting of CommandLineToArgvW and the C runtime, for the
// parts this command line uses: blanks separate arguments outside quotes;
// 2n backslashes before a quote give n backslashes and the quote toggles
// quoting; 2n+1 give n backslashes and a literal quote; other backslashes
// are literal.
std::vector<std::wstring> SplitLikeWindows(const std::wstring& line) {
    std::vector<std::wstring> args;
    std::wstring current;
    bool inQuotes = false;
    bool hasArg = false;
    for (std::size_t i = 0; i < line.size();) {
        const wchar_t c = line[i];
        if (c == L'\\') {
            std::size_t n = 0;
            while (i < line.size() && line[i] == L'\\') { ++n; ++i; }
            if (i < line.size() && line[i] == L'"') {
                current.append(n / 2, L'\\');
                if (n % 2 == 1) { current += L'"'; ++i; }
            } else {
                current.append(n, L'\\');
            }
            hasArg = true;
        } else if (c == L'"') {
            inQuotes = !inQuotes;
            hasArg = true;
            ++i;
        } else if ((c == L' ' || c == L'\t') && !inQuotes) {
            if (hasArg) args.push_back(current);
            current.clear();
            hasArg = false;
            ++i;
        } else {
            current += c;
            hasArg = true;
            ++i;
        }
    }
    if (hasArg) args.push_back(current);
    return args;
}

struct CommandCase {
    const wchar_t* folder;
    const wchar_t* line;
};

TEST(InstallerCommandLine, InstallerReceivesExactlyTheFolder) {
    const CommandCase cases[] = {
        {L"D:\\Apps\\Tool", L"  /Quorvane /verysilent /path=\"D:\\Apps\\Tool\""},
        {L"C:\\Program Files (x86)", L"  /Quorvane /verysilent /path=\"C:\\Program Files (x86)\""},
        {L"D:\\", L"  /Quorvane /verysilent /path=\"D:\\\\\""},
        {L"D:\\My Apps\\", L"  /Quorvane /verysilent /path=\"D:\\My Apps\\\\\""},
        {L"\\\\server\\share\\\\", L"  /Quorvane /verysilent /path=\"\\\\server\\share\\\\\\\\\""},
        {L"", L"  /Quorvane /verysilent /path=\"\""},
    };
    for (const auto& c : cases) {
        const std::wstring line = InstallerCommandLine(c.folder);
        EXPECT_EQ(line, c.line) << "case " << (&c - cases);
        const std::vector<std::wstring> expected = {
            L"/Quorvane", L"/verysilent", std::wstring(L"/path=") + c.folder};
        EXPECT_EQ(SplitLikeWindows(line), expected) << "case " << (&c - cases);
    }
}

}  // namespace
}  // namespace setup

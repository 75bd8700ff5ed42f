#include "app/rules/program_name.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

TEST(ProgramBaseName, CutsAtTheLastDot) {
    const struct {
        const wchar_t* fileName;
        const wchar_t* base;
    } cases[] = {
        {L"websetup.exe", L"websetup"},
        {L"a.b.exe", L"a.b"},
        {L"websetup", L"websetup"},
        {L"setup (2).EXE", L"setup (2)"},
        {L"setup.", L"setup"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProgramBaseName(c.fileName), c.base) << "case " << (&c - cases);
    }
}

}  // namespace
}  // namespace setup

#include "ui/rules/process_name.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

struct NameCase {
    const wchar_t* running;
    const wchar_t* wanted;
    bool same;
};

TEST(SameProcessName, FoldsOnlyAsciiLetters) {
    const NameCase cases[] = {
        {L"Talvenor.exe", L"Talvenor.exe", true},
        {L"TALVENOR.EXE", L"Talvenor.exe", true},
        {L"talvenor.exe", L"TaLvEnOr.ExE", true},
        {L"\u00C9t\u00E9.exe", L"\u00C9t\u00E9.exe", true},
        {L"\u00E9t\u00E9.exe", L"\u00C9t\u00E9.exe", false},  // accented letters keep their case
        {L"\u00C9T\u00C9.EXE", L"\u00C9t\u00E9.exe", false},
        {L"Talvenor.exe.exe", L"Talvenor.exe", false},       // longer name
        {L"MyTalvenor.exe", L"Talvenor.exe", false},
        {L"Talvenor.ex", L"Talvenor.exe", false},
        {L"Talvenor", L"Talvenor.exe", false},               // no extension
        {L"Talvenor.exe", L"Talvenor", false},
        {L"Talvenor[exe", L"Talvenor{exe", false},           // '[' and '{' are 0x20 apart
        {L"Talvenor@exe", L"Talvenor`exe", false},
        {L"", L"", false},                                    // empty never matches
        {L"Talvenor.exe", L"", false},
        {L"", L"Talvenor.exe", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameProcessName(c.running, c.wanted), c.same) << "case " << (&c - cases);
    }
}

}  // namespace
}  // namespace setup

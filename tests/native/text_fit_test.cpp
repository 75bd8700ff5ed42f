#include "ui/rules/text_fit.h"

#include <gtest/gtest.h>

#include <string>

namespace setup {
namespace {

struct FitCase {
    std::wstring text;
    std::size_t capacity;
    std::wstring fitted;
};

TEST(FitToField, LeavesRoomForTheTerminatorAndCutsWholeCharacters) {
    const std::wstring high(1, static_cast<wchar_t>(0xD83D));
    const std::wstring low(1, static_cast<wchar_t>(0xDE00));
    const std::wstring pair = high + low;
    const FitCase cases[] = {
        {L"Talvenor", 64, L"Talvenor"},
        {L"abcd", 5, L"abcd"},            // exactly fits with its terminator
        {L"abcde", 5, L"abcd"},
        {L"abc" + pair + L"x", 5, L"abc"},  // the cut would split the pair
        {L"ab" + pair + L"x", 5, L"ab" + pair},
        {pair, 2, L""},
        {L"abc" + low + L"x", 5, L"abc" + low},  // a low surrogate at the end is kept
        {L"", 1, L""},
        {L"abc", 1, L""},
        {L"abc", 0, L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FitToField(c.text, c.capacity), c.fitted) << "case " << (&c - cases);
    }
}

TEST(FitToField, FitsTheTrayFields) {
    const std::wstring longText(300, L'x');
    EXPECT_EQ(FitToField(longText, 128).size(), 127u);
    EXPECT_EQ(FitToField(longText, 256).size(), 255u);
    EXPECT_EQ(FitToField(longText, 64).size(), 63u);
}

}  // namespace
}  // namespace setup

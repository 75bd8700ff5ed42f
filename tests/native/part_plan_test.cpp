#include "engine/rules/part_plan.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace setup {
namespace {

TEST(IsSupportedInstallerSize, OneByteUpToTwoGigabytesLessOne) {
    EXPECT_FALSE(IsSupportedInstallerSize(0));
    EXPECT_TRUE(IsSupportedInstallerSize(1));
    EXPECT_TRUE(IsSupportedInstallerSize(0x7FFFFFFFu));
    EXPECT_FALSE(IsSupportedInstallerSize(0x80000000u));
    EXPECT_FALSE(IsSupportedInstallerSize(0xFFFFFFFFu));
    EXPECT_FALSE(IsSupportedInstallerSize(0x100000000ull));
}

struct PlanCase {
    std::uint32_t size;
    std::uint32_t regular;  // length of parts 0..38
    std::uint32_t last;     // length of part 39
};

TEST(PlanParts, PartsAreContiguousAndTheLastTakesTheRemainder) {
    const PlanCase cases[] = {
        {40000000, 1000000, 1000000},
        {1000003, 25000, 25003},
        {79, 1, 40},
        {39, 0, 39},
        {1, 0, 1},
        {0x7FFFFFFF, 53687091, 53687098},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const auto parts = PlanParts(c.size);
        std::uint64_t expectedOffset = 0;
        for (int i = 0; i < PART_COUNT; ++i) {
            EXPECT_EQ(parts[i].offset, expectedOffset) << "part " << i;
            EXPECT_EQ(parts[i].length, i == PART_COUNT - 1 ? c.last : c.regular) << "part " << i;
            expectedOffset += parts[i].length;
        }
        EXPECT_EQ(expectedOffset, c.size);
    }
}

TEST(PlanParts, TinyFilesNeedOnlyTheLastPartRequested) {
    for (std::uint32_t size : {1u, 39u}) {
        const auto parts = PlanParts(size);
        for (int i = 0; i < PART_COUNT - 1; ++i) {
            EXPECT_FALSE(PartNeedsRequest(parts[i], 0)) << size << " part " << i;
            EXPECT_EQ(RangeHeader(parts[i], 0), L"") << size << " part " << i;
        }
        EXPECT_TRUE(PartNeedsRequest(parts[PART_COUNT - 1], 0));
        EXPECT_EQ(RangeHeader(parts[PART_COUNT - 1], 0),
                  L"Range:bytes=0-" + std::to_wstring(size - 1));
    }
}

struct RangeCase {
    std::uint32_t size;
    int part;
    std::uint32_t received;
    const wchar_t* header;
};

TEST(RangeHeader, AsksForTheBytesThePartStillLacks) {
    const RangeCase cases[] = {
        {40000000, 0, 0, L"Range:bytes=0-999999"},
        {40000000, 39, 0, L"Range:bytes=39000000-39999999"},
        {1000003, 39, 0, L"Range:bytes=975000-1000002"},
        {1000003, 1, 0, L"Range:bytes=25000-49999"},
        {1000003, 1, 10000, L"Range:bytes=35000-49999"},  // resumed part
        {1000003, 1, 24999, L"Range:bytes=49999-49999"},  // one byte left
        {0x7FFFFFFF, 39, 0, L"Range:bytes=2093796549-2147483646"},
    };
    for (const auto& c : cases) {
        const auto parts = PlanParts(c.size);
        EXPECT_EQ(RangeHeader(parts[c.part], c.received), c.header)
            << c.size << " part " << c.part << " received " << c.received;
    }
}

TEST(RangeHeader, CompletePartAsksForNothing) {
    const PartSpan part{25000, 25000};
    EXPECT_FALSE(PartNeedsRequest(part, 25000));
    EXPECT_EQ(RangeHeader(part, 25000), L"");
    EXPECT_TRUE(PartNeedsRequest(part, 24999));
}

struct PercentCase {
    std::uint64_t received;
    std::uint32_t size;
    int percent;
};

TEST(ProgressPercent, DownloadFillsTheBarUpToEightyAtMost) {
    const PercentCase cases[] = {
        {0, 40000000, 0},
        {20000000, 40000000, 40},
        {40000000, 40000000, 80},
        {39999999, 40000000, 79},
        {1, 1, 80},   // floor(1 * 10 / 8) = 1 would give 100
        {3, 3, 80},   // would give 100
        {5, 5, 80},   // would give 83
        {4, 5, 66},   // floor(50 / 8) = 6 is the divisor
        {13, 13, 80}, // would give 81
        {0x7FFFFFFF, 0x7FFFFFFF, 80},  // size*10 needs more than 32 bits
        {0x40000000, 0x7FFFFFFF, 40},
        {0, 0, 0},                     // divisor 0
        {12345, 0, 0},
        {0xFFFFFFFFFFFFFFFFull, 40, 80},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProgressPercent(c.received, c.size), c.percent)
            << c.received << " of " << c.size;
    }
}

TEST(PercentText, DigitsPercentAndOneBlank) {
    EXPECT_EQ(PercentText(40), L"40% ");
    EXPECT_EQ(PercentText(0), L"0% ");
    EXPECT_EQ(PercentText(100), L"100% ");
}

}  // namespace
}  // namespace setup

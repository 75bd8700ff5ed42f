#include "engine/rules/http_checks.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

TEST(ProbeResponseUsable, OnlyOkWithALength) {
    EXPECT_TRUE(ProbeResponseUsable(200, true));
    EXPECT_FALSE(ProbeResponseUsable(200, false));
    for (unsigned status : {0u, 204u, 206u, 301u, 304u, 404u, 500u}) {
        EXPECT_FALSE(ProbeResponseUsable(status, true)) << status;
    }
}

struct RangeParse {
    const wchar_t* header;
    std::uint64_t first, last, total;
    bool totalKnown;
};

TEST(ParseContentRange, ReadsBothForms) {
    const RangeParse cases[] = {
        {L"bytes 0-99/1000", 0, 99, 1000, true},
        {L"bytes 0-99/*", 0, 99, 0, false},
        {L"  bytes 975000-1000002/1000003\t", 975000, 1000002, 1000003, true},
        {L"Bytes 5-5/6", 5, 5, 6, true},
        {L"bytes 2093796549-2147483646/2147483647", 2093796549, 2147483646, 2147483647, true},
        {L"bytes 0-4294967296/4294967297", 0, 4294967296, 4294967297, true},
    };
    for (const auto& c : cases) {
        const auto range = ParseContentRange(c.header);
        ASSERT_TRUE(range.has_value()) << "case " << (&c - cases);
        EXPECT_EQ(range->first, c.first);
        EXPECT_EQ(range->last, c.last);
        EXPECT_EQ(range->totalKnown, c.totalKnown);
        if (c.totalKnown) {
            EXPECT_EQ(range->total, c.total);
        }
    }
}

TEST(ParseContentRange, RejectsAnythingElse) {
    const wchar_t* bad[] = {
        L"",
        L"bytes",
        L"bytes */1000",          // unsatisfied range: no bytes follow
        L"bytes 0-99",
        L"bytes 0-99/",
        L"bytes 0-/1000",
        L"bytes -99/1000",
        L"bytes=0-99/1000",
        L"bytes  0-99/1000",
        L"bytes 0 -99/1000",
        L"bytes 0-99 /1000",
        L"bytes +0-99/1000",
        L"bytes 0-99/1000x",
        L"bytes 0-99/1000 1",
        L"bytes 0-99/**",
        L"bytes 99-0/1000",        // reversed
        L"bytes 0-1000/1000",      // past the end
        L"items 0-99/1000",
        L"bytes 0-99/99999999999999999999999",  // overflow
    };
    for (const wchar_t* header : bad) {
        EXPECT_FALSE(ParseContentRange(header).has_value()) << "accepted a bad range";
    }
}

struct PartResponse {
    unsigned status;
    const wchar_t* contentRange;
    bool usable;
};

TEST(PartResponseUsable, OnlyPartialContentWithTheRangeAskedFor) {
    // Asked for bytes 35000-49999 (a resumed part) of the 1000003 bytes the probe reported.
    const PartResponse cases[] = {
        {206, L"bytes 35000-49999/1000003", true},
        {206, L"bytes 35000-49999/*", true},
        {200, L"", false},                           // Range ignored: the whole file
        {200, L"bytes 35000-49999/1000003", false},
        {404, L"", false},                           // error page
        {416, L"bytes */1000003", false},
        {206, L"", false},
        {206, L"bytes 25000-49999/1000003", false},  // restarted from the part's start
        {206, L"bytes 35000-49998/1000003", false},  // shorter
        {206, L"bytes 35000-50000/1000003", false},  // longer: would overrun the buffer
        {206, L"bytes 0-999/1000003", false},
        {206, L"bytes 35000-49999/104857603", false},  // the file changed since the probe
        {206, L"bytes 35000-49999/1000002", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PartResponseUsable(c.status, c.contentRange, 35000, 49999, 1000003), c.usable)
            << "case " << (&c - cases);
    }
}

}  // namespace
}  // namespace setup

#include "engine/rules/retry_policy.h"

#include <gtest/gtest.h>

#include <vector>

namespace setup {
namespace {

using A = ErrorAction;

// Feeds `count` failures with `tag` and expects every one to give `action`.
void ExpectRun(RetryPolicy& policy, int tag, int count, ErrorAction action) {
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(policy.OnError(tag), action) << "failure " << i + 1 << " of tag " << tag;
    }
}

TEST(RetryPolicy, FortyOneImmediateRestartsThenParking) {
    RetryPolicy policy;
    ExpectRun(policy, 7, 41, A::RestartPart);
    EXPECT_EQ(policy.RetryCount(), 41);
    EXPECT_EQ(policy.OnError(12), A::Park);
    EXPECT_EQ(policy.OnError(3), A::Park);
    EXPECT_EQ(policy.ParkedParts(), (std::vector<int>{12, 3}));
    EXPECT_FALSE(policy.ErrorShown());
}

TEST(RetryPolicy, ProgressRestoresTheBudgetAndReleasesParkedParts) {
    RetryPolicy policy;
    ExpectRun(policy, 0, 41, A::RestartPart);
    ExpectRun(policy, 5, 1, A::Park);
    ExpectRun(policy, 2, 1, A::Park);
    EXPECT_EQ(policy.OnProgress(), (std::vector<int>{5, 2}));
    EXPECT_TRUE(policy.ParkedParts().empty());
    EXPECT_EQ(policy.RetryCount(), 0);
    EXPECT_TRUE(policy.OnProgress().empty());
    // A full budget again.
    ExpectRun(policy, 5, 41, A::RestartPart);
    ExpectRun(policy, 5, 1, A::Park);
}

TEST(RetryPolicy, NetworkErrorOnlyWhenNoPartIsLeftRunning) {
    RetryPolicy policy;
    for (int i = 0; i < 38; ++i) policy.OnPartDone();
    ExpectRun(policy, 38, 41, A::RestartPart);
    ExpectRun(policy, 38, 1, A::Park);  // part 39 still runs
    EXPECT_EQ(policy.OnError(39), A::ShowNetworkError);
    EXPECT_TRUE(policy.ErrorShown());
}

TEST(RetryPolicy, LastPartFailingAfterThirtyNineDoneGivesUp) {
    RetryPolicy policy;
    for (int i = 0; i < 39; ++i) policy.OnPartDone();
    EXPECT_EQ(policy.DoneCount(), 39);
    ExpectRun(policy, 39, 41, A::RestartPart);
    EXPECT_EQ(policy.OnError(39), A::ShowNetworkError);
}

TEST(RetryPolicy, ProbeGetsFortyTwoAttemptsPerStackAndOneSwitch) {
    RetryPolicy policy;
    ExpectRun(policy, DOWN_TAG_PROBE, 41, A::RestartProbe);
    EXPECT_EQ(policy.OnError(DOWN_TAG_PROBE), A::SwitchToWinHttp);
    EXPECT_FALSE(policy.UseWinHttp());
    policy.OnSwitchToWinHttp();
    EXPECT_TRUE(policy.UseWinHttp());
    EXPECT_EQ(policy.RetryCount(), 0);
    ExpectRun(policy, DOWN_TAG_PROBE, 41, A::RestartProbe);
    EXPECT_EQ(policy.OnError(DOWN_TAG_PROBE), A::ShowNetworkError);
    EXPECT_EQ(policy.OnError(DOWN_TAG_PROBE), A::Ignore);
}

TEST(RetryPolicy, SwitchForgetsPartsCountedDone) {
    RetryPolicy policy;
    for (int i = 0; i < 39; ++i) policy.OnPartDone();
    policy.OnSwitchToWinHttp();
    EXPECT_EQ(policy.DoneCount(), 0);
    ExpectRun(policy, 39, 41, A::RestartPart);
    EXPECT_EQ(policy.OnError(39), A::Park);
}

TEST(RetryPolicy, UrlAndSystemErrorsEndAtOnceWhateverTheBudget) {
    for (int tag : {DOWN_TAG_URL, DOWN_TAG_SYSTEM}) {
        const A box = tag == DOWN_TAG_URL ? A::ShowUrlError : A::ShowSystemError;
        for (int failuresBefore : {0, 60}) {
            RetryPolicy policy;
            for (int i = 0; i < failuresBefore; ++i) policy.OnError(i % 40);
            EXPECT_EQ(policy.OnError(tag), box) << tag << " after " << failuresBefore;
            EXPECT_TRUE(policy.ErrorShown());
        }
    }
}

TEST(RetryPolicy, EverythingIsIgnoredAfterTheFirstBox) {
    const int firstBoxTags[] = {DOWN_TAG_URL, DOWN_TAG_SYSTEM};
    for (int first : firstBoxTags) {
        RetryPolicy policy;
        policy.OnError(first);
        for (int tag : {0, 39, DOWN_TAG_PROBE, DOWN_TAG_SYSTEM, DOWN_TAG_URL, 40, -1}) {
            EXPECT_EQ(policy.OnError(tag), A::Ignore) << "tag " << tag << " after " << first;
        }
        EXPECT_EQ(policy.RetryCount(), 0);
        EXPECT_TRUE(policy.ParkedParts().empty());
    }
}

TEST(RetryPolicy, UnknownTagsAreIgnoredWithoutSpendingTheBudget) {
    RetryPolicy policy;
    for (int tag : {40, 44, -1, 1000}) {
        EXPECT_EQ(policy.OnError(tag), A::Ignore) << tag;
    }
    EXPECT_EQ(policy.RetryCount(), 0);
    ExpectRun(policy, 1, 41, A::RestartPart);
    EXPECT_EQ(policy.OnError(40), A::Ignore);  // past the budget too: not parked
    EXPECT_TRUE(policy.ParkedParts().empty());
    EXPECT_FALSE(policy.ErrorShown());
}

}  // namespace
}  // namespace setup

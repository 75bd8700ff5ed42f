#include "engine/rules/write_order.h"

#include <gtest/gtest.h>

#include <vector>

namespace setup {
namespace {

// Drives the writer bookkeeping the way the window does: a part whose
// writer is started is written at once, and the next one is started if the
// bookkeeping says so. Returns the parts in the order they were written.
std::vector<int> WriteInCompletionOrder(WriteOrder& order, const std::vector<int>& completions,
                                        bool* finished) {
    std::vector<int> written;
    *finished = false;
    for (int done : completions) {
        std::optional<int> start = order.OnPartDone(done);
        while (start) {
            written.push_back(*start);
            const auto result = order.OnPartWritten(*start);
            EXPECT_NE(result.kind, WriteOrder::Written::WrongIndex);
            start.reset();
            if (result.kind == WriteOrder::Written::StartNext) start = result.next;
            if (result.kind == WriteOrder::Written::Finished) *finished = true;
        }
    }
    return written;
}

std::vector<int> AllParts() {
    std::vector<int> parts;
    for (int i = 0; i < 40; ++i) parts.push_back(i);
    return parts;
}

TEST(WriteOrder, PartsCompletingOutOfOrderAreWrittenInOrder) {
    WriteOrder order;
    EXPECT_FALSE(order.OnPartDone(2).has_value());
    EXPECT_EQ(order.PendingParts(), std::vector<int>{2});
    EXPECT_EQ(order.OnPartDone(0), 0);

    auto written = order.OnPartWritten(0);
    EXPECT_EQ(written.kind, WriteOrder::Written::WaitForNext);
    EXPECT_EQ(order.NextToWrite(), 1);

    EXPECT_EQ(order.OnPartDone(1), 1);
    written = order.OnPartWritten(1);
    EXPECT_EQ(written.kind, WriteOrder::Written::StartNext);
    EXPECT_EQ(written.next, 2);
    EXPECT_TRUE(order.PendingParts().empty());
}

TEST(WriteOrder, AnyCompletionOrderWritesZeroToThirtyNineOnce) {
    std::vector<int> reversed;
    for (int i = 39; i >= 0; --i) reversed.push_back(i);
    std::vector<int> mixed = {5, 1, 39, 0, 3, 2};
    for (int i = 4; i < 39; ++i) {
        if (i != 5) mixed.push_back(i);
    }
    for (const auto& completions : {AllParts(), reversed, mixed}) {
        WriteOrder order;
        bool finished = false;
        EXPECT_EQ(WriteInCompletionOrder(order, completions, &finished), AllParts());
        EXPECT_TRUE(finished);
        EXPECT_TRUE(order.PendingParts().empty());
        EXPECT_EQ(order.NextToWrite(), 39);
    }
}

TEST(WriteOrder, ReverseCompletionQueuesThirtyNineParts) {
    WriteOrder order;
    for (int i = 39; i >= 1; --i) EXPECT_FALSE(order.OnPartDone(i).has_value());
    EXPECT_EQ(order.PendingParts().size(), 39u);
    EXPECT_EQ(order.PendingParts().front(), 39);
    EXPECT_EQ(order.OnPartDone(0), 0);
}

TEST(WriteOrder, TakingAPartFromTheQueueKeepsTheOthersInOrder) {
    WriteOrder order;
    for (int i : {4, 1, 3}) order.OnPartDone(i);
    order.OnPartDone(0);
    const auto written = order.OnPartWritten(0);
    EXPECT_EQ(written.kind, WriteOrder::Written::StartNext);
    EXPECT_EQ(written.next, 1);
    EXPECT_EQ(order.PendingParts(), (std::vector<int>{4, 3}));
}

TEST(WriteOrder, WrongIndexChangesNothing) {
    WriteOrder order;
    order.OnPartDone(3);
    order.OnPartDone(0);
    for (int wrong : {1, 3, 39, -1}) {
        EXPECT_EQ(order.OnPartWritten(wrong).kind, WriteOrder::Written::WrongIndex) << wrong;
    }
    EXPECT_EQ(order.NextToWrite(), 0);
    EXPECT_EQ(order.PendingParts(), std::vector<int>{3});
}

TEST(WriteOrder, NothingMoreAfterTheLastPartAndResetStartsOver) {
    WriteOrder order;
    bool finished = false;
    WriteInCompletionOrder(order, AllParts(), &finished);
    ASSERT_TRUE(finished);
    // A repeated report must not start the installer a second time.
    EXPECT_EQ(order.OnPartWritten(39).kind, WriteOrder::Written::WrongIndex);

    order.Reset();
    EXPECT_EQ(order.NextToWrite(), 0);
    EXPECT_EQ(order.OnPartDone(0), 0);
    EXPECT_EQ(order.OnPartWritten(0).kind, WriteOrder::Written::WaitForNext);
}

TEST(WriteOrder, IndexesOutsideThePartTableAreIgnored) {
    WriteOrder order;
    for (int bad : {-1, 40, 41}) EXPECT_FALSE(order.OnPartDone(bad).has_value());
    EXPECT_TRUE(order.PendingParts().empty());
}

}  // namespace
}  // namespace setup

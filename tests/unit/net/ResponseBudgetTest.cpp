#include "net/ResponseBudget.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace trawl {
namespace {

TEST(ResponseBudget, LeasesGrowInStepsUpToTheLimitAndGiveEverythingBack)
{
    ResponseBudget budget(1000000);
    {
        ResponseLease lease(&budget);
        ASSERT_TRUE(lease.Cover(10));
        EXPECT_EQ(lease.held(), std::size_t{64} << 10); // a first step, not ten bytes
        ASSERT_TRUE(lease.Cover(lease.held() + 1));
        EXPECT_EQ(lease.held(), std::size_t{128} << 10); // doubled
        ASSERT_TRUE(lease.Cover(900000));
        EXPECT_GE(lease.held(), 900000u);

        ResponseLease second(&budget);
        const std::size_t left = budget.limit() - budget.drawn();
        EXPECT_FALSE(second.Cover(left + 1));
        EXPECT_EQ(second.held(), 0u); // a refused draw takes nothing
        EXPECT_TRUE(second.Cover(left)); // the rest, though less than a step, is given
        EXPECT_EQ(budget.drawn(), budget.limit());
        EXPECT_FALSE(lease.Cover(lease.held() + 1));

        ResponseLease late(&budget); // a spent budget still gives a response its first step
        EXPECT_TRUE(late.Cover(4096));
        EXPECT_FALSE(late.Cover(late.held() + 1));
    }
    EXPECT_EQ(budget.drawn(), 0u);
    EXPECT_EQ(budget.peak(), budget.limit() + (std::size_t{64} << 10));

    ResponseLease unlimited(nullptr);
    EXPECT_TRUE(unlimited.Cover(std::size_t{1} << 40));
}

TEST(ResponseBudget, TwelveThreadsDrawingAtOnceNeverHoldMoreThanTheLimitAndTheirFirstSteps)
{
    ResponseBudget budget(std::size_t{4} << 20);
    const std::size_t bound = budget.limit() + 12 * (std::size_t{64} << 10);
    std::vector<std::thread> threads;
    for (int t = 0; t < 12; ++t) {
        threads.emplace_back([&budget, bound, t] {
            for (int round = 0; round < 300; ++round) {
                ResponseLease lease(&budget);
                std::size_t want = std::size_t{4096} * static_cast<std::size_t>(1 + (t * 7 + round) % 97);
                while (lease.Cover(want) && want < budget.limit()) {
                    EXPECT_LE(budget.drawn(), bound);
                    want *= 3;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(budget.drawn(), 0u);
    EXPECT_LE(budget.peak(), bound);
    EXPECT_GT(budget.peak(), budget.limit() / 2); // the leases reached far into it
}

} // namespace
} // namespace trawl

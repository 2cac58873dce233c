#include "app/WaitFlag.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace trawl {
namespace {

using Steady = std::chrono::steady_clock;

TEST(WaitFlagTest, ReturnsAtOnceForARaisedFlagAndTimesOutOnAQuietOne)
{
    std::atomic<int> flag{0};
    const auto start = Steady::now();
    EXPECT_FALSE(WaitOnFlag(flag, 30));
    EXPECT_GE(Steady::now() - start, std::chrono::milliseconds(30));

    flag.store(-1); // any value but 0 counts
    EXPECT_TRUE(WaitOnFlag(flag, 60'000));
}

// The waits below are a minute long: only a wake (or the slice re-check) can end them, so a lost
// wake-up shows as a hung test rather than a slow one.
TEST(WaitFlagTest, RaisingWakesEveryWaiter)
{
    std::atomic<int> flag{0};
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int k = 0; k < 4; ++k) {
        waiters.emplace_back([&] {
            if (WaitOnFlag(flag, 60'000)) {
                woken.fetch_add(1);
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let them reach the kernel wait
    const auto raised = Steady::now();
    RaiseFlag(flag);
    for (std::thread& t : waiters) {
        t.join();
    }
    EXPECT_EQ(woken.load(), 4);
    EXPECT_LT(Steady::now() - raised, std::chrono::seconds(10));
}

TEST(WaitFlagTest, APlainStoreIsSeenWithinTheSliceToo)
{
    std::atomic<int> flag{0};
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        flag.store(1); // no wake: the waiter finds it on its next slice
    });
    EXPECT_TRUE(WaitOnFlag(flag, 60'000));
    setter.join();
}

} // namespace
} // namespace trawl

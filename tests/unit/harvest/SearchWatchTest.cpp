#include "harvest/SearchWatch.h"

#include "app/Clock.h"
#include "support/Doubles.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace trawl {
namespace {

bool Eventually(const std::function<bool()>& condition)
{
    for (int i = 0; i < 2000 && !condition(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

TEST(SearchWatch, is_due_once_after_its_minutes_on_the_clock_and_never_sooner_than_ten)
{
    test::FakeClock clock;
    std::atomic<int> due{0};
    std::atomic<std::int64_t> dueAt{0};
    SearchWatch watch(clock, [&] {
        dueAt.store(clock.ElapsedMs());
        due.fetch_add(1);
    });
    EXPECT_EQ(watch.RemainingMs(), std::nullopt);
    watch.Arm(3); // asked for less than the least: ten minutes
    ASSERT_TRUE(Eventually([&] { return due.load() == 1; }));
    EXPECT_GE(dueAt.load(), 10 * 60 * 1000);
    EXPECT_LT(dueAt.load(), 10 * 60 * 1000 + 1000);
    EXPECT_EQ(watch.RemainingMs(), std::nullopt); // once: not again until armed again
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(due.load(), 1);

    watch.Arm(30);
    ASSERT_TRUE(Eventually([&] { return due.load() == 2; }));
    EXPECT_GE(dueAt.load(), (10 + 30) * 60 * 1000);
}

TEST(SearchWatch, disarmed_it_stays_quiet_and_it_stops_at_once_whatever_it_waits_for)
{
    SystemClock clock; // real time: a day's wait must not hold the window's close
    std::atomic<int> due{0};
    const auto start = std::chrono::steady_clock::now();
    {
        SearchWatch watch(clock, [&] { due.fetch_add(1); });
        watch.Arm(24 * 60);
        const auto remaining = watch.RemainingMs();
        ASSERT_TRUE(remaining.has_value());
        EXPECT_GT(*remaining, 23 * 60 * 60 * 1000);
        watch.Disarm();
        EXPECT_EQ(watch.RemainingMs(), std::nullopt);
        watch.Arm(24 * 60);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(due.load(), 0);
}

} // namespace
} // namespace trawl

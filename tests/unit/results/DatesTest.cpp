#include "results/Dates.h"

#include "support/Doubles.h"

#include <gtest/gtest.h>

namespace trawl {
namespace {

TEST(MonthNumber, reads_the_first_three_letters_in_any_case)
{
    EXPECT_EQ(MonthNumber("Jan"), 1);
    EXPECT_EQ(MonthNumber("Mar"), 3);
    EXPECT_EQ(MonthNumber("MARCH"), 3);
    EXPECT_EQ(MonthNumber("march"), 3);
    EXPECT_EQ(MonthNumber("sEpTember"), 9);
    EXPECT_EQ(MonthNumber("Dec"), 12);
    EXPECT_EQ(MonthNumber("de"), 0);
    EXPECT_EQ(MonthNumber(""), 0);
    EXPECT_EQ(MonthNumber("Mai"), 0);
    EXPECT_EQ(MonthNumber(" Mar"), 0);
    EXPECT_EQ(MonthNumber("M\xc3\xa4r"), 0);
}

TEST(DiscardCutoff, goes_back_two_calendar_months_keeping_the_day)
{
    EXPECT_EQ(DiscardCutoff(LocalDate{2024, 1, 10}), "2023-11-10");
    EXPECT_EQ(DiscardCutoff(LocalDate{2024, 2, 29}), "2023-12-29");
    EXPECT_EQ(DiscardCutoff(LocalDate{2024, 3, 31}), "2024-01-31");
    EXPECT_EQ(DiscardCutoff(LocalDate{2024, 4, 30}), "2024-02-30");
    EXPECT_EQ(DiscardCutoff(LocalDate{2024, 12, 1}), "2024-10-01");
    EXPECT_EQ(DiscardCutoff(LocalDate{205, 2, 3}), "0204-12-03");
}

TEST(DiscardCutoff, takes_today_from_the_clock)
{
    test::FakeClock clock;
    clock.SetToday(LocalDate{2024, 3, 15});
    const std::string cutoff = DiscardCutoff(clock);
    EXPECT_EQ(cutoff, "2024-01-15");
    // A result dated on the cut-off is not old; the day before is.
    EXPECT_FALSE(std::string("2024-01-15") < cutoff);
    EXPECT_TRUE(std::string("2024-01-14") < cutoff);
    EXPECT_TRUE(std::string("2024-01-15") < DiscardCutoff(LocalDate{2024, 4, 30}));
}

} // namespace
} // namespace trawl

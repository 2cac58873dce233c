#include "sitesim/AdPages.h"
#include "sitesim/SearchPages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace trawl {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(SamplePages, same_seed_same_pages_other_seed_other_pages)
{
    const auto a = sitesim::InventAds(11, 5, "x.craigslist.org", "bike");
    const auto b = sitesim::InventAds(11, 5, "x.craigslist.org", "bike");
    const auto c = sitesim::InventAds(12, 5, "x.craigslist.org", "bike");
    EXPECT_EQ(sitesim::CraigslistSearchFeed(a), sitesim::CraigslistSearchFeed(b));
    EXPECT_NE(sitesim::CraigslistSearchFeed(a), sitesim::CraigslistSearchFeed(c));
    EXPECT_EQ(sitesim::KijijiAdPage({.seed = 4}), sitesim::KijijiAdPage({.seed = 4}));
    EXPECT_NE(sitesim::KijijiAdPage({.seed = 4}), sitesim::KijijiAdPage({.seed = 5}));
    EXPECT_GE(sitesim::AdBodyText({.bodyLength = 300}).size(), 300u);
}

TEST(SamplePages, dates_walk_back_over_month_and_year_ends)
{
    EXPECT_EQ(sitesim::IsoDate(sitesim::DaysBefore({2024, 3, 1}, 1)), "2024-02-29");
    EXPECT_EQ(sitesim::IsoDate(sitesim::DaysBefore({2023, 1, 2}, 3)), "2022-12-30");
    EXPECT_EQ(sitesim::Rfc822Date({2024, 3, 5}), "Tue, 05 Mar 2024 10:30:00 GMT");
    EXPECT_EQ(sitesim::Rfc822Date({2000, 1, 1}), "Sat, 01 Jan 2000 10:30:00 GMT");
}

TEST(SamplePages, knobs_show_in_the_pages)
{
    EXPECT_THAT(sitesim::CraigslistAdPage({.mailto = false}), Not(HasSubstr("mailto:")));
    EXPECT_THAT(sitesim::CraigslistAdPage({.expired = true}), HasSubstr("This posting has expired."));
    EXPECT_THAT(sitesim::KijijiCanadaAdPage({.picture = false}), Not(HasSubstr("title='Zoom'>")));
    auto ads = sitesim::InventAds(1, 120, "boston.kijiji.com");
    EXPECT_THAT(sitesim::KijijiResultPage(ads), HasSubstr("Showing 1-99 of 120"));
    EXPECT_THAT(sitesim::KijijiCanadaSearchFeed(ads, {.cdata = true}), HasSubstr("<title><![CDATA["));
}

} // namespace
} // namespace trawl

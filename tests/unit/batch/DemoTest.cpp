#include "app/Settings.h"
#include "batch/Demo.h"
#include "harvest/FeedAddress.h"
#include "refdata/ReferenceTables.h"
#include "sitesim/DemoSites.h"

#include <gtest/gtest.h>

namespace trawl {
namespace {

using sitesim::DemoSearch;
using sitesim::ParseDemoSearch;

TEST(DemoSitesAddresses, every_search_address_the_program_builds_is_understood)
{
    const Settings settings = Settings::Defaults();
    struct Case {
        const char* city;
        const char* section;
        DemoSearch::Kind kind;
        const char* sectionSeen;
    };
    const Case cases[] = {
        {"sfbay.craigslist.org", "bik", DemoSearch::Kind::CraigslistFeed, "bik"},
        {"http://toronto.kijiji.ca/", "644\\bikes", DemoSearch::Kind::KijijiCanadaFeed, "644"},
        {"boston.kijiji.com", "644\\bikes", DemoSearch::Kind::KijijiResultPage, "644"},
    };
    for (const Case& c : cases) {
        const FeedRequest request = BuildFeedRequest("red wagon", c.city, c.section, settings);
        const DemoSearch search = ParseDemoSearch(request.host, request.path);
        EXPECT_EQ(search.kind, c.kind) << request.host << request.path;
        EXPECT_EQ(search.section, c.sectionSeen);
        EXPECT_EQ(search.term, "red wagon");
    }
}

TEST(DemoSearchDefinition, picks_a_few_cities_and_sections_of_both_sites_from_the_lists)
{
    ReferenceTables tables;
    tables.CLCityTable = {{"EU", "NL", "Netherlands", "Default", "amsterdam.craigslist.org"},
                          {"US", "US", "United States", "SF bay area", "sfbay.craigslist.org"},
                          {"US", "US", "United States", "boston", "boston.craigslist.org"},
                          {"US", "US", "United States", "austin", "austin.craigslist.org"}};
    tables.CLSectionTable = {{"sss", "sss", "for sale"}, {"sss", "bik", "bicycles"}, {"sss", "fur", "furniture"}};
    tables.KJCityTable = {{"United States", "MA", "Boston", "boston.kijiji.com"},
                          {"United States", "NY", "New York", "newyork.kijiji.com"},
                          {"Canada", "Ontario", "Toronto", "toronto.kijiji.ca"}};
    tables.KJSectionTable = {{"Buy and Sell", "10", "buy-sell", "Buy and Sell"},
                             {"Buy and Sell", "644", "bikes", "Bikes"},
                             {"Buy and Sell", "235", "furniture", "Furniture"}};
    const SearchDefinition search = DemoSearchDefinition(tables);
    EXPECT_EQ(search.Name, "demo");
    EXPECT_EQ(search.Terms, "bike,table");
    // Real cities before a country's default site, sections rather than their group.
    EXPECT_EQ(search.CLCityKeys, "sfbay.craigslist.org,boston.craigslist.org");
    EXPECT_EQ(search.CLSectionKeys, "bik,fur");
    // A Canadian city (a feed) and one elsewhere (a result page).
    EXPECT_EQ(search.KJCityKeys, "toronto.kijiji.ca,boston.kijiji.com");
    EXPECT_EQ(search.KJSectionKeys, "644\\bikes,235\\furniture");
}

TEST(DemoSearchDefinition, small_lists_give_what_they_have)
{
    ReferenceTables tables;
    tables.CLCityTable = {{"EU", "NL", "Netherlands", "Default", "amsterdam.craigslist.org"}};
    tables.CLSectionTable = {{"sss", "sss", "for sale"}};
    tables.KJCityTable = {{"Canada", "Ontario", "Toronto", "toronto.kijiji.ca"}};
    tables.KJSectionTable = {{"Bikes", "644", "bikes", "Bikes"}};
    const SearchDefinition search = DemoSearchDefinition(tables);
    EXPECT_EQ(search.CLCityKeys, "amsterdam.craigslist.org");
    EXPECT_EQ(search.CLSectionKeys, "sss");
    EXPECT_EQ(search.KJCityKeys, "toronto.kijiji.ca");
    EXPECT_EQ(search.KJSectionKeys, "644\\bikes");
}

} // namespace
} // namespace trawl

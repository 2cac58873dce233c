#include "batch/Demo.h"

#include "app/Settings.h"
#include "harvest/FeedAddress.h"
#include "refdata/ReferenceTables.h"
#include "sitesim/SampleSites.h"
#include "support/Doubles.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace trawl {
namespace {

TEST(DemoSites, every_search_address_the_program_builds_has_a_page_of_its_layout)
{
    const Settings settings = Settings::Defaults();
    const sitesim::SampleSiteOptions options;
    struct Case {
        const char* city;
        const char* section;
        const char* layoutMark;
    };
    const Case cases[] = {
        {"sfbay.craigslist.org", "bik", "<rdf:RDF"},
        {"http://toronto.kijiji.ca/", "644\\bikes", "<rss"},
        {"boston.kijiji.com", "644\\bikes", "search-results"},
    };
    for (const Case& c : cases) {
        const FeedRequest request = BuildFeedRequest("red wagon", c.city, c.section, settings);
        const sitesim::SimResponse page = SampleSitePage(sitesim::SimRequest{request.host, request.path, {}}, options);
        EXPECT_EQ(page.status, 200) << request.host << request.path;
        EXPECT_NE(page.body.find(c.layoutMark), std::string::npos) << request.host << request.path;
        EXPECT_NE(page.body.find("red wagon"), std::string::npos) << "the term reaches the page";
    }
}

TEST(DemoSearchDefinition, picks_a_few_cities_and_sections_of_both_sites_from_the_lists)
{
    ReferenceTables tables;
    tables.CLCityTable = {{"EU", "NL", "Netherlands", "Default", "amsterdam.craigslist.org"},
                          {"US", "US", "United States", "SF bay area", "sfbay.craigslist.org"},
                          {"US", "US", "United States", "boston", "boston.craigslist.org"},
                          {"US", "US", "United States", "austin", "austin.craigslist.org"}};
    tables.CLSectionTable = {{"ccc", "ccc", "community"},
                             {"ccc", "act", "activities"},
                             {"sss", "sss", "for sale"},
                             {"sss", "bik", "bicycles"},
                             {"sss", "fur", "furniture"}};
    tables.KJCityTable = {{"United States", "MA", "Boston", "boston.kijiji.com"},
                          {"United States", "NY", "New York", "newyork.kijiji.com"},
                          {"Canada", "Ontario", "Toronto", "toronto.kijiji.ca"}};
    tables.KJSectionTable = {{"Buy and Sell", "10", "buy-sell", "Buy and Sell"},
                             {"Buy and Sell", "644", "bikes", "Bikes"},
                             {"Buy and Sell", "235", "furniture", "Furniture"}};
    const SearchDefinition search = DemoSearchDefinition(tables);
    EXPECT_EQ(search.Name, "demo");
    EXPECT_EQ(search.Terms, "bike,table");
    // Real cities before a country's default site; for-sale sections rather than their group or others.
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

TEST(DemoProgramFolder, is_made_under_the_cache_folder_and_kept)
{
    test::TempDir cache;
    const char* old = std::getenv("XDG_CACHE_HOME");
    const std::string saved = old == nullptr ? "" : old;
    ::setenv("XDG_CACHE_HOME", (cache.path() + "deeper/cache").c_str(), 1);
    const std::string folder = DemoProgramFolder();
    const std::string again = DemoProgramFolder();
    old == nullptr ? ::unsetenv("XDG_CACHE_HOME") : ::setenv("XDG_CACHE_HOME", saved.c_str(), 1);
    EXPECT_EQ(folder, cache.path() + "deeper/cache/trawlkit-demo/");
    EXPECT_EQ(again, folder);
    struct stat info {};
    EXPECT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
}

} // namespace
} // namespace trawl

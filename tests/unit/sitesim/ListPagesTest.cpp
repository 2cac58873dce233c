#include "sitesim/ListPages.h"

#include "RawClient.h"
#include "sites/Endpoints.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace trawl::sitesim {
namespace {

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(SampleWorld, HostsAndKeysFollowTheSitesRules)
{
    const SampleWorld world = MakeSampleWorld();
    ASSERT_EQ(world.clGroups.size(), 9u);
    const char* groupCodes[] = {"ccc", "eee", "ggg", "hhh", "jjj", "ppp", "res", "sss", "bbb"};
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(world.clGroups[i].code, groupCodes[i]);
        EXPECT_FALSE(world.clGroups[i].sections.empty());
    }
    const auto codes = world.CraigslistSectionCodes();
    EXPECT_EQ(std::set<std::string>(codes.begin(), codes.end()).size(), codes.size()) << "codes are unique";
    for (const auto& code : codes) {
        EXPECT_EQ(code.size(), 3u) << code;
    }

    const auto clHosts = world.CraigslistCityHosts();
    EXPECT_GE(clHosts.size(), 10u);
    for (const auto& host : clHosts) {
        EXPECT_TRUE(endpoints::IsCraigslistLink(host)) << host;
    }
    for (const auto& province : world.kjProvinces) {
        for (const auto& city : province.cities) {
            EXPECT_TRUE(Has(city.host, ".kijiji.ca")) << city.host;
        }
    }
    for (const auto& state : world.kjStates) {
        for (const auto& city : state.cities) {
            EXPECT_TRUE(Has(city.host, ".kijiji.com")) << city.host;
            EXPECT_FALSE(endpoints::HasCanadaMarker(city.host)) << city.host;
        }
    }
    const auto kjHosts = world.KijijiCityHosts();
    EXPECT_EQ(std::set<std::string>(kjHosts.begin(), kjHosts.end()).size(), kjHosts.size());
    const auto keys = world.KijijiSectionKeys();
    ASSERT_FALSE(keys.empty());
    EXPECT_EQ(keys.front(), "10\\buy-and-sell");
}

TEST(ListPages, EachPageCarriesTheMarkersItIsReadBy)
{
    const SampleWorld world = MakeSampleWorld();
    const std::string marker = "<option disabled value=\"\">--";
    for (std::size_t i = 0; i < world.clGroups.size(); ++i) {
        const std::string page = CLSectionPage(world, i);
        const std::size_t first = page.find(marker);
        ASSERT_NE(first, std::string::npos);
        const std::size_t second = page.find(marker, first + 1);
        ASSERT_NE(second, std::string::npos) << "a second group closes the block";
        const std::string block = page.substr(first, second - first);
        for (const auto& section : world.clGroups[i].sections) {
            EXPECT_TRUE(Has(block, "<option value=\"" + section.code + "\">" + section.pageName + "\r\n"));
        }
    }

    const SimResponse list = CLDirectoryResponse(world.clCountryPages.front());
    EXPECT_TRUE(Has(list.Bytes(), "<div id=\"list\">"));
    EXPECT_FALSE(Has(list.Bytes(), "Not Found") || Has(list.Bytes(), "302 Found"));
    const SampleCLDirectoryPage portugal{"/iso/pt", DirectoryAnswer::Redirect, {{"lisbon", "lisbon.craigslist.org"}}};
    const std::string redirect = CLDirectoryResponse(portugal).Bytes();
    EXPECT_EQ(redirect.rfind("HTTP/1.0 302 Found\r\n", 0), 0u);
    EXPECT_TRUE(Has(redirect, "\r\nLocation: http://lisbon.craigslist.org\r\n"));
    const SampleCLDirectoryPage none{"/iso/xx", DirectoryAnswer::NotFound, {}};
    EXPECT_TRUE(Has(CLDirectoryResponse(none).Bytes(), "Not Found"));
    EXPECT_GE(CLDirectoryResponse(none).Bytes().size(), 50u);

    EXPECT_TRUE(
        Has(KJSectionPage(world), "<h2 class=\"title\"><a href=\"http://boston.kijiji.com/buy-and-sell/?catId=10\">"));
    const std::string canada = KJCanadaPage(world);
    EXPECT_TRUE(Has(canada, "<div class=\"catlist\">"));
    EXPECT_TRUE(Has(canada, "<li><b><a href=\"http://toronto.kijiji.ca/\">"));
    EXPECT_TRUE(Has(canada, "Montr\xC3\xA9"
                            "al"));
    // Nothing inside the city list closes a div before its end.
    const std::size_t list0 = canada.find("<div class=\"catlist\">");
    EXPECT_GT(canada.find("</div>", list0), canada.rfind("homeMetaCatName"));
    EXPECT_TRUE(Has(KJUnitedStatesPage(world), "please click on your state below"));
    EXPECT_TRUE(Has(KJUnitedStatesPage(world), KJStateLink(world.kjStates.front())));
    EXPECT_TRUE(Has(KJStatePage(world.kjStates.front()), "Please select a city below"));
}

TEST(ListPages, InstalledPagesAnswerAtTheListHostsBesideOtherRoutes)
{
    const SampleWorld world = MakeSampleWorld();
    SampleSiteServer server;
    ASSERT_TRUE(server.Start().ok());
    // A search-feed route on the same city host that serves the section pages.
    server.AddPage(std::string(endpoints::kCraigslistSectionHost), "*", "feed page");
    InstallListPages(server, world);
    const int port = server.port();

    EXPECT_TRUE(Has(testing::Fetch(port, "sfbay.craigslist.org", "/sss/"), "antiques &amp; collectibles"));
    EXPECT_TRUE(Has(testing::Fetch(port, "sfbay.craigslist.org", "/search/sss"), "feed page"));
    EXPECT_TRUE(Has(testing::Fetch(port, "geo.craigslist.org", "/iso/us/ak"),
                    "\r\nLocation: http://anchorage.craigslist.org\r\n"));
    EXPECT_TRUE(Has(testing::Fetch(port, "geo.craigslist.org", "/iso/us/ca"), "<div id=\"list\">"));
    EXPECT_TRUE(Has(testing::Fetch(port, "geo.craigslist.org", "/iso/zw"), "404 Not Found"));
    EXPECT_TRUE(Has(testing::Fetch(port, "boston.kijiji.com", "/"), "<h2 class=\"title\">"));
    EXPECT_TRUE(Has(testing::Fetch(port, "www.kijiji.ca", "/"), "homeMetaCatName"));
    EXPECT_TRUE(Has(testing::Fetch(port, "www.kijiji.com", "/"), "please click on your state below"));
    EXPECT_TRUE(Has(testing::Fetch(port, "www.kijiji.com", "/state/new-york"), "New York City"));
    EXPECT_TRUE(Has(testing::Fetch(port, "www.kijiji.com", "/state/nowhere"), "404 Not Found"));
}

} // namespace
} // namespace trawl::sitesim

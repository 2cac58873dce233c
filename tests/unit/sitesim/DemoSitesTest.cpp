#include "sitesim/AdPages.h"
#include "sitesim/DemoSites.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace trawl::sitesim {
namespace {

using ::testing::HasSubstr;

TEST(DemoSites, query_values_are_decoded_as_the_program_encodes_them)
{
    EXPECT_EQ(QueryValue("/search/bik?query=red+wagon&format=rss", "query"), "red wagon");
    EXPECT_EQ(QueryValue("/search/bik?query=caf%C3%A9%2C&x=1", "query"), "caf\xC3\xA9,");
    EXPECT_EQ(QueryValue("/x?a=1&b=2", "b"), "2");
    EXPECT_EQ(QueryValue("/x?a=1", "b"), "");
    EXPECT_EQ(QueryValue("/x", "a"), "");
    EXPECT_EQ(DecodeQueryValue("100%"), "100%"); // a broken escape stays as it is
}

TEST(DemoSites, the_same_request_lists_the_same_ads_and_another_term_other_ads)
{
    const DemoSiteOptions options;
    const auto a = DemoAds("sfbay.craigslist.org", "/search/bik?query=bike&format=rss", options);
    const auto b = DemoAds("sfbay.craigslist.org", "/search/bik?query=bike&format=rss", options);
    const auto c = DemoAds("sfbay.craigslist.org", "/search/bik?query=lamp&format=rss", options);
    ASSERT_EQ(a.size(), static_cast<std::size_t>(options.adsPerPage));
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].link, b[i].link);
        EXPECT_EQ(a[i].title, b[i].title);
        EXPECT_NE(a[i].link, c[i].link);
        EXPECT_THAT(a[i].link, ::testing::StartsWith("http://sfbay.craigslist.org/ad/"));
    }
    EXPECT_EQ(a[0].date.day, options.newest.day);
    EXPECT_TRUE(DemoAds("sfbay.craigslist.org", "/about", options).empty());
}

TEST(DemoSites, responses_in_each_layout_and_404_for_the_rest)
{
    const DemoSiteOptions options;
    const auto respond = [&](const char* host, const char* path) {
        return DemoSiteResponse(SimRequest{host, path, {}}, options);
    };
    EXPECT_THAT(respond("sfbay.craigslist.org", "/search/bik?query=bike&format=rss").body, HasSubstr("<rdf:RDF"));
    EXPECT_THAT(respond("toronto.kijiji.ca", "/f-SearchAdRss?catId=644&Keyword=bike").body, HasSubstr("<rss"));
    EXPECT_THAT(respond("boston.kijiji.com", "/bikes/?q=bike&catId=644").body, HasSubstr("search-results"));
    const SimResponse ad = respond("sfbay.craigslist.org", "/ad/12-3.html");
    EXPECT_EQ(ad.status, 200);
    AdPageOptions page;
    page.seed = 12 * 31 + 3;
    EXPECT_EQ(ad.body, CraigslistAdPage(page));
    EXPECT_EQ(respond("toronto.kijiji.ca", "/ad/12-3.html").body, KijijiCanadaAdPage(page));
    EXPECT_EQ(respond("boston.kijiji.com", "/ad/12-3.html").body, KijijiAdPage(page));
    EXPECT_THAT(respond("www.brackenly.com", "/blog/trawlkit/").body, HasSubstr("<!--trawlclver-->2.08"));
    EXPECT_EQ(respond("sfbay.craigslist.org", "/elsewhere").status, 404);
    EXPECT_EQ(respond("example.org", "/ad/1-1.html").status, 404);
}

} // namespace
} // namespace trawl::sitesim

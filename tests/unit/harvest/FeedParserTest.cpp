#include "harvest/FeedParser.h"

#include "app/Settings.h"
#include "sitesim/SearchPages.h"
#include "support/Doubles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace trawl {
namespace {

using sitesim::HttpOkResponse;
using sitesim::InventAds;
using sitesim::ListedAd;

constexpr const char* kCl = "sfbay.craigslist.org";
constexpr const char* kKjCa = "toronto.kijiji.ca";
constexpr const char* kKjUs = "boston.kijiji.com";

struct ParseFixture : ::testing::Test {
    Settings settings;
    test::FakeClock clock;
    std::vector<FeedItem> items;
    int Parse(const char* host, const std::string& response, const std::string& term = "bike")
    {
        return ParseFeed(host, response, term, settings, clock, items);
    }
};

using CraigslistFeed = ParseFixture;

TEST_F(CraigslistFeed, reads_items_after_the_channel_with_dates_and_links)
{
    const auto ads = InventAds(7, 3, kCl);
    ASSERT_EQ(Parse(kCl, HttpOkResponse(sitesim::CraigslistSearchFeed(ads))), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(items[i].title, ads[i].title);
        EXPECT_EQ(items[i].link, ads[i].link);
        EXPECT_EQ(items[i].date, sitesim::IsoDate(ads[i].date));
        EXPECT_EQ(items[i].description, ads[i].description);
    }
}

TEST_F(CraigslistFeed, unwraps_cdata_and_decodes_amp_once_in_descriptions_only)
{
    std::vector<ListedAd> ads = InventAds(3, 1, kCl);
    ads[0].title = "Tom &amp; Jerry";
    ads[0].description = "fish &amp;amp; chips &lt;b&gt;";
    ASSERT_EQ(Parse(kCl, sitesim::CraigslistSearchFeed(ads, {.cdata = true})), 1);
    EXPECT_EQ(items[0].title, "Tom &amp; Jerry");
    EXPECT_EQ(items[0].description, "fish &amp; chips &lt;b&gt;");

    // A long title that does not start with the CDATA opening stays as it is.
    ASSERT_EQ(Parse(kCl, "</channel><item><title>x<![CDATA[inner]]></title><link>l</link></item>"), 1);
    EXPECT_EQ(items[0].title, "x<![CDATA[inner]]>");
}

TEST_F(CraigslistFeed, counts_items_with_missing_fields_and_cuts_them_from_the_current_start)
{
    // Without "</channel>" nothing is read; the channel's own title is never an item.
    EXPECT_EQ(Parse(kCl, "<channel><title>only the channel</title></channel>"), 0);
    EXPECT_EQ(Parse(kCl, "<title>a</title><link>l</link>"), 0);

    // The second item has no link and no "</item>" of its own: it borrows the third item's link and
    // swallows that item, so the third entry comes out empty (the record rule drops it).
    const std::string feed = "</channel><item><title>one</title><link>L1</link></item>"
                             "<item><title>two</title>"
                             "<item><title>three</title><link>L3</link></item>";
    ASSERT_EQ(Parse(kCl, feed), 3);
    EXPECT_EQ(items[1].title, "two");
    EXPECT_EQ(items[1].link, "L3");
    EXPECT_EQ(items[2].title, "");
    EXPECT_EQ(items[2].link, "");
}

TEST_F(ParseFixture, empty_response_is_minus_one_and_unknown_host_zero)
{
    EXPECT_EQ(Parse(kCl, ""), -1);
    EXPECT_EQ(Parse("example.org", sitesim::CraigslistSearchFeed(InventAds(1, 2, kCl))), 0);
    EXPECT_TRUE(items.empty());
}

TEST_F(ParseFixture, caps_items_at_max_results)
{
    settings.MaxResults = 4;
    EXPECT_EQ(Parse(kCl, sitesim::CraigslistSearchFeed(InventAds(1, 9, kCl))), 4);
    EXPECT_EQ(Parse(kKjCa, sitesim::KijijiCanadaSearchFeed(InventAds(1, 9, kKjCa))), 4);
    EXPECT_EQ(Parse(kKjUs, sitesim::KijijiResultPage(InventAds(1, 9, kKjUs))), 4);
    EXPECT_EQ(items.size(), 4u);
}

// A connection that breaks in the middle of a response leaves the last item cut inside a field. Were
// it read, its link would run to the end of the text ("...12.html</l") and, since that contains the
// real link, the real ad would count as a duplicate from then on.
TEST_F(ParseFixture, an_item_the_response_ends_inside_of_is_not_read)
{
    struct Layout {
        const char* host;
        std::string page;
        std::string linkMarker; // what stands before an item's link
        std::string cutMarker;  // the response is also cut three bytes into this marker of the sixth ad
    };
    const Layout layouts[] = {
        {kCl, sitesim::CraigslistSearchFeed(InventAds(11, 8, kCl)), "<link>", "</link>"},
        {kKjCa, sitesim::KijijiCanadaSearchFeed(InventAds(11, 8, kKjCa)), "<link>", "</link>"},
        {kKjUs, sitesim::KijijiResultPage(InventAds(11, 8, kKjUs)), "href=\"", "</a>"},
    };
    for (const Layout& layout : layouts) {
        const auto ads = InventAds(11, 8, layout.host);
        const std::string whole = HttpOkResponse(layout.page);
        // Cut inside the sixth ad's link, and inside the closing marker after it.
        const std::size_t sixth = whole.find(layout.linkMarker + ads[5].link);
        ASSERT_NE(sixth, std::string::npos);
        for (std::size_t cut : {sixth + 20, whole.find(layout.cutMarker, sixth) + 3}) {
            ASSERT_EQ(Parse(layout.host, whole.substr(0, cut)), 5) << layout.host << " cut at " << cut;
            for (int i = 0; i < 5; ++i) {
                EXPECT_EQ(items[i].link, ads[i].link) << layout.host;
            }
        }
        // Cut just after the sixth ad: it is read.
        const std::size_t end = whole.find(layout.host == std::string(kKjUs) ? "</li>" : "</item>", sixth);
        EXPECT_EQ(Parse(layout.host, whole.substr(0, end + 7)), 6) << layout.host;
    }
}

using KijijiFeed = ParseFixture;

TEST_F(KijijiFeed, reads_rfc822_dates_and_leaves_entities)
{
    std::vector<ListedAd> ads = InventAds(5, 2, kKjCa, {}, {2023, 3, 5});
    ads[1].description = "a &amp;amp; b";
    ASSERT_EQ(Parse(kKjCa, sitesim::KijijiCanadaSearchFeed(ads, {.cdata = true})), 2);
    EXPECT_EQ(items[0].date, "2023-03-05");
    EXPECT_EQ(items[1].date, "2023-03-04");
    EXPECT_EQ(items[0].title, ads[0].title);
    EXPECT_EQ(items[1].description, "a &amp;amp; b");

    ASSERT_EQ(Parse(kKjCa, "</image><item><title>t</title><pubDate>Mon, 5 Foo 2024 x</pubDate></item>"), 1);
    EXPECT_EQ(items[0].date, "2024-00-05");
}

TEST_F(KijijiFeed, title_filter_drops_non_matching_items_and_closes_the_gap)
{
    settings.SearchTitles = 1;
    std::vector<ListedAd> ads = InventAds(9, 4, kKjCa);
    ads[0].title = "Red BIKE for sale";
    ads[1].title = "sofa";
    ads[2].title = "kids bike";
    ads[3].title = "bike rack";
    ASSERT_EQ(Parse(kKjCa, sitesim::KijijiCanadaSearchFeed(ads), "\"Bike\""), 3);
    EXPECT_EQ(items[0].title, "Red BIKE for sale");
    EXPECT_EQ(items[1].title, "kids bike");
    EXPECT_EQ(items[2].title, "bike rack");

    settings.SearchTitles = 0;
    EXPECT_EQ(Parse(kKjCa, sitesim::KijijiCanadaSearchFeed(ads), "bike"), 4);
}

using KijijiPage = ParseFixture;

TEST_F(KijijiPage, reads_entries_with_price_and_year_from_today)
{
    clock.SetToday({2024, 1, 10});
    std::vector<ListedAd> ads = InventAds(2, 3, kKjUs, {}, {2024, 1, 2});
    ads[0].description = "$250";
    ads[1].description = "";
    ads[2].date = {2023, 12, 31};
    ASSERT_EQ(Parse(kKjUs, HttpOkResponse(sitesim::KijijiResultPage(ads))), 3);
    EXPECT_EQ(items[0].title, ads[0].title);
    EXPECT_EQ(items[0].link, ads[0].link);
    EXPECT_EQ(items[0].description, "$250");
    EXPECT_EQ(items[0].date, "2024-01-02");
    EXPECT_EQ(items[1].description, "");
    EXPECT_EQ(items[2].date, "2023-12-31"); // December read in January: last year
}

TEST_F(KijijiPage, pictures_filter_knows_only_lower_case_names)
{
    std::vector<ListedAd> ads = InventAds(4, 3, kKjUs);
    ads[0].picture = true; // .jpg
    ads[1].picture = false;
    ads[2].picture = false;
    std::string page = sitesim::KijijiResultPage(ads);
    // Give the third entry a picture in capitals.
    const auto third = page.find(ads[2].link);
    page.insert(page.rfind("</span>", third), "<img src=\"x.JPG\" />");
    settings.HasPictures = 1;
    ASSERT_EQ(Parse(kKjUs, page), 2);
    EXPECT_EQ(items[0].link, ads[1].link);
    EXPECT_EQ(items[1].link, ads[2].link);
    settings.HasPictures = 0;
    EXPECT_EQ(Parse(kKjUs, page), 3);
}

TEST_F(KijijiPage, title_filter_and_the_no_match_notice)
{
    settings.SearchTitles = 1;
    const auto ads = InventAds(6, 6, kKjUs, "bike");
    EXPECT_EQ(Parse(kKjUs, sitesim::KijijiResultPage(ads), "bike"), 3);
    for (const FeedItem& item : items) {
        EXPECT_THAT(item.title, ::testing::HasSubstr("bike"));
    }
    EXPECT_EQ(Parse(kKjUs, sitesim::KijijiResultPage(ads, {.noAdsMessage = true}), "bike"), 0);
    EXPECT_EQ(Parse(kKjUs, "<html>no counter</html>"), 0);
}

} // namespace
} // namespace trawl

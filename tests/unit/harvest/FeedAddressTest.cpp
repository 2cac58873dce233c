#include "harvest/FeedAddress.h"

#include "ScriptedHttp.h"
#include "app/Settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace trawl {
namespace {

TEST(UrlEncode, escapes_every_byte_outside_the_safe_list)
{
    EXPECT_EQ(UrlEncode("red bike"), "red+bike");
    EXPECT_EQ(UrlEncode("a&b"), "a%26b");
    EXPECT_EQ(UrlEncode(std::string("caf\xE9")), "caf%E9");
    EXPECT_EQ(UrlEncode(""), "+");
    EXPECT_EQ(UrlEncode(" car"), "+car");
    EXPECT_EQ(UrlEncode("A-z.09"), "A-z.09");
    EXPECT_EQ(UrlEncode("_~*,\""), "%5F%7E%2A%2C%22");
    EXPECT_EQ(UrlEncode(std::string("\x00\x0A\xFF", 3)), "%00%0A%FF");
}

TEST(FeedRequest, craigslist_path_takes_the_options_in_order)
{
    Settings settings;
    settings.SearchTitles = 1;
    settings.HasPictures = 0;
    FeedRequest r = BuildFeedRequest("red bike", "vancouver.craigslist.ca", "sss", settings);
    EXPECT_EQ(r.site, Site::Craigslist);
    EXPECT_EQ(r.host, "vancouver.craigslist.ca");
    EXPECT_EQ(r.path, "/search/sss?query=red+bike&format=rss&srchType=T");

    settings.HasPictures = 1;
    r = BuildFeedRequest("x", "sfbay.craigslist.org", "bik", settings);
    EXPECT_EQ(r.path, "/search/bik?query=x&format=rss&srchType=T&hasPic=1");
    settings.SearchTitles = 0;
    r = BuildFeedRequest("x", "sfbay.craigslist.org", "bik", settings);
    EXPECT_EQ(r.path, "/search/bik?query=x&format=rss&hasPic=1");
}

TEST(FeedRequest, host_loses_scheme_and_one_trailing_slash_per_step)
{
    Settings settings;
    EXPECT_EQ(BuildFeedRequest("t", "http://sfbay.craigslist.org/", "sss", settings).host, "sfbay.craigslist.org");
    EXPECT_EQ(BuildFeedRequest("t", "sfbay.craigslist.org//", "sss", settings).host, "sfbay.craigslist.org");
    EXPECT_EQ(BuildFeedRequest("t", "sfbay.craigslist.org///", "sss", settings).host, "sfbay.craigslist.org/");
}

TEST(FeedRequest, kijiji_canada_uses_the_id_only_and_other_sites_both_parts)
{
    Settings settings;
    settings.SearchTitles = 1; // acts while parsing only
    settings.HasPictures = 1;
    FeedRequest ca = BuildFeedRequest("red bike", "toronto.kijiji.ca", "644\\bikes", settings);
    EXPECT_EQ(ca.site, Site::Kijiji);
    EXPECT_TRUE(ca.canadian);
    EXPECT_EQ(ca.path, "/f-SearchAdRss?catId=644&Keyword=red+bike");

    FeedRequest us = BuildFeedRequest("red bike", "http://boston.kijiji.com/", "644\\bikes", settings);
    EXPECT_FALSE(us.canadian);
    EXPECT_EQ(us.host, "boston.kijiji.com");
    EXPECT_EQ(us.path, "/bikes/?q=red+bike&catId=644");

    // No backslash: an empty directory; a second backslash ends the directory.
    EXPECT_EQ(BuildFeedRequest("a", "boston.kijiji.com", "644", settings).path, "//?q=a&catId=644");
    EXPECT_EQ(BuildFeedRequest("a", "boston.kijiji.com", "644\\bikes\\x", settings).path, "/bikes/?q=a&catId=644");
}

TEST(FeedRequest, craigslist_marker_wins_and_keys_without_markers_name_no_site)
{
    Settings settings;
    EXPECT_EQ(SiteOfCityKey("odd.craigslist.kijiji.com"), Site::Craigslist);
    EXPECT_EQ(SiteOfCityKey("craigslist.org"), Site::None); // the marker needs its dot
    FeedRequest none = BuildFeedRequest("t", "example.org", "sss", settings);
    EXPECT_EQ(none.site, Site::None);
    EXPECT_TRUE(none.host.empty());
    EXPECT_TRUE(none.path.empty());
}

TEST(FetchFeed, asks_once_with_redirect_and_counting_and_skips_siteless_keys)
{
    test::ScriptedHttp http;
    http.Respond("sfbay.craigslist.org", "/search/sss?query=bike&format=rss", "HTTP/1.0 200 OK\r\n\r\nbody");
    Settings settings;
    FetchedFeed fetched = FetchFeed(http, "bike", "http://sfbay.craigslist.org/", "sss", settings);
    EXPECT_TRUE(fetched.sent);
    EXPECT_EQ(fetched.host, "sfbay.craigslist.org");
    EXPECT_EQ(fetched.response, "HTTP/1.0 200 OK\r\n\r\nbody");
    ASSERT_EQ(http.Requests().size(), 1u);
    EXPECT_EQ(http.Requests()[0].followRedirect, 1);
    EXPECT_EQ(http.Requests()[0].countBytes, 1);

    FetchedFeed nothing = FetchFeed(http, "bike", "example.org", "sss", settings);
    EXPECT_FALSE(nothing.sent);
    EXPECT_TRUE(nothing.response.empty());
    EXPECT_EQ(http.Requests().size(), 1u);
}

} // namespace
} // namespace trawl

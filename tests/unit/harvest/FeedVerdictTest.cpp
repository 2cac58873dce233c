#include "harvest/FeedVerdict.h"

#include "sitesim/SearchPages.h"

#include <gtest/gtest.h>

namespace trawl {
namespace {

using sitesim::HttpOkResponse;

struct Layout {
    std::string host;
    std::string whole; // a whole response of the layout
};

std::vector<Layout> Layouts()
{
    const auto ads = sitesim::InventAds(7, 5, "x", "bike");
    return {{"sfbay.craigslist.org", HttpOkResponse(sitesim::CraigslistSearchFeed(ads), "application/rss+xml")},
            {"toronto.kijiji.ca", HttpOkResponse(sitesim::KijijiCanadaSearchFeed(ads), "application/rss+xml")},
            {"seattle.kijiji.com", HttpOkResponse(sitesim::KijijiResultPage(ads))}};
}

TEST(FeedVerdict, only_a_whole_feed_of_the_hosts_layout_is_an_answer_and_every_shorter_one_is_not)
{
    for (const Layout& layout : Layouts()) {
        EXPECT_EQ(JudgeFeedResponse(layout.host, layout.whole), FeedVerdict::Whole) << layout.host;
        // Cut anywhere before its last marker, the same response is never taken for whole.
        const std::size_t lastMarker = layout.whole.rfind("</");
        for (std::size_t size = 1; size <= lastMarker; ++size) {
            const FeedVerdict verdict = JudgeFeedResponse(layout.host, layout.whole.substr(0, size));
            ASSERT_NE(verdict, FeedVerdict::Whole) << layout.host << " cut at " << size;
        }
        // A page of another layout is not recognised as this one.
        for (const Layout& other : Layouts()) {
            if (other.host != layout.host) {
                EXPECT_NE(JudgeFeedResponse(layout.host, other.whole), FeedVerdict::Whole) << layout.host;
            }
        }
    }
    EXPECT_EQ(JudgeFeedResponse("sfbay.craigslist.org", Layouts()[0].whole.substr(0, Layouts()[0].whole.size() - 15)),
              FeedVerdict::CutShort);
}

TEST(FeedVerdict, empty_results_are_answers_but_errors_garbage_and_silence_are_not)
{
    EXPECT_EQ(JudgeFeedResponse("sfbay.craigslist.org", HttpOkResponse(sitesim::CraigslistSearchFeed({}))),
              FeedVerdict::Whole);
    EXPECT_EQ(JudgeFeedResponse("toronto.kijiji.ca", HttpOkResponse(sitesim::KijijiCanadaSearchFeed({}))),
              FeedVerdict::Whole);
    EXPECT_EQ(
        JudgeFeedResponse("seattle.kijiji.com", HttpOkResponse(sitesim::KijijiResultPage({}, {.noAdsMessage = true}))),
        FeedVerdict::Whole);

    const std::string feed = sitesim::CraigslistSearchFeed(sitesim::InventAds(1, 3, "x"));
    EXPECT_EQ(JudgeFeedResponse("sfbay.craigslist.org", "HTTP/1.1 500 Internal Server Error\r\n\r\n" + feed),
              FeedVerdict::HttpError);
    EXPECT_EQ(JudgeFeedResponse("sfbay.craigslist.org", "HTTP/1.0 302 Found\r\nLocation: http://x/\r\n\r\n"),
              FeedVerdict::HttpError);
    EXPECT_EQ(JudgeFeedResponse("sfbay.craigslist.org", "\x16\x03\x01 garbage " + feed), FeedVerdict::NotRecognised);
    EXPECT_EQ(JudgeFeedResponse("sfbay.craigslist.org", HttpOkResponse("<html>We changed our pages</html>")),
              FeedVerdict::NotRecognised);
    EXPECT_EQ(JudgeFeedResponse("sfbay.craigslist.org", ""), FeedVerdict::NoAnswer);
    // A site that blocks us, or says we ask too often, is told apart from other errors.
    EXPECT_EQ(JudgeFeedResponse("sfbay.craigslist.org", "HTTP/1.1 403 Forbidden\r\n\r\n" + feed), FeedVerdict::Refused);
    EXPECT_EQ(JudgeFeedResponse("toronto.kijiji.ca", "HTTP/1.1 429 Too Many Requests\r\n\r\n"), FeedVerdict::Refused);
    EXPECT_EQ(SilentSiteText(FeedVerdict::Refused, "Toronto"), "Refused by the site (Toronto)");
    EXPECT_EQ(SilentSiteText(FeedVerdict::NotRecognised, "Toronto"), "Layout not recognised (Toronto)");
    EXPECT_EQ(SilentSiteText(FeedVerdict::HttpError, "Toronto"), "");

    EXPECT_EQ(ResponseStatus("HTTP/1.0 404 Not Found\r\n"), 404);
    EXPECT_EQ(ResponseStatus("HTTP/1.1 20"), 0);
    EXPECT_EQ(ResponseStatus("HTTP/1.1 2x0 OK"), 0);
    EXPECT_EQ(ResponseStatus("ICY 200 OK"), 0);
}

TEST(FeedTally, tells_each_site_its_failures_by_reason_and_nothing_for_a_site_that_answered)
{
    FeedTally tally;
    tally.Count(FeedSite::Craigslist, FeedVerdict::HttpError, 500);
    tally.Count(FeedSite::Craigslist, FeedVerdict::NoAnswer);
    tally.Count(FeedSite::Craigslist, FeedVerdict::Whole);
    tally.Count(FeedSite::Craigslist, FeedVerdict::CutShort);
    tally.Count(FeedSite::Kijiji, FeedVerdict::Whole);
    EXPECT_EQ(tally.FailureLine(FeedSite::Craigslist),
              "Craigslist: 3 of 4 feeds failed (1 never answered, 1 answered HTTP 500, 1 cut short).");
    EXPECT_EQ(tally.FailureLine(FeedSite::Kijiji), "");

    tally.Count(FeedSite::Kijiji, FeedVerdict::NotRecognised);
    tally.Count(FeedSite::Kijiji, FeedVerdict::HttpError, 404);
    tally.Count(FeedSite::Kijiji, FeedVerdict::HttpError, 503);
    tally.Count(FeedSite::Kijiji, FeedVerdict::Refused, 429);
    EXPECT_EQ(tally.FailureLine(FeedSite::Kijiji),
              "Kijiji: 4 of 5 feeds failed (2 answered with an HTTP error (the last "
              "503), 1 refused by the site, 1 layout not recognised).");
    EXPECT_EQ(tally.Report(), tally.FailureLine(FeedSite::Craigslist) + "\n" + tally.FailureLine(FeedSite::Kijiji));

    tally.Reset();
    tally.Count(FeedSite::Craigslist, FeedVerdict::NotRecognised);
    EXPECT_EQ(tally.FailureLine(FeedSite::Craigslist), "Craigslist: 1 of 1 feed failed (1 layout not recognised).");
    EXPECT_EQ(tally.Report(), tally.FailureLine(FeedSite::Craigslist));
    EXPECT_EQ(tally.Jobs(FeedSite::Kijiji), 0);
    tally.Reset();
    EXPECT_EQ(tally.Report(), "");
}

} // namespace
} // namespace trawl

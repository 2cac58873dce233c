#include "harvest/AdPageText.h"

#include "sitesim/AdPages.h"
#include "sitesim/SearchPages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace trawl {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

TEST(AdPageText, craigslist_keeps_the_mail_link_and_the_body)
{
    const sitesim::AdPageOptions options{.seed = 12, .mailto = true};
    const std::string page = sitesim::HttpOkResponse(sitesim::CraigslistAdPage(options));
    const std::string text = ExtractAdText("sfbay.craigslist.org", page);
    EXPECT_THAT(text, StartsWith("<a href=\"mailto:sale-12@reply.sample.invalid"));
    EXPECT_THAT(text, HasSubstr("sale-12@reply.sample.invalid</a><br /><br />\r\n\n" + sitesim::AdBodyText(options)));
    EXPECT_THAT(text, Not(HasSubstr("posting id"))); // the body ends at its "</div>"
}

TEST(AdPageText, craigslist_without_mail_link_says_so_and_without_body_keeps_all)
{
    const sitesim::AdPageOptions options{.seed = 3, .mailto = false};
    const std::string text = ExtractAdText("sfbay.craigslist.org", sitesim::CraigslistAdPage(options));
    EXPECT_EQ(text, "Could not find a valid email address.<br /><br />\r\n\n" + sitesim::AdBodyText(options) + "\n");

    const std::string expired = sitesim::HttpOkResponse(sitesim::CraigslistAdPage({.expired = true}));
    EXPECT_EQ(ExtractAdText("sfbay.craigslist.org", expired), expired);
    // A mail link and no closing tag: the rest of the page is the mail part.
    EXPECT_EQ(ExtractAdText("x.craigslist.org", "<div id=\"userbody\">b</div><a href=\"mailto:m"),
              "<a href=\"mailto:m<br /><br />\r\nb");
}

// A page followed by filler without end reaches the client's 64 MiB cap; whole, it would put that
// much into one record.
TEST(AdPageText, keeps_at_most_a_megabyte_of_any_page)
{
    const std::string filler(3u << 20, 'f');
    struct Case {
        const char* host;
        std::string page;
    };
    const Case cases[] = {
        // No layout marker: the page is kept whole, up to the bound.
        {"sfbay.craigslist.org", "HTTP/1.0 200 OK\r\n\r\nBusy" + filler},
        {"toronto.kijiji.ca", "HTTP/1.0 200 OK\r\n\r\nBusy" + filler},
        {"boston.kijiji.com", "HTTP/1.0 200 OK\r\n\r\nBusy" + filler},
        // A marked part that never closes runs to the end of the page.
        {"sfbay.craigslist.org", "<div id=\"userbody\">" + filler},
        {"toronto.kijiji.ca", "<h1 id=\"preview-local-title\">t</h1><span id=\"preview-local-desc\">" + filler},
        {"boston.kijiji.com", "<h1 id=\"ad-title\">t</h1><span class=\"h3\"><p>x" + filler},
    };
    for (const Case& c : cases) {
        const std::string text = ExtractAdText(c.host, c.page);
        EXPECT_EQ(text.size(), kMaxAdTextBytes) << c.host;
        EXPECT_EQ(text.find_first_not_of('f', text.size() - 100), std::string::npos) << c.host;
    }
    EXPECT_THAT(ExtractAdText("boston.kijiji.com", "HTTP/1.0 200 OK\r\n\r\nBusy" + filler),
                StartsWith("HTTP/1.0 200 OK"));
    // Real pages are far below the bound and come back as before.
    const std::string expired = sitesim::HttpOkResponse(sitesim::CraigslistAdPage({.expired = true}));
    EXPECT_EQ(ExtractAdText("sfbay.craigslist.org", expired), expired);
}

TEST(AdPageText, kijiji_canada_takes_title_description_and_picture)
{
    const sitesim::AdPageOptions options{.seed = 5};
    const std::string page = sitesim::KijijiCanadaAdPage(options);
    const std::string text = ExtractAdText("toronto.kijiji.ca", page);
    EXPECT_THAT(text, StartsWith("<h1 id=\"preview-local-title\">"));
    EXPECT_THAT(text, HasSubstr("</h1><span id=\"preview-local-desc\">" + sitesim::AdBodyText(options) +
                                "</span><br />\r\n<img src=\"http://img.sample.invalid/5.jpg\" />"));
    EXPECT_THAT(text, EndsWith("/>"));

    const std::string bare =
        ExtractAdText("toronto.kijiji.ca", sitesim::KijijiCanadaAdPage({.seed = 5, .picture = false}));
    EXPECT_THAT(bare, EndsWith("</span><br />\r\n"));
}

TEST(AdPageText, other_kijiji_sites_skip_one_character_after_their_markers)
{
    const sitesim::AdPageOptions options{.seed = 8};
    const std::string text = ExtractAdText("boston.kijiji.com", sitesim::KijijiAdPage(options));
    EXPECT_THAT(text, StartsWith("<h1 id=\"ad-title\">"));
    EXPECT_THAT(text, HasSubstr("</h1>" + sitesim::AdBodyText(options) + "<br />\r\n<img src="));
    // Any host that is neither Craigslist nor Kijiji Canada reads this layout.
    EXPECT_EQ(ExtractAdText("example.org", "<h1 id=\"ad-title\">T</h1>"), "<h1 id=\"ad-title\">T</h1><br />\r\n");
    EXPECT_EQ(ExtractAdText("example.org", "no markers"), "no markers");
}

} // namespace
} // namespace trawl

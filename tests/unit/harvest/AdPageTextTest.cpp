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

// Ads in the HTML page: ordinary markup goes through byte for byte, script that an ad brings is shown
// as text, and the template's own More Info / Close links keep working.
#include "app/DefaultTemplates.h"
#include "results/HtmlOutput.h"
#include "results/HtmlSafety.h"

#include <gmock/gmock.h>

namespace trawl {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct Ad {
    std::string date = "2024-03-01";
    std::string title = "Red bike";
    std::string city = "Austin";
    std::string section = "bicycles";
    std::string link = "http://austin.craigslist.org/bik/1.html";
    std::string text = "fast";
};

std::string Item(const Ad& ad, const std::string& itemTemplate = DefaultTemplate(2), int counter = 7)
{
    RecordView view{ad.date, ad.title, ad.city, ad.section, ad.link, ad.text, "Yes"};
    std::string out;
    std::string scratch;
    AppendHtmlItem(out, itemTemplate, counter, view, scratch);
    return out;
}

// The item as plain macro replacement would make it, for ads that need nothing disarmed.
std::string PlainItem(const Ad& ad)
{
    std::string text = DefaultTemplate(2);
    for (const auto& [macro, value] :
         std::initializer_list<std::pair<std::string, std::string>>{{"**ITEMLINK**", ad.link},
                                                                    {"**ITEMTITLE**", ad.title},
                                                                    {"**COUNTER**", "7"},
                                                                    {"**NEW**", "NEW"},
                                                                    {"**ITEMDATE**", ad.date},
                                                                    {"**ITEMCITY**", ad.city},
                                                                    {"**ITEMSECTION**", ad.section},
                                                                    {"**DESCRIPTION**", ad.text}}) {
        for (auto at = text.find(macro); at != std::string::npos; at = text.find(macro, at + value.size())) {
            text.replace(at, macro.size(), value);
        }
    }
    return text;
}

constexpr const char* kOwnLinks = " (<a href=\"javascript:lunchboxOpen('7');\">More Info</a>)\r\n"
                                  " (<a href=\"javascript:lunchboxClose('7');\">Close</a>) <b>NEW</b>";

TEST(HtmlSafety, ordinary_ads_come_through_byte_for_byte)
{
    Ad mail;
    mail.text = "<a href=\"mailto:seller@example.com\">seller@example.com</a><br /><br />\r\n"
                "Solid frame, <b>new</b> tyres &amp; <i>lights</i>. <p>Call <span class=\"x\">555</span></p>"
                "<img src=\"http://img.example/1.jpg\" alt='one > two' />";
    Ad kijiji;
    kijiji.title = "24\" monitor <cheap> & one=two";
    kijiji.text = "<h1 id=\"preview-local-title\">Monitor</h1><span id=\"preview-local-desc\">Works.</span><br />"
                  "<!-- a comment --> x < y > z, 1<2";
    kijiji.link = "http://toronto.kijiji.ca/c-monitor-W0QQAdIdZ1?x=1&y=\"2\"";
    for (const Ad& ad : {Ad{}, mail, kijiji}) {
        EXPECT_EQ(Item(ad), PlainItem(ad)) << ad.text;
    }
    EXPECT_THAT(Item(Ad{}), HasSubstr(kOwnLinks));
}

TEST(HtmlSafety, script_an_ad_brings_is_shown_as_text)
{
    const std::string payloads[] = {
        "<script>alert(1)</script>",
        "<SCRIPT src=http://evil.example/x.js></SCRIPT>",
        "<img src=x onerror=alert(1)>",
        "<svg/onload=alert(1)>",
        "<body onload=\"alert(1)\">",
        "<a href=\"jav&#x61;script:alert(1)\">x</a>",
        "<a href=\"java\tscript:alert(1)\">x</a>",
        "<a href='&#106&#97&#118&#97&#115&#99&#114&#105&#112&#116&#58alert(1)'>x</a>",
        "<a href=JaVaScRiPt&colon;alert(1)>x</a>",
        "<iframe src=\"http://evil.example/\"></iframe>",
        "<meta http-equiv=\"refresh\" content=\"0;url=http://evil.example/\">",
        "<div style=\"width: expression(alert(1))\">x</div>",
        "<img src=\"x\" alt=\"a>b\" onerror=\"alert(1)\">",
    };
    for (const std::string& payload : payloads) {
        for (int where = 0; where < 3; ++where) {
            Ad ad;
            (where == 0 ? ad.title : where == 1 ? ad.text : ad.section) = payload;
            const std::string item = Item(ad);
            EXPECT_THAT(item, Not(HasSubstr(payload))) << payload << " in field " << where;
            EXPECT_THAT(item, HasSubstr("&lt;" + payload.substr(1))) << payload << " in field " << where;
            EXPECT_THAT(item, HasSubstr(kOwnLinks)) << payload;
        }
    }
    // Inside a disarmed tag, a tag in an attribute value becomes a tag of its own: it is checked too.
    Ad nested;
    nested.text = "<b onclick=x title=\"<script>alert(1)</script>\">";
    EXPECT_THAT(Item(nested), HasSubstr("&lt;b onclick=x title=\"&lt;script>alert(1)</script>\">"));
    // A tag never closed would run on into the page (and the next item): it is shown as text too.
    Ad open;
    open.text = "<img src=\"x";
    EXPECT_THAT(Item(open), HasSubstr(" &lt;img src=\"x\r\n<hr size=1></div>"));
}

TEST(HtmlSafety, links_and_macro_splices_cannot_smuggle_script_in)
{
    Ad breakout;
    breakout.link = "http://x.example/\" onmouseover=\"alert(1)";
    EXPECT_THAT(Item(breakout), HasSubstr("&lt;a href=\"http://x.example/\" onmouseover"));

    Ad scheme;
    scheme.link = "javascript:alert(1)";
    EXPECT_THAT(Item(scheme), HasSubstr("&lt;a href=\"javascript:alert(1)\">Red bike</a>"));

    // A title holding a later macro is still expanded, and what the expansion builds is checked.
    Ad splice;
    splice.title = "<scr**ITEMCITY**ipt>alert(1)</script>";
    splice.city = "";
    EXPECT_THAT(Item(splice), HasSubstr("&lt;script>alert(1)</script>"));
    EXPECT_THAT(Item(splice), Not(HasSubstr("<script>")));

    // An ad cannot borrow the template's own links: a copy of one is harmless, and any other
    // javascript: address is disarmed.
    Ad borrowed;
    borrowed.text = "<a href=\"javascript:lunchboxOpen('7');\">More Info</a><a href=\"javascript:steal()\">x</a>";
    EXPECT_THAT(Item(borrowed), HasSubstr("<a href=\"javascript:lunchboxOpen('7');\">More Info</a>&lt;a href"));
}

TEST(HtmlSafety, a_users_own_template_script_stays)
{
    const std::string own = "<div onclick=\"show(**COUNTER**)\">**ITEMTITLE**</div><script>count()</script>";
    EXPECT_EQ(Item(Ad{}, own, 3), "<div onclick=\"show(3)\">Red bike</div><script>count()</script>");
    EXPECT_EQ(OwnScriptTags(own, 3), (std::vector<std::string>{"<div onclick=\"show(3)\">", "<script>"}));
    // A template tag that takes an ad's value is the ad's doing once filled in, and is disarmed.
    EXPECT_EQ(Item(Ad{}, "<b onclick=\"f('**ITEMTITLE**')\">x</b>", 1), "&lt;b onclick=\"f('Red bike')\">x</b>");
}

} // namespace
} // namespace trawl

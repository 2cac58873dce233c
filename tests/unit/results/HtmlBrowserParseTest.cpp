// The written HTML page as a browser reads it (Gumbo, an HTML5 parser): whatever strangers put in
// the ads or in the search's name, the only script in the page is the templates' own.
#include "OutputTestSupport.h"
#include "app/DefaultTemplates.h"
#include "results/HtmlOutput.h"
#include "support/ActiveContent.h"

#include <gmock/gmock.h>
#include <random>

namespace trawl {
namespace {

struct HtmlBrowserParse : test::OutputFixture {
    test::FakeClock clock;
    std::string path = dir.File("out.html");

    std::string Page(std::string_view name = "bikes")
    {
        const std::string header = DefaultTemplate(1);
        const std::string item = DefaultTemplate(2);
        WriteHtml(store, path, OutputScope::All, {}, HtmlPageInputs{header, item, name}, clock, prompts);
        return test::ReadFile(path);
    }
    // The page holds the header's script, the items' More Info and Close links (an ad's unclosed quote
    // may swallow its own item's), and nothing else active.
    void ExpectOnlyTheTemplatesScript(const std::string& page, const std::string& what)
    {
        const test::ActiveContent active = test::FindActiveContent(page);
        EXPECT_EQ(active.scripts, 1) << what << "\n" << page;
        EXPECT_THAT(active.loaders, ::testing::IsEmpty()) << what << "\n" << page;
        EXPECT_THAT(active.handlers, ::testing::IsEmpty()) << what << "\n" << page;
        std::vector<std::string> own;
        for (int record = store.Count(); record >= 1; --record) {
            own.push_back("javascript:lunchboxopen('" + std::to_string(record) + "');");
            own.push_back("javascript:lunchboxclose('" + std::to_string(record) + "');");
        }
        EXPECT_THAT(active.addresses, ::testing::IsSubsetOf(own)) << what << "\n" << page;
    }
};

const std::vector<std::string> kHostile = {
    "Bike <noscript><p title=\"</noscript><img src=x onerror=alert(1)>\">",
    "<xmp><p title=\"</xmp><img src=x onerror=alert(1)>\">",
    "<title><p title=\"</title><img src=x onerror=alert(1)>\">",
    "<textarea><p title=\"</textarea><img src=x onerror=alert(1)>\">",
    "<noembed><p title=\"</noembed><img src=x onerror=alert(1)>\">",
    "<noframes><p title=\"</noframes><img src=x onerror=alert(1)>\">",
    "<NoScript><b title='</NOSCRIPT ><svg onload=alert(1)>'>",
    "<plaintext><p title=\"x\">",
    "<!-- <p title=\"--><img src=x onerror=alert(1)>\">",
    "<!-- <p title=\"--!><img src=x onerror=alert(1)>\">",
    "<!--><p title=\"<img src=x onerror=alert(1)>\">",
    "<!---><p title=\"<img src=x onerror=alert(1)>\">",
    "<?x a=\"<b c='?><img src=x onerror=alert(1)>'>",
    "<!x a=\"<b c='><img src=x onerror=alert(1)>'>",
    "<![CDATA[ <b c='>]]><img src=x onerror=alert(1)>'>",
    "</p a=\"<b c='\"><img src=x onerror=alert(1)>'>",
    "</ x=\"<b c='><img src=x onerror=alert(1)>'>",
    "<a href=\"data:text/html,<script>alert(1)</script>\">x</a>",
    "<a href=\" DATA:text/html;base64,PHNjcmlwdD5hbGVydCgxKTwvc2NyaXB0Pg==\">x</a>",
    "<img srcset=\"a.png 1x, data:image/svg+xml,<svg onload=alert(1)> 2x\">",
    "<a href=\"&#0000000106;avascript:alert(1)\">x</a>",
    "<a href=\"&#x000000006A;avascript:alert(1)\">x</a>",
    "<a href=\"java&Tab;script:alert(1)\">x</a>",
    "<script>alert(1)</script>",
    "<style>*{}</style><img src=x onerror=alert(1)>",
};

TEST_F(HtmlBrowserParse, hostile_ad_text_in_any_field_runs_nothing_in_the_page)
{
    for (const std::string& hostile : kHostile) {
        for (int field = 0; field < 4; ++field) {
            store.Lock().Clear(5000);
            const std::string link = field == 2 ? hostile : "http://sfbay.craigslist.org/bik/1.html";
            Add("2024-03-01", field == 0 ? hostile : "Bike", "Austin", field == 3 ? hostile : "bicycles", link,
                field == 1 ? hostile : "fast");
            Add("2024-03-02", "Next ad", "Austin", "bicycles", "http://sfbay.craigslist.org/bik/2.html", "slow");
            ExpectOnlyTheTemplatesScript(Page(), hostile + " in field " + std::to_string(field));
        }
    }
}

TEST_F(HtmlBrowserParse, a_hostile_search_name_runs_nothing_and_an_ordinary_one_stands_as_it_is)
{
    Add("2024-03-01", "Bike", "Austin", "bicycles", "http://sfbay.craigslist.org/bik/1.html", "fast");
    for (const std::string name : {"<svg onload=alert(1)>", "</h3><script>alert(1)</script>",
                                   "<textarea><p title=\"</textarea><img src=x onerror=alert(1)>\">"}) {
        ExpectOnlyTheTemplatesScript(Page(name), name);
    }
    EXPECT_THAT(Page("Bikes & <b>cheap</b> ones"),
                ::testing::HasSubstr("<h3>Trawlkit Bikes & <b>cheap</b> ones Search Results"));
}

// Ad texts made of pieces that change how a browser reads what follows: quotes, raw-text elements,
// comments, declarations, end tags with attributes, entity-encoded schemes. Whatever the mix, the
// parsed page holds only the template's script.
TEST_F(HtmlBrowserParse, random_mixes_of_markup_pieces_never_run_script)
{
    const std::vector<std::string> pieces = {"<",
                                             ">",
                                             "\"",
                                             "'",
                                             "=",
                                             " ",
                                             "/",
                                             "!",
                                             "-",
                                             "--",
                                             "-->",
                                             "--!>",
                                             "?",
                                             "<!--",
                                             "<!",
                                             "<?",
                                             "</",
                                             "</>",
                                             "<p title=\"",
                                             "<b x='",
                                             "<a href=",
                                             "</p a=\"",
                                             "<noscript>",
                                             "</noscript>",
                                             "<xmp>",
                                             "</xmp>",
                                             "<title>",
                                             "</title>",
                                             "<textarea>",
                                             "</textarea>",
                                             "<noembed>",
                                             "</noembed>",
                                             "<noframes>",
                                             "</noframes>",
                                             "<plaintext>",
                                             "<style>",
                                             "</style>",
                                             "<![CDATA[",
                                             "]]>",
                                             "<img src=x onerror=alert(1)>",
                                             "<svg onload=alert(1)>",
                                             "<script>alert(1)</script>",
                                             "javascript:alert(1)",
                                             "data:text/html,x",
                                             "&#0000106;",
                                             "&#x6a;",
                                             "&colon;",
                                             "&Tab;",
                                             "\t",
                                             "\n",
                                             "text",
                                             "<i>",
                                             "</i>",
                                             "<br />"};
    std::mt19937 random(20261210);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(1, 12);
    for (int round = 0; round < 1500; ++round) {
        std::string texts[3];
        for (std::string& text : texts) {
            for (int n = length(random); n > 0; --n) {
                text += pieces[pick(random)];
            }
        }
        store.Lock().Clear(5000);
        Add("2024-03-01", texts[0], "Austin", "bicycles", "http://sfbay.craigslist.org/bik/1.html", texts[1]);
        Add("2024-03-02", "Bike", "Austin", "bicycles", texts[2], "fast");
        ExpectOnlyTheTemplatesScript(Page(), texts[0] + " | " + texts[1] + " | " + texts[2]);
        if (HasFailure()) {
            break;
        }
    }
}

} // namespace
} // namespace trawl

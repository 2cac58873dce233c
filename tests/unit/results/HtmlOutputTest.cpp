#include "results/HtmlOutput.h"

#include "OutputTestSupport.h"
#include "app/AtomicFile.h"
#include "app/DefaultTemplates.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace trawl {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct HtmlOutput : test::OutputFixture {
    test::FakeClock clock;
    std::string path = dir.File("out.html");
    std::string header = DefaultTemplate(1);
    std::string item = DefaultTemplate(2);
    std::string name = "  bikes  ";

    HtmlOutput()
    {
        clock.SetNow({9, 5, 7});
        clock.SetToday({2024, 3, 15});
    }
    OutputResult Write(OutputScope scope = OutputScope::All, std::string_view filter = {})
    {
        return WriteHtml(store, path, scope, filter, HtmlPageInputs{header, item, name}, clock, prompts);
    }
    std::string Page() { return test::ReadFile(path); }
};

TEST_F(HtmlOutput, DefaultTemplatesGiveTheExactPage)
{
    Add("2024-03-01", "Red & <bike>", "Austin", "bicycles", "http://austin.craigslist.org/bik/1.html",
        "<!--RSS-->fast");
    Add("2024-03-02", "Sofa", "Montreal", "furniture", "http://montreal.kijiji.ca/2", "Comfy", true);
    const OutputResult result = Write();
    ASSERT_TRUE(result.status.ok());
    EXPECT_EQ(result.count, 2);
    EXPECT_EQ(prompts.Count(), 0u);
    EXPECT_EQ(Page(), "<html>\r\n"
                      "<head>\r\n"
                      " <title>Trawlkit Search Results 09:05:07 03-15-2024</title>\r\n"
                      " <style TYPE=\"text/css\">\r\n"
                      "  <!--\r\n"
                      "  .lunchbox {\r\n"
                      "  display:none;\r\n"
                      "  }\r\n"
                      "  -->\r\n"
                      " </style>\r\n"
                      " <script type=\"text/javascript\">\r\n"
                      "  function lunchboxOpen(lunchID) {\r\n"
                      "  document.getElementById('lunch_' + lunchID).style.display = \"block\";\r\n"
                      "  }\r\n"
                      "  function lunchboxClose(lunchID) {\r\n"
                      "  document.getElementById('lunch_' + lunchID).style.display = \"none\";\r\n"
                      "  }\r\n"
                      " </script>\r\n"
                      "</head>\r\n"
                      "<body>\r\n"
                      " <h3>Trawlkit bikes Search Results 09:05:07 03-15-2024</h3>\r\n"
                      "<div><a href=\"http://austin.craigslist.org/bik/1.html\">Red & <bike></a> &nbsp;\r\n"
                      " (<a href=\"javascript:lunchboxOpen('1');\">More Info</a>)\r\n"
                      " (<a href=\"javascript:lunchboxClose('1');\">Close</a>) <b></b>\r\n"
                      "</div>\r\n"
                      "<div id=\"lunch_1\" class=\"lunchbox\">\r\n"
                      " <b>Date:</b> 2024-03-01<br />\r\n"
                      " <b>City:</b> Austin<br />\r\n"
                      " <b>Section:</b> bicycles<br />\r\n"
                      " <hr size=1>\r\n"
                      " <!--RSS-->fast\r\n"
                      "<hr size=1></div><br /><br />\r\n"
                      "\r\n"
                      "<div><a href=\"http://montreal.kijiji.ca/2\">Sofa</a> &nbsp;\r\n"
                      " (<a href=\"javascript:lunchboxOpen('2');\">More Info</a>)\r\n"
                      " (<a href=\"javascript:lunchboxClose('2');\">Close</a>) <b>NEW</b>\r\n"
                      "</div>\r\n"
                      "<div id=\"lunch_2\" class=\"lunchbox\">\r\n"
                      " <b>Date:</b> 2024-03-02<br />\r\n"
                      " <b>City:</b> Montreal<br />\r\n"
                      " <b>Section:</b> furniture<br />\r\n"
                      " <hr size=1>\r\n"
                      " Comfy\r\n"
                      "<hr size=1></div><br /><br />\r\n"
                      "\r\n"
                      "\r\n"
                      "</body>\r\n"
                      "</html>\r\n");
}

TEST_F(HtmlOutput, ItemMacroMissingOrRepeated)
{
    Add("2024-03-01", "A", "C", "S", "u1", "");
    Add("2024-03-02", "B", "C", "S", "u2", "");
    item = "[**COUNTER**:**ITEMTITLE**]";

    header = "<p>**NAME**</p>";
    EXPECT_EQ(Write().count, 0);
    EXPECT_EQ(Page(), "<p>bikes</p>");

    header = "**ITEM**|**ITEM**";
    EXPECT_EQ(Write().count, 2);
    EXPECT_EQ(Page(), "[1:A][2:B]|[1:A][2:B]");

    header = "**ITEM**";
    Write();
    EXPECT_EQ(Page(), "[1:A][2:B]"); // written exactly: no line end added
}

TEST_F(HtmlOutput, ExpiredRecordsAreNeverWritten)
{
    Add("0000-00-00", "Gone", "C", "S", "u1", "This posting has expired and will be removed shortly.", true);
    Add("2024-03-02", "Kept", "C", "S", "u2", "");
    Add("0000-00-00", "Gone too", "C", "S", "u3", "");
    header = "**ITEM**";
    item = "[**COUNTER**:**ITEMTITLE**]";
    for (OutputScope scope : {OutputScope::All, OutputScope::New, OutputScope::Filtered}) {
        Select({1, 2, 3});
        Write(scope, "gone");
        EXPECT_THAT(Page(), Not(HasSubstr("Gone"))) << static_cast<int>(scope);
    }
    Select({1, 2, 3});
    EXPECT_EQ(Write(OutputScope::Selected).count, 1);
    EXPECT_EQ(Page(), "[2:Kept]"); // the counter is the record's number in the store
}

TEST_F(HtmlOutput, MacrosExpandInOrderOverEarlierValues)
{
    // A title may hold a later item macro (expanded) or a header macro (left alone).
    Add("2024-03-01", "**ITEMCITY** at **TIMESTAMP** by **NAME** **ITEM**", "Austin", "S", "u1", "**ITEMTITLE**", true);
    header = "<h3>**NAME**</h3>**ITEM**<i>**TIMESTAMP**</i>";
    item = "**ITEMTITLE**|**DESCRIPTION**|**NEW**";
    ASSERT_TRUE(Write().status.ok());
    EXPECT_EQ(Page(), "<h3>bikes</h3>"
                      "Austin at **TIMESTAMP** by **NAME** **ITEM**|**ITEMTITLE**|NEW"
                      "<i>09:05:07 03-15-2024</i>");
}

TEST_F(HtmlOutput, SearchNameInsertedBeforeTheItemsJoinsTheHeader)
{
    // The name goes in before ITEM is replaced, so an ITEM inside it becomes the items; a TIMESTAMP
    // inside it stays as typed.
    Add("2024-03-01", "A", "C", "S", "u1", "");
    header = "**NAME**";
    item = "<**ITEMTITLE**>";
    name = " x **ITEM** **TIMESTAMP** ";
    Write();
    EXPECT_EQ(Page(), "x <A> **TIMESTAMP**");
}

TEST_F(HtmlOutput, ScopesAndAnEmptyStore)
{
    header = "**ITEM**";
    item = "**ITEMTITLE**;";
    EXPECT_EQ(Write().count, 0);
    EXPECT_EQ(Page(), "");

    Add("2024-03-01", "red one", "C", "S", "u1", "", true);
    Add("2024-03-02", "blue", "C", "S", "u2", "red", false);
    Add("2024-03-03", "green", "C", "S", "u3", "", true);
    Write(OutputScope::New);
    EXPECT_EQ(Page(), "red one;green;");
    Write(OutputScope::Filtered, "RED");
    EXPECT_EQ(Page(), "red one;blue;");
}

TEST_F(HtmlOutput, TimestampIsTwentyFourHourThenMonthDayYear)
{
    EXPECT_EQ(HtmlTimestamp({23, 59, 1}, {2025, 12, 31}), "23:59:01 12-31-2025");
    EXPECT_EQ(HtmlTimestamp({0, 0, 0}, {2024, 1, 2}), "00:00:00 01-02-2024");
}

TEST_F(HtmlOutput, FailedWriteIsReported)
{
    Add("2024-03-01", "A", "C", "S", "u1", "");
    path = dir.File("missing/out.html");
    const OutputResult result = Write();
    EXPECT_FALSE(result.status.ok());
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Shown()[0].kind, PromptKind::Error);
    EXPECT_THAT(prompts.Shown()[0].text, HasSubstr("HTML file has NOT been saved."));
    EXPECT_THAT(prompts.Shown()[0].text, HasSubstr("missing/out.html"));
    EXPECT_FALSE(FileExists(path));
}

} // namespace
} // namespace trawl

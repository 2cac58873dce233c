#include "app/DefaultTemplates.h"

#include <gtest/gtest.h>
#include <vector>

namespace trawl {
namespace {

std::vector<std::string> SplitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
}

TEST(DefaultTemplate, HeaderIsTwentyFourLinesEachEndedByCrLf)
{
    const std::string header = DefaultTemplate(1);
    const auto lines = SplitCrLf(header);
    ASSERT_EQ(lines.size(), 24u);
    EXPECT_EQ(header.find('\n'), header.find("\r\n") + 1); // no bare LF anywhere
    EXPECT_EQ(header.substr(0, 16), "<html>\r\n<head>\r\n");
    EXPECT_EQ(lines[2], " <title>Trawlkit Search Results **TIMESTAMP**</title>");
    EXPECT_EQ(lines[3], " <style TYPE=\"text/css\">");
    EXPECT_EQ(lines[4], "  <!--");
    EXPECT_EQ(lines[12], "  document.getElementById('lunch_' + lunchID).style.display = \"block\";");
    EXPECT_EQ(lines[15], "  document.getElementById('lunch_' + lunchID).style.display = \"none\";");
    EXPECT_EQ(lines[20], " <h3>Trawlkit **NAME** Search Results **TIMESTAMP**</h3>");
    const std::string tail = "**ITEM**\r\n</body>\r\n</html>\r\n";
    EXPECT_EQ(header.substr(header.size() - tail.size()), tail);
}

TEST(DefaultTemplate, ItemIsElevenLinesAndAnEmptyOne)
{
    const std::string item = DefaultTemplate(2);
    const auto lines = SplitCrLf(item);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], "<div><a href=\"**ITEMLINK**\">**ITEMTITLE**</a> &nbsp;");
    EXPECT_EQ(lines[1], " (<a href=\"javascript:lunchboxOpen('**COUNTER**');\">More Info</a>)");
    EXPECT_EQ(lines[2], " (<a href=\"javascript:lunchboxClose('**COUNTER**');\">Close</a>) <b>**NEW**</b>");
    EXPECT_EQ(lines[4], "<div id=\"lunch_**COUNTER**\" class=\"lunchbox\">");
    EXPECT_EQ(lines[9], " **DESCRIPTION**");
    EXPECT_EQ(lines[11], "");
    const std::string tail = " **DESCRIPTION**\r\n<hr size=1></div><br /><br />\r\n\r\n";
    EXPECT_EQ(item.substr(item.size() - tail.size()), tail);
}

TEST(DefaultTemplate, OtherNumbersGiveError)
{
    for (const int n : {0, 3, -1, 100}) {
        EXPECT_EQ(DefaultTemplate(n), "error") << n;
    }
}

} // namespace
} // namespace trawl

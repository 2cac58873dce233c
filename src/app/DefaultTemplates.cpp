#include "app/DefaultTemplates.h"

#include <string_view>

namespace trawl {

namespace {

constexpr std::string_view kHeaderLines[] = {
    "<html>",
    "<head>",
    " <title>Trawlkit Search Results **TIMESTAMP**</title>",
    " <style TYPE=\"text/css\">",
    "  <!--",
    "  .lunchbox {",
    "  display:none;",
    "  }",
    "  -->",
    " </style>",
    " <script type=\"text/javascript\">",
    "  function lunchboxOpen(lunchID) {",
    "  document.getElementById('lunch_' + lunchID).style.display = \"block\";",
    "  }",
    "  function lunchboxClose(lunchID) {",
    "  document.getElementById('lunch_' + lunchID).style.display = \"none\";",
    "  }",
    " </script>",
    "</head>",
    "<body>",
    " <h3>Trawlkit **NAME** Search Results **TIMESTAMP**</h3>",
    "**ITEM**",
    "</body>",
    "</html>",
};

constexpr std::string_view kItemLines[] = {
    "<div><a href=\"**ITEMLINK**\">**ITEMTITLE**</a> &nbsp;",
    " (<a href=\"javascript:lunchboxOpen('**COUNTER**');\">More Info</a>)",
    " (<a href=\"javascript:lunchboxClose('**COUNTER**');\">Close</a>) <b>**NEW**</b>",
    "</div>",
    "<div id=\"lunch_**COUNTER**\" class=\"lunchbox\">",
    " <b>Date:</b> **ITEMDATE**<br />",
    " <b>City:</b> **ITEMCITY**<br />",
    " <b>Section:</b> **ITEMSECTION**<br />",
    " <hr size=1>",
    " **DESCRIPTION**",
    "<hr size=1></div><br /><br />",
    // The item template ends with an empty line, so consecutive items are separated by one.
    "",
};

template <std::size_t N> std::string JoinLines(const std::string_view (&lines)[N])
{
    std::string out;
    for (const auto line : lines) {
        out.append(line);
        out.append("\r\n");
    }
    return out;
}

} // namespace

std::string DefaultTemplate(int n)
{
    switch (n) {
    case 1:
        return JoinLines(kHeaderLines);
    case 2:
        return JoinLines(kItemLines);
    default:
        return "error";
    }
}

} // namespace trawl

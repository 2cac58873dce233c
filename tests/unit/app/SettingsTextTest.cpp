// The settings reader's text entry point: the same rules as reading the file, on content in memory.
#include "app/Settings.h"
#include "support/Doubles.h"

#include <gtest/gtest.h>

namespace trawl {
namespace {

using test::TempDir;
using test::WriteFile;

Settings ViaFile(const std::string& text)
{
    TempDir dir;
    WriteFile(dir.File("trawlkit.ini"), text);
    return LoadSettings(dir.File("trawlkit.ini"));
}

bool SameSettings(const Settings& a, const Settings& b) { return SettingsFileText(a) == SettingsFileText(b); }

TEST(SettingsText, reads_like_the_file_line_ends_and_damage_included)
{
    using namespace std::string_literals;
    const std::string texts[] = {
        "",
        "MaxThreads: 7",                                  // last line without a line end
        "MaxThreads: 7\r\nWidth: 500\r",                  // a CR at the very end
        "MaxThreads: 7\r\r\nUserAgent: a\rb\n",           // only one CR belongs to the line end
        "UserAgent: with\0nul\nMaxResults: 1\n"s,         // NUL bytes are text; the number is clamped
        "SearchCraigslist: 0\nSearchKijiji: 0\n",         // at least one site stays searched
        "\n\n:\nno colon\nHTMLitem: a\\nb\n",
    };
    for (const std::string& text : texts) {
        EXPECT_TRUE(SameSettings(ParseSettingsText(text), ViaFile(text))) << text;
    }
    EXPECT_EQ(ParseSettingsText("MaxThreads: 7\r\r\nUserAgent: a\rb\n").UserAgent, "a\rb");
    EXPECT_EQ(ParseSettingsText("MaxThreads: 7\r\r\n").MaxThreads, 7);
    EXPECT_EQ(ParseSettingsText("SearchCraigslist: 0\nSearchKijiji: 0\n").SearchCraigslist, 1);
    EXPECT_TRUE(SameSettings(ParseSettingsText(""), Settings::Defaults()));
}

} // namespace
} // namespace trawl

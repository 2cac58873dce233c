#include "app/DefaultTemplates.h"
#include "app/Settings.h"
#include "support/Doubles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace trawl {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

Settings LoadText(const TempDir& dir, const std::string& text)
{
    WriteFile(dir.File("trawlkit.ini"), text);
    return LoadSettings(dir.File("trawlkit.ini"));
}

TEST(SettingsLoad, MissingFileGivesEveryDefault)
{
    TempDir dir;
    const Settings s = LoadSettings(dir.File("trawlkit.ini"));
    EXPECT_EQ(s.CurrentSearchName, "default");
    EXPECT_EQ(s.SearchCraigslist, 1);
    EXPECT_EQ(s.SearchKijiji, 1);
    EXPECT_EQ(s.AutoDeepScan, 0);
    EXPECT_EQ(s.RSSdescription, 1);
    EXPECT_EQ(s.AllowMultipleInstances, 1);
    EXPECT_EQ(s.MaxResults, 25000);
    EXPECT_EQ(s.MaxThreads, 4);
    EXPECT_EQ(s.MaxThreads2, 4);
    EXPECT_EQ(s.Width, 398);
    EXPECT_EQ(s.Height, 369);
    EXPECT_EQ(s.UserAgent, "Mozilla/4.0 (compatible; MSIE 5.5; Windows NT)");
    EXPECT_EQ(s.StartMenu, "later");
    EXPECT_EQ(s.AutoSync, 1);
    EXPECT_EQ(s.HTMLheader, DefaultTemplate(1));
    EXPECT_EQ(s.HTMLitem, DefaultTemplate(2));
    // Loading never creates the file.
    struct stat info {};
    EXPECT_NE(::stat(dir.File("trawlkit.ini").c_str(), &info), 0);
}

TEST(SettingsLoad, NumbersAreBoundedOnLoad)
{
    TempDir dir;
    Settings s = LoadText(dir, "MaxResults: 100\r\nMaxThreads: 0\r\nMaxThreads2: 40\r\n");
    EXPECT_EQ(s.MaxResults, 5000);
    EXPECT_EQ(s.MaxThreads, 1);
    EXPECT_EQ(s.MaxThreads2, 12);

    s = LoadText(dir, "MaxResults: 5000000\r\nMaxThreads: 12\r\nMaxThreads2: 1\r\n");
    EXPECT_EQ(s.MaxResults, 1000000);
    EXPECT_EQ(s.MaxThreads, 12);
    EXPECT_EQ(s.MaxThreads2, 1);

    s = LoadText(dir, "MaxResults: 5000\r\nMaxThreads: -3\r\n");
    EXPECT_EQ(s.MaxResults, 5000);
    EXPECT_EQ(s.MaxThreads, 1);
}

TEST(SettingsLoad, NumbersTakeTheLeadingNumberRounded)
{
    TempDir dir;
    const Settings s = LoadText(dir, "MaxThreads: abc\r\n"          // not a number: 0, bounded to 1
                                     "MaxThreads2: 6.5 threads\r\n" // rounded half away from zero
                                     "Width: 512px\r\n"
                                     "Height: -20.4\r\n"
                                     "AutoDeepScan: 5\r\n" // a flag keeps its value
                                     "SearchTitles: 99999999999999\r\n"
                                     "HasPictures: x1\r\n");
    EXPECT_EQ(s.MaxThreads, 1);
    EXPECT_EQ(s.MaxThreads2, 7);
    EXPECT_EQ(s.Width, 512);
    EXPECT_EQ(s.Height, -20);
    EXPECT_EQ(s.AutoDeepScan, 5);
    EXPECT_EQ(s.SearchTitles, 2147483647);
    EXPECT_EQ(s.HasPictures, 0);
}

TEST(SettingsLoad, AtLeastOneSiteIsSearchedAfterReadingAFile)
{
    TempDir dir;
    Settings s = LoadText(dir, "SearchCraigslist: 0\r\nSearchKijiji: 0\r\n");
    EXPECT_EQ(s.SearchCraigslist, 1);
    EXPECT_EQ(s.SearchKijiji, 0);

    s = LoadText(dir, "SearchCraigslist: 0\r\nSearchKijiji: 1\r\n");
    EXPECT_EQ(s.SearchCraigslist, 0);
    EXPECT_EQ(s.SearchKijiji, 1);
}

TEST(SettingsLoad, KeysMatchWhateverTheirCaseAndOuterSpacesButNothingElse)
{
    TempDir dir;
    const Settings s = LoadText(dir, "  mAxThReAdS   :   7  \r\n"
                                     "Max Threads2: 9\r\n" // inner space: no such key
                                     "MaxThreads2x: 9\r\n"
                                     "\tMaxResults: 9000\r\n" // a tab is not a space
                                     "WIDTH:500\r\n");        // no space after the colon is fine
    EXPECT_EQ(s.MaxThreads, 7);
    EXPECT_EQ(s.MaxThreads2, 4);
    EXPECT_EQ(s.MaxResults, 25000);
    EXPECT_EQ(s.Width, 500);
}

TEST(SettingsLoad, EmptyValuesAndLinesWithoutColonChangeNothing)
{
    TempDir dir;
    const Settings s = LoadText(dir, "CurrentSearchName:\r\n"
                                     "UserAgent:    \r\n"
                                     "MaxThreads\r\n" // would otherwise read as 0 and become 1
                                     "CurrentSearchName\r\n"
                                     "\r\n"
                                     ":\r\n"
                                     ": value\r\n");
    EXPECT_EQ(s.CurrentSearchName, "default");
    EXPECT_EQ(s.UserAgent, Settings::Defaults().UserAgent);
    EXPECT_EQ(s.MaxThreads, 4);
}

TEST(SettingsLoad, LastOccurrenceWinsAndLaterColonsBelongToTheValue)
{
    TempDir dir;
    const Settings s = LoadText(dir, "MaxThreads: 3\r\n"
                                     "maxthreads: 5\r\n"
                                     "UserAgent:   Agent/1.0 (see http://example.test:8080/x)   \r\n"
                                     "StartMenu: DoNe\r\n"
                                     "CurrentSearchName:  cars: used  \r\n"
                                     "MAXTHREADS: 6\r\n");
    EXPECT_EQ(s.MaxThreads, 6);
    EXPECT_EQ(s.UserAgent, "Agent/1.0 (see http://example.test:8080/x)");
    EXPECT_EQ(s.StartMenu, "done");
    EXPECT_EQ(s.CurrentSearchName, "cars: used");
}

TEST(SettingsLoad, TemplatesDecodeBackslashN)
{
    TempDir dir;
    const Settings s = LoadText(dir, "HTMLheader:  <p>\\n**ITEM**\\n</p>  \r\n"
                                     "HTMLitem: a\\\\nb\r\n");
    EXPECT_EQ(s.HTMLheader, "<p>\r\n**ITEM**\r\n</p>");
    // A backslash before "n" is taken as a line break, whatever precedes it.
    EXPECT_EQ(s.HTMLitem, "a\\\r\nb");
}

TEST(SettingsLoad, LinesEndAtLfWithOrWithoutCr)
{
    TempDir dir;
    const Settings s = LoadText(dir, "MaxThreads: 3\nMaxThreads2: 5\r\nCurrentSearchName: boats\r\r\nWidth: 600");
    EXPECT_EQ(s.MaxThreads, 3);
    EXPECT_EQ(s.MaxThreads2, 5);
    // Only one CR belongs to the line end; another one stays in the value.
    EXPECT_EQ(s.CurrentSearchName, "boats\r");
    EXPECT_EQ(s.Width, 600); // the last line needs no line end
}

TEST(SettingsLoad, DamagedFilesLoadWhatTheyCanAndAreLeftAlone)
{
    TempDir dir;
    const std::string path = dir.File("trawlkit.ini");

    // Binary junk around one good line, with NUL bytes inside lines.
    std::string junk;
    for (int i = 0; i < 4096; ++i) {
        junk.push_back(static_cast<char>((i * 131 + 7) % 256));
    }
    std::string text = junk + "\r\nMaxThreads: 9\r\nCurrentSearchName: a" + std::string(1, '\0') + "b\r\n" + junk;
    WriteFile(path, text);
    Settings s = LoadSettings(path);
    EXPECT_EQ(s.MaxThreads, 9);
    EXPECT_EQ(s.CurrentSearchName, std::string("a\0b", 3));
    EXPECT_EQ(ReadFile(path), text);

    // A 10 MB line before a good one.
    text = "UserAgent: " + std::string(10 * 1024 * 1024, 'x') + "\r\nMaxThreads2: 2\r\n";
    WriteFile(path, text);
    s = LoadSettings(path);
    EXPECT_EQ(s.UserAgent.size(), 10u * 1024 * 1024);
    EXPECT_EQ(s.MaxThreads2, 2);

    // No line ends at all: one long line, read as one setting.
    WriteFile(path, "MaxThreads: 8 MaxThreads2: 3 Width: 1");
    s = LoadSettings(path);
    EXPECT_EQ(s.MaxThreads, 8);
    EXPECT_EQ(s.MaxThreads2, 4);

    // A folder where the file should be is not read.
    const std::string folder = dir.File("folder.ini");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    s = LoadSettings(folder);
    EXPECT_EQ(s.MaxResults, 25000);

    // A pipe in its place is not waited on.
    const std::string pipe = dir.File("pipe.ini");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    s = LoadSettings(pipe);
    EXPECT_EQ(s.MaxThreads, 4);
}

TEST(SettingsLoad, SecondLoadStartsAgainFromDefaults)
{
    TempDir dir;
    Settings s = LoadText(dir, "MaxThreads: 9\r\nCurrentSearchName: first\r\n");
    EXPECT_EQ(s.MaxThreads, 9);
    s = LoadText(dir, "CurrentSearchName: second\r\n");
    EXPECT_EQ(s.MaxThreads, 4);
    EXPECT_EQ(s.CurrentSearchName, "second");
}

} // namespace
} // namespace trawl

#include "app/DefaultTemplates.h"
#include "app/Settings.h"
#include "support/Doubles.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace trawl {
namespace {

using test::ReadFile;
using test::RecordingPrompts;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

TEST(SettingsSave, WritesTheTwentyFourCanonicalLines)
{
    Settings s = Settings::Defaults();
    s.HTMLheader = "<h1>\r\n**ITEM**";
    s.HTMLitem = "<p>**ITEMTITLE**</p>\r\n\r\n";
    const std::vector<std::string> expected = {
        "CurrentSearchName: default",
        "SearchCraigslist: 1",
        "SearchKijiji: 1",
        "AutoDeepScan: 0",
        "RSSdescription: 1",
        "OverrideRSS: 1",
        "IncludeSiteInCSV: 0",
        "IncludeStateInCSV: 0",
        "AllowMultipleInstances: 1",
        "ConfirmSpawn: 0",
        "CheckForUpdates: 1",
        "DiscardSearches: 1",
        "MaxResults: 25000",
        "MaxThreads: 4",
        "MaxThreads2: 4",
        "Width: 398",
        "Height: 373",
        "UserAgent: Mozilla/4.0 (compatible; MSIE 5.5; Windows NT)",
        "StartMenu: later",
        "SearchTitles: 0",
        "HasPictures: 0",
        "AutoSync: 1",
        "HTMLheader: <h1>\\n**ITEM**",
        "HTMLitem: <p>**ITEMTITLE**</p>\\n\\n",
    };
    EXPECT_EQ(LinesOf(SettingsFileText(s)), expected);
}

TEST(SettingsSave, TheHostPauseIsWrittenOnlyWhenSetAndReadBackWithinItsBounds)
{
    Settings settings = Settings::Defaults();
    EXPECT_EQ(SettingsFileText(settings).find("HostPauseMs"), std::string::npos); // still the 24 lines
    settings.HostPauseMs = 1500;
    const std::string text = SettingsFileText(settings);
    EXPECT_NE(text.find("\r\nHostPauseMs: 1500\r\n"), std::string::npos);
    EXPECT_EQ(ParseSettingsText(text).HostPauseMs, 1500);
    EXPECT_EQ(ParseSettingsText("hostpausems: -5\r\n").HostPauseMs, 0);
    EXPECT_EQ(ParseSettingsText("HostPauseMs: 999999\r\n").HostPauseMs, kMaxHostPauseMs);

    // The watched search's period likewise; never more often than every ten minutes.
    EXPECT_EQ(text.find("WatchMinutes"), std::string::npos);
    settings.WatchMinutes = 30;
    EXPECT_NE(SettingsFileText(settings).find("\r\nWatchMinutes: 30\r\n"), std::string::npos);
    EXPECT_EQ(ParseSettingsText("WatchMinutes: 3\r\n").WatchMinutes, kMinWatchMinutes);
    EXPECT_EQ(ParseSettingsText("WatchMinutes: 0\r\n").WatchMinutes, 0);
    EXPECT_EQ(ParseSettingsText("WatchMinutes: -7\r\n").WatchMinutes, 0);
    EXPECT_EQ(ParseSettingsText("WatchMinutes: 99999\r\n").WatchMinutes, kMaxWatchMinutes);
}

TEST(SettingsSave, HeightReadAs400IsWrittenAs404)
{
    TempDir dir;
    const std::string path = dir.File("trawlkit.ini");
    WriteFile(path, "Height: 400\r\n");
    const Settings s = LoadSettings(path);
    EXPECT_EQ(s.Height, 400);
    ASSERT_TRUE(SaveSettings(path, s).ok());
    EXPECT_NE(ReadFile(path).find("\r\nHeight: 404\r\n"), std::string::npos);

    // The extreme value does not overflow on the way out and reads back bounded.
    Settings tall = s;
    tall.Height = 2147483647;
    EXPECT_NE(SettingsFileText(tall).find("\r\nHeight: 2147483651\r\n"), std::string::npos);
}

TEST(SettingsSave, SavedSettingsReadBackEqual)
{
    TempDir dir;
    const std::string path = dir.File("trawlkit.ini");
    Settings s = Settings::Defaults();
    s.CurrentSearchName = "old cars";
    s.AutoDeepScan = 5;
    s.MaxResults = 123456;
    s.MaxThreads = 12;
    s.MaxThreads2 = 1;
    s.Width = 700;
    s.Height = 500;
    s.UserAgent = "Agent: with colon";
    s.StartMenu = "done";
    s.SearchKijiji = 0;
    s.HTMLheader = "<html>\r\n  two lines  \r\n**ITEM**</html>";
    ASSERT_TRUE(SaveSettings(path, s).ok());

    const Settings back = LoadSettings(path);
    EXPECT_EQ(back.CurrentSearchName, "old cars");
    EXPECT_EQ(back.AutoDeepScan, 5);
    EXPECT_EQ(back.MaxResults, 123456);
    EXPECT_EQ(back.MaxThreads, 12);
    EXPECT_EQ(back.MaxThreads2, 1);
    EXPECT_EQ(back.Width, 700);
    EXPECT_EQ(back.Height, 504);
    EXPECT_EQ(back.UserAgent, "Agent: with colon");
    EXPECT_EQ(back.StartMenu, "done");
    EXPECT_EQ(back.SearchKijiji, 0);
    EXPECT_EQ(back.HTMLheader, s.HTMLheader);
    EXPECT_EQ(back.HTMLitem, DefaultTemplate(2)); // ends in two CR LF, which survive
}

TEST(SettingsSave, TemplatesLoseOnlyTheirOuterSpaces)
{
    TempDir dir;
    const std::string path = dir.File("trawlkit.ini");
    Settings s = Settings::Defaults();
    s.HTMLitem = "  <b>x</b>\r\n<i>y</i>  ";
    ASSERT_TRUE(SaveSettings(path, s).ok());
    EXPECT_EQ(LoadSettings(path).HTMLitem, "<b>x</b>\r\n<i>y</i>");
}

TEST(SettingsSave, LineBreaksInValuesCannotBreakTheFile)
{
    TempDir dir;
    const std::string path = dir.File("trawlkit.ini");
    Settings s = Settings::Defaults();
    s.UserAgent = "Agent\r\nMaxResults: 5000";
    s.CurrentSearchName = "a\nb";
    s.HTMLheader = "one\ntwo\rthree\r\nfour"; // a bare LF would end the line
    const std::string text = SettingsFileText(s);
    EXPECT_EQ(LinesOf(text).size(), 24u);

    ASSERT_TRUE(SaveSettings(path, s).ok());
    const Settings back = LoadSettings(path);
    EXPECT_EQ(back.MaxResults, 25000);
    EXPECT_EQ(back.UserAgent, "Agent  MaxResults: 5000");
    EXPECT_EQ(back.CurrentSearchName, "a b");
    EXPECT_EQ(back.HTMLheader, "one\r\ntwo\rthree\r\nfour");
}

TEST(SettingsSave, ShuffledFileIsRewrittenCanonically)
{
    TempDir dir;
    const std::string path = dir.File("trawlkit.ini");
    WriteFile(path, "htmlitem: <i>\\n</i>\r\n"
                    "MAXTHREADS: 2\r\n"
                    "unknown: 1\r\n"
                    "  currentsearchname : bikes\r\n"
                    "MaxThreads: 3\r\n"
                    "height: 300\r\n");
    const Settings s = LoadSettings(path);
    ASSERT_TRUE(SaveSettings(path, s).ok());
    const auto lines = LinesOf(ReadFile(path));
    ASSERT_EQ(lines.size(), 24u);
    EXPECT_EQ(lines[0], "CurrentSearchName: bikes");
    EXPECT_EQ(lines[13], "MaxThreads: 3");
    EXPECT_EQ(lines[16], "Height: 304");
    EXPECT_EQ(lines[23], "HTMLitem: <i>\\n</i>");
    EXPECT_EQ(lines[22].rfind("HTMLheader: <html>\\n<head>\\n", 0), 0u);
}

TEST(SettingsSave, FailureIsReportedAndKeepsNothingHalfWritten)
{
    TempDir dir;
    WriteFile(dir.File("plain"), "x");
    for (const std::string& path : {dir.File("missing/trawlkit.ini"), dir.File("plain/trawlkit.ini")}) {
        const Status status = SaveSettings(path, Settings::Defaults());
        ASSERT_FALSE(status.ok()) << path;
        EXPECT_NE(status.message().find(path), std::string::npos);

        RecordingPrompts prompts;
        EXPECT_FALSE(SaveSettingsReporting(path, Settings::Defaults(), prompts).ok());
        const auto shown = prompts.Shown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].kind, PromptKind::Error);
        EXPECT_EQ(shown[0].caption, "Settings Not Saved");
        EXPECT_EQ(shown[0].text.rfind("Your settings could not be saved", 0), 0u);
        EXPECT_NE(shown[0].text.find(path), std::string::npos);
    }
    RecordingPrompts quiet;
    EXPECT_TRUE(SaveSettingsReporting(dir.File("trawlkit.ini"), Settings::Defaults(), quiet).ok());
    EXPECT_EQ(quiet.Count(), 0u);
}

// A full disk, simulated in a child process by a file-size limit: the write fails, the old file stays
// intact and no temporary file is left behind.
TEST(SettingsSave, FullDiskKeepsTheOldFile)
{
    TempDir dir;
    const std::string path = dir.File("trawlkit.ini");
    Settings old = Settings::Defaults();
    old.CurrentSearchName = "kept";
    ASSERT_TRUE(SaveSettings(path, old).ok());
    const std::string before = ReadFile(path);

    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {};
        limit.rlim_cur = limit.rlim_max = 512;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        Settings big = Settings::Defaults();
        big.HTMLheader = std::string(4096, 'z');
        const Status status = SaveSettings(path, big);
        const std::string report = (status.ok() ? "OK" : "FAIL ") + status.message();
        [[maybe_unused]] const auto written = ::write(pipeFds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string report;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
        report.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int wstatus = 0;
    ASSERT_EQ(::waitpid(child, &wstatus, 0), child);
    ASSERT_TRUE(WIFEXITED(wstatus));

    EXPECT_EQ(report.rfind("FAIL ", 0), 0u) << report;
    EXPECT_NE(report.find("File too large"), std::string::npos) << report;
    EXPECT_NE(report.find("previous version of the file"), std::string::npos) << report;
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(LoadSettings(path).CurrentSearchName, "kept");
    // Only the settings file is in the folder: the temporary one was removed.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"trawlkit.ini"});
}

} // namespace
} // namespace trawl

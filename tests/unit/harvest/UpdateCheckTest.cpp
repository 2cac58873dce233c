#include "harvest/UpdateCheck.h"

#include "ScriptedHttp.h"
#include "app/Settings.h"
#include "harvest/Version.h"
#include "sites/Endpoints.h"
#include "sitesim/SearchPages.h"
#include "sitesim/UpdatePage.h"
#include "support/Doubles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace trawl {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kHost(endpoints::kMakerHost);
const std::string kPath(endpoints::kUpdatePath);

struct UpdateCheckRun : ::testing::Test {
    test::ScriptedHttp http;
    test::RecordingPrompts prompts;
    test::RecordingShell shell;

    void Page(const std::string& body) { http.Respond(kHost, kPath, sitesim::HttpOkResponse(body)); }
    void Run()
    {
        UpdateCheckThread thread(http, prompts, shell); // joined at the end of the scope
    }
};

TEST_F(UpdateCheckRun, same_or_older_versions_show_nothing)
{
    for (const char* version : {"2.08", "2.079", "2.0849", "1.99", "abc", " ", "-3"}) {
        Page(sitesim::UpdatePage(version));
        Run();
    }
    EXPECT_THAT(prompts.Lines(), IsEmpty());
    ASSERT_FALSE(http.Requests().empty());
    EXPECT_EQ(http.Requests()[0].followRedirect, 1);
    EXPECT_EQ(http.Requests()[0].countBytes, 0);
}

TEST_F(UpdateCheckRun, a_newer_version_asks_and_opens_the_page_on_yes)
{
    Page(sitesim::UpdatePage("2.09"));
    prompts.QueueAnswer(PromptAnswer::Yes);
    Run();
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Shown()[0].kind, PromptKind::Question);
    EXPECT_EQ(prompts.Shown()[0].caption, "Update Available");
    EXPECT_EQ(prompts.Shown()[0].text, "A new version exists (2.09). Would you like to visit the software's homepage?");
    EXPECT_THAT(shell.Opened(), ElementsAre("http://www.brackenly.com/blog/trawlkit/"));
}

TEST_F(UpdateCheckRun, no_opens_nothing_and_versions_show_two_decimals)
{
    Page(sitesim::UpdatePage("2.1"));
    Run();
    Page(sitesim::UpdatePage("2.10", false)); // start marker only: the rest of the page is read
    Run();
    Page(sitesim::UpdatePage("12"));
    Run();
    EXPECT_THAT(prompts.Lines(),
                ElementsAre("Update Available: A new version exists (2.10). Would you like to visit the software's "
                            "homepage?",
                            "Update Available: A new version exists (2.10). Would you like to visit the software's "
                            "homepage?",
                            "Update Available: A new version exists (12.00). Would you like to visit the software's "
                            "homepage?"));
    EXPECT_THAT(shell.Opened(), IsEmpty());
}

TEST_F(UpdateCheckRun, no_page_or_no_marker_is_silent)
{
    Run(); // nothing answers
    Page("<html>no version here</html>");
    Run();
    Page(sitesim::UpdatePage(""));
    Run();
    EXPECT_THAT(prompts.Lines(), IsEmpty());
    EXPECT_EQ(http.Requests().size(), 3u);
}

TEST_F(UpdateCheckRun, switched_off_asks_nothing)
{
    Page(sitesim::UpdatePage("3.00"));
    Settings settings;
    settings.CheckForUpdates = 0;
    EXPECT_EQ(StartUpdateCheck(settings, http, prompts, shell), nullptr);
    settings.CheckForUpdates = 1;
    StartUpdateCheck(settings, http, prompts, shell).reset(); // runs and is joined
    EXPECT_EQ(http.Requests().size(), 1u);
    EXPECT_EQ(prompts.Count(), 1u);
}

TEST(VersionHundredths, rounds_halves_to_even_on_the_decimal_digits)
{
    EXPECT_EQ(VersionHundredths("2.08"), 208);
    EXPECT_EQ(VersionHundredths("2.079"), 208);
    EXPECT_EQ(VersionHundredths("2.085"), 208);
    EXPECT_EQ(VersionHundredths("2.075"), 208); // binary floating point would give 207
    EXPECT_EQ(VersionHundredths("2.0851"), 209);
    EXPECT_EQ(VersionHundredths("2.095"), 210);
    EXPECT_EQ(VersionHundredths("2.1</p>rest"), 210);
    EXPECT_EQ(VersionHundredths("  3"), 300);
    EXPECT_EQ(VersionHundredths(".5"), 50);
    EXPECT_EQ(VersionHundredths("v2"), 0);
    EXPECT_EQ(VersionText(210), "2.10");
    EXPECT_EQ(VersionText(5), "0.05");
    EXPECT_EQ(ProgramTitle(), "Trawlkit v2.08");
}

} // namespace
} // namespace trawl

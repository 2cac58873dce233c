#include "app/AtomicFile.h"
#include "programrun/E2EFixture.h"
#include "sitesim/SearchPages.h"

#include <chrono>
#include <csignal>
#include <gmock/gmock.h>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace trawl::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

int RecordLines(const std::vector<std::string>& lines)
{
    return lines.size() > 6 ? static_cast<int>(lines.size()) - 6 : 0;
}

class BatchRun : public E2EFixture {
protected:
    void SetUp() override
    {
        E2EFixture::SetUp();
        WriteLists();
        WriteSettings();
    }
};

TEST_F(BatchRun, search_over_both_sites_is_deep_scanned_and_saved_back_to_its_file)
{
    const std::string path = WriteBikesSearch();
    const ProgramResult run = Run({"-deep", "bikes.trawl"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("Search saved to '" + path + "'."));

    const std::vector<std::string> lines = SplitCrLf(ReadFile(path));
    ASSERT_GE(lines.size(), 6u);
    // The header lines as the window would save them: the name from the file name, keys, terms as typed.
    EXPECT_EQ(lines[0], "bikes");
    EXPECT_EQ(lines[1], kClCity);
    EXPECT_EQ(lines[2], "bik");
    EXPECT_EQ(lines[3], "bike,red wagon");
    EXPECT_EQ(lines[4], std::string(kKjCanada) + "," + kKjStates);
    EXPECT_EQ(lines[5], "644\\bikes");

    // Every ad the six pages list, once (different terms share some ads).
    std::set<std::string> links;
    for (const char* term : {"bike", "red+wagon"}) {
        links.merge(LinksOf(kClCity, std::string("/search/bik?query=") + term + "&format=rss"));
        links.merge(LinksOf(kKjCanada, std::string("/f-SearchAdRss?catId=644&Keyword=") + term));
        links.merge(LinksOf(kKjStates, std::string("/bikes/?q=") + term + "&catId=644"));
    }
    EXPECT_EQ(RecordLines(lines), static_cast<int>(links.size()));

    // A record line byte for byte, as far as the feed fixes it (the full text is the ad page's).
    const std::string feed = PageOf(kClCity, "/search/bik?query=red+wagon&format=rss");
    const std::string item = feed.substr(feed.find("<item "));
    const auto cut = [&](const std::string& open, const std::string& close) {
        const auto from = item.find(open) + open.size();
        return item.substr(from, item.find(close, from) - from);
    };
    const std::string link = cut("<link>", "</link>");
    const std::string expectedStart = "\"" + cut("<dc:date>", "T") + "\",\"" + cut("<title>", "</title>") +
                                      "\",\"SF bay area\",\"bicycles\",\"" + link + "\",\"";
    int found = 0;
    for (std::size_t i = 6; i < lines.size(); ++i) {
        // Deep-scanned: no record keeps the feed's text or an empty one.
        EXPECT_THAT(lines[i], Not(HasSubstr("<!--RSS-->")));
        EXPECT_THAT(lines[i], Not(HasSubstr(",\"\"")));
        found += lines[i].starts_with(expectedStart) ? 1 : 0;
    }
    EXPECT_EQ(found, 1) << "no record line starting " << expectedStart;
}

TEST_F(BatchRun, second_run_over_the_same_ads_keeps_the_records_and_adds_none)
{
    const std::string path = WriteBikesSearch();
    ASSERT_EQ(Run({"-deep", path}).status, 0);
    const std::string first = ReadFile(path);
    const ProgramResult again = Run({"-deep", path});
    ASSERT_EQ(again.status, 0) << again.err;
    // Every record already holds its ad page's text: nothing is fetched twice.
    EXPECT_THAT(again.err, HasSubstr("No worries: Everything has already been downloaded, so there's no need to "
                                     "do a deep scan."));
    EXPECT_EQ(ReadFile(path), first);
}

TEST_F(BatchRun, missing_search_file_is_reported_and_the_others_still_run)
{
    const std::string path = WriteBikesSearch();
    const ProgramResult run = Run({"-DEEP", "nothere.trawl", "bikes.trawl"});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr("Error: Error: I could not load the search titled 'nothere.trawl' because it "
                                   "does not seem to exist.\n"));
    EXPECT_THAT(run.out, HasSubstr("Search saved to '" + path + "'."));
}

TEST_F(BatchRun, search_file_in_the_current_folder_comes_before_the_program_folder)
{
    WriteBikesSearch();
    const std::string local = work.File("bikes.trawl");
    WriteSearch(local, "bikes", kClCity, "bik", "bike", "", "");
    const ProgramResult run = Run({"-deep", "bikes.trawl"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("Search saved to '" + local + "'."));
    EXPECT_EQ(RecordLines(SplitCrLf(ReadFile(local))),
              static_cast<int>(LinksOf(kClCity, "/search/bik?query=bike&format=rss").size()));
    EXPECT_EQ(RecordLines(SplitCrLf(ReadFile(home.File("bikes.trawl")))), 0);
}

TEST_F(BatchRun, go_checks_stop_a_search_without_touching_its_file)
{
    struct Case {
        std::vector<std::string> lines; // the six header lines
        std::string text;
    };
    const Case cases[] = {
        {{"x", kClCity, "bik", "  ", "", ""}, "Error: You have not set any search terms. Please do that first."},
        {{"x", "", "bik", "bike", "", "644\\bikes"},
         "Error: You have not selected any cities or regions to search. Please do that first."},
        // Keys that the lists do not hold tick nothing.
        {{"x", "nowhere.craigslist.org", "bik", "bike", "", ""},
         "Error: You have not selected any cities or regions to search. Please do that first."},
        {{"x", kClCity, "", "bike", kKjCanada, ""},
         "Error: You have not selected any sections to search. Please do that first."},
    };
    for (const Case& c : cases) {
        const std::string path = home.File("x.trawl");
        const std::string content = CrLfLines(c.lines);
        WriteFile(path, content);
        const ProgramResult run = Run({"-csv", "x.trawl"});
        EXPECT_EQ(run.status, 1) << c.text;
        EXPECT_THAT(run.err, HasSubstr(c.text + "\n"));
        EXPECT_EQ(ReadFile(path), content) << c.text;
        EXPECT_FALSE(FileExists(home.File("x.csv"))) << c.text;
    }
}

TEST_F(BatchRun, sites_switched_off_in_the_settings_leave_their_keys_out)
{
    WriteSettings({"SearchCraigslist: 0"});
    const std::string path = home.File("cl.trawl");
    WriteSearch(path, "cl", kClCity, "bik", "bike", "", "");
    const ProgramResult run = Run({"-deep", "cl.trawl"});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr("Error: You have not selected any cities or regions to search."));
}

TEST_F(BatchRun, the_alert_command_gets_the_new_ads_and_hostile_ad_text_reaches_nobodys_shell)
{
    // A feed whose titles and texts try every way into a shell.
    std::vector<sitesim::ListedAd> ads = sitesim::InventAds(7, 3, kClCity, "bike", today);
    ads[0].title = "Bike $(touch pwned) `touch pwned2` \"quoted\" 'single'";
    ads[1].description = "; touch pwned3 && $(touch pwned4) | touch pwned5";
    server.AddPage(kClCity, "/search/bik?query=bike&format=rss", sitesim::CraigslistSearchFeed(ads));
    WriteSearch(home.File("cl.trawl"), "cl", kClCity, "bik", "bike", "", "");
    const std::string alert = work.File("alert");
    WriteFile(alert, "#!/bin/sh\n"
                     "cp \"$TRAWLKIT_NEW_CSV\" \"$(dirname \"$0\")/sent.csv\"\n"
                     "printf '%s %s' \"$TRAWLKIT_SEARCH\" \"$TRAWLKIT_NEW_COUNT\" > \"$(dirname \"$0\")/said\"\n");
    ::chmod(alert.c_str(), 0700);

    const ProgramResult run = Run({"-csv", "-alert=" + alert, "cl.trawl"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(work.File("said")), "cl 3");
    const std::string sent = ReadFile(work.File("sent.csv"));
    EXPECT_EQ(sent, ReadFile(home.File("cl.csv")));
    EXPECT_THAT(sent, HasSubstr("Bike $(touch pwned) `touch pwned2` \\\"quoted\\\" 'single'")); // as data
    for (const char* made : {"pwned", "pwned2", "pwned3", "pwned4", "pwned5"}) {
        EXPECT_FALSE(FileExists(work.File(made)) || FileExists(home.File(made))) << made;
    }
    // The same ads again: nothing new, nothing sent.
    ::unlink(work.File("said").c_str());
    ASSERT_EQ(Run({"-csv", "-alert=" + alert, "cl.trawl"}).status, 0);
    EXPECT_FALSE(FileExists(work.File("said")));
}

TEST_F(BatchRun, a_malformed_connect_rule_is_exit_status_two)
{
    WriteBikesSearch();
    auto env = Env();
    env["TRAWLKIT_CONNECT_TO"] = "example.org:80";
    const ProgramResult bad = RunTrawlkit({"-csv", "bikes.trawl"}, env, work.path());
    EXPECT_EQ(bad.status, 2);
    EXPECT_THAT(bad.err, HasSubstr("TRAWLKIT_CONNECT_TO"));
}

TEST_F(BatchRun, a_reader_that_went_away_does_not_stop_the_search_from_being_saved_but_is_noticed)
{
    const std::string path = WriteBikesSearch();
    const ProgramResult run = RunTrawlkit({"-deep", "-csv", "bikes.trawl"}, Env(), work.path(), true);
    // The lines saying where the files went were lost: a script reading them must not take the run for whole.
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr("Error: standard output could not be written (Broken pipe), so lines saying "
                                   "which files were saved are missing.\n"));
    EXPECT_GT(SplitCrLf(ReadFile(path)).size(), 6u);
    EXPECT_TRUE(FileExists(home.File("bikes.csv")));
}

TEST_F(BatchRun, ctrl_c_stops_the_search_saves_what_was_found_and_fails_the_run)
{
    const std::string path = WriteBikesSearch();
    WriteSettings({"MaxThreads: 1"});
    sitesim::Knobs slow;
    slow.latencyMs = 5000;
    server.SetGlobalKnobs(slow);
    const ProgramResult run =
        RunTrawlkit({"-deep", "-csv", "bikes.trawl", "bikes.trawl"}, Env(), work.path(), false, [this](int pid) {
            // Once the first page is being asked for, as a user would press it.
            for (int i = 0; i < 1000 && server.RequestCount() == 0; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            ::kill(pid, SIGINT);
        });
    EXPECT_EQ(run.status, 1) << run.err;
    // The page under way was given up at once (it would have come after 5 s), the search file was
    // saved with nothing of it, and no deep scan or other search began.
    EXPECT_LT(run.wallMs, 4000) << run.err;
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(RecordLines(SplitCrLf(ReadFile(path))), 0);
    EXPECT_TRUE(FileExists(home.File("bikes.csv")));
    EXPECT_THAT(run.err, HasSubstr("Stopped: 'bikes.trawl' and the searches after it were not run."));
}

TEST_F(BatchRun, without_batch_options_the_usage_is_shown_and_nothing_runs)
{
    const std::string path = WriteBikesSearch();
    const std::string before = ReadFile(path);
    const ProgramResult run = Run({"-new", "bikes.trawl"});
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.out, StartsWith("Trawlkit 2.08"));
    for (const char* option : {"-csv", "-html", "-deep", "-new", "-datename", "--demo"}) {
        EXPECT_THAT(run.out, HasSubstr(option));
    }
    EXPECT_EQ(ReadFile(path), before);
}

} // namespace
} // namespace trawl::test

#include "batch/BatchSearch.h"

#include "app/AtomicFile.h"
#include "app/FileLock.h"
#include "app/RunFlags.h"
#include "batch/BatchStatusView.h"
#include "batch/Console.h"
#include "harvest/SearchJobs.h"
#include "net/HttpGetter.h"
#include "refdata/ReferenceTables.h"
#include "results/ResultStore.h"
#include "sitesim/SampleSites.h"
#include "sitesim/SearchPages.h"
#include "support/Doubles.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace trawl {
namespace {

using test::TempDir;
using ::testing::HasSubstr;
using ::testing::Not;

// The sample sites without sockets: each request answered with the bytes the server would send.
class SampleSitesHttp final : public HttpGetter {
public:
    explicit SampleSitesHttp(sitesim::SampleSiteOptions options) : m_options(std::move(options)) {}
    std::string HttpGet(const std::string& host, const std::string& path, int, int) override
    {
        {
            std::lock_guard lock(m_mutex);
            ++m_requests;
        }
        if (onRequest) {
            onRequest();
        }
        if (host == unreachableHost) {
            return {};
        }
        if (const auto answer = answers.find(host); answer != answers.end()) {
            return answer->second;
        }
        return SampleSitePage(sitesim::SimRequest{host, path, {}}, m_options).Bytes();
    }
    std::function<void()> onRequest;            // set before the run; called on the workers' threads
    std::string unreachableHost;                // set before the run; its requests get no answer
    std::map<std::string, std::string> answers; // set before the run: a host's raw answer to every request
    int Requests()
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    sitesim::SampleSiteOptions m_options;
    std::mutex m_mutex;
    int m_requests = 0;
};

ReferenceTables Tables()
{
    ReferenceTables tables;
    tables.CLCityTable = {{"US", "US", "United States", "SF bay area", "sfbay.craigslist.org"},
                          {"US", "US", "United States", "gone", "gone.craigslist.org"}};
    tables.CLSectionTable = {{"sss", "bik", "bicycles"}, {"sss", "fur", "furniture"}};
    tables.CLStateTable = {{"sfbay", "California", "CA"}};
    tables.KJCityTable = {{"Canada", "Ontario", "Toronto", "toronto.kijiji.ca"}};
    tables.KJSectionTable = {{"Buy and Sell", "644", "bikes", "Bikes"}};
    return tables;
}

struct BatchSearchFixture : ::testing::Test {
    TempDir home;
    ReferenceTables tables = Tables();
    Settings settings = Settings::Defaults();
    test::FakeClock clock;
    // Four ads a page from a large pool, so that different terms list different ads.
    SampleSitesHttp http{sitesim::SampleSiteOptions{4, 1000, 0, {2024, 3, 15}, "2.08", {}}};
    BatchStatusView view;
    std::ostringstream out, err;
    Console console{out, err, false};
    ConsolePrompts prompts{console};
    RunFlags flags;
    std::atomic<int> interrupted{0};

    BatchSearchFixture() { settings.DiscardSearches = 0; }

    int Run(const BatchOptions& options) { return Run(options, console); }
    int Run(const BatchOptions& options, Console& runConsole)
    {
        ResultStore store(settings.MaxResults, view, prompts);
        BatchContext context{settings, tables,     home.path(), http,  store,      view,
                             prompts,  runConsole, clock,       flags, interrupted};
        return RunBatchSearches(options, context);
    }
    void WriteSearch(const std::string& name, const std::string& clCities, const std::string& clSections,
                     const std::string& terms)
    {
        test::WriteFile(home.File(name + ".trawl"),
                        name + "\r\n" + clCities + "\r\n" + clSections + "\r\n" + terms + "\r\n\r\n\r\n");
    }
    int SavedRecords(const std::string& name)
    {
        const std::string text = test::ReadFile(home.File(name + ".trawl"));
        int lines = 0;
        for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) {
            ++lines;
        }
        return lines - 6;
    }
};

TEST_F(BatchSearchFixture, every_search_runs_and_status_is_zero_only_when_all_of_them_did)
{
    WriteSearch("a", "sfbay.craigslist.org", "bik", "bike");
    WriteSearch("b", "sfbay.craigslist.org", "bik,fur", "bike,lamp");
    BatchOptions options;
    options.deep = true;
    options.searches = {"a.trawl", "b.trawl"};
    EXPECT_EQ(Run(options), 0) << err.str();
    EXPECT_EQ(SavedRecords("a"), 4);
    EXPECT_EQ(SavedRecords("b"), 2 * 2 * 4);

    options.searches = {"a.trawl", "gone.trawl", "b.trawl"};
    EXPECT_EQ(Run(options), 1);
    EXPECT_THAT(err.str(), HasSubstr("Error: Error: I could not load the search titled 'gone.trawl'"));
}

TEST_F(BatchSearchFixture, a_site_that_cannot_be_reached_is_reported_saved_and_status_one)
{
    WriteSearch("a", "sfbay.craigslist.org,gone.craigslist.org", "bik", "bike");
    http.unreachableHost = "gone.craigslist.org";
    BatchOptions options;
    options.deep = true;
    options.searches = {"a.trawl"};
    EXPECT_EQ(Run(options), 1);
    EXPECT_THAT(err.str(), HasSubstr("Error: I'm having trouble connecting to the search for bike on the server "
                                     "gone.craigslist.org in the section bik. Aborting search, sorry.\n"));
    EXPECT_EQ(SavedRecords("a"), 4); // what the reachable city gave is kept
}

TEST_F(BatchSearchFixture, feeds_that_failed_are_told_per_site_and_fail_the_run_but_a_site_without_ads_does_not)
{
    tables.KJCityTable.push_back({"USA", "Washington", "Seattle", "seattle.kijiji.com"});
    test::WriteFile(home.File("a.trawl"), "a\r\nsfbay.craigslist.org,gone.craigslist.org\r\nbik\r\nbike\r\n"
                                          "toronto.kijiji.ca,seattle.kijiji.com\r\n644\\bikes\r\n");
    http.answers["sfbay.craigslist.org"] = "HTTP/1.1 500 Internal Server Error\r\n\r\n<html>Try later</html>";
    http.answers["gone.craigslist.org"] = "\x16\x03\x01\x02\x00 not a feed";
    http.answers["seattle.kijiji.com"] = sitesim::HttpOkResponse(sitesim::KijijiResultPage({}, {.noAdsMessage = true}));
    BatchOptions options;
    options.searches = {"a.trawl"};
    EXPECT_EQ(Run(options), 1);
    EXPECT_THAT(err.str(),
                HasSubstr("Craigslist: 2 of 2 feeds failed (1 answered HTTP 500, 1 layout not recognised).\n"));
    EXPECT_THAT(err.str(), Not(HasSubstr("Kijiji:")));
    EXPECT_EQ(SavedRecords("a"), 4); // Toronto's ads

    // Both Craigslist cities answer now, one with a feed that lists nothing: a whole answer.
    http.answers["sfbay.craigslist.org"] = sitesim::HttpOkResponse(sitesim::CraigslistSearchFeed({}));
    http.answers.erase("gone.craigslist.org");
    err.str("");
    EXPECT_EQ(Run(options), 0) << err.str();
    EXPECT_EQ(err.str(), "");
}

TEST_F(BatchSearchFixture, a_standard_output_that_cannot_be_written_fails_a_run_that_saved_everything)
{
    WriteSearch("a", "sfbay.craigslist.org", "bik", "bike");
    std::ofstream full("/dev/full");
    ASSERT_TRUE(full.is_open());
    Console fullConsole(full, err, false);
    BatchOptions options;
    options.csv = true;
    options.searches = {"a.trawl"};
    EXPECT_EQ(Run(options, fullConsole), 1);
    EXPECT_EQ(err.str(), "Error: standard output could not be written (No space left on device), so lines saying "
                         "which files were saved are missing.\n");
    EXPECT_EQ(SavedRecords("a"), 4);
    EXPECT_TRUE(FileExists(home.File("a.csv")));
}

TEST_F(BatchSearchFixture, the_alert_command_gets_a_csv_of_just_the_new_results_and_its_failure_fails_the_run)
{
    const std::string script = home.File("alert");
    test::WriteFile(script, "#!/bin/sh\n"
                            "cp \"$TRAWLKIT_NEW_CSV\" \"$(dirname \"$0\")/new-$TRAWLKIT_NEW_COUNT.csv\"\n"
                            "exit $(cat \"$(dirname \"$0\")/status\" 2>/dev/null || echo 0)\n");
    ::chmod(script.c_str(), 0700);
    WriteSearch("a", "sfbay.craigslist.org", "bik", "bike");
    BatchOptions options;
    options.csv = true;
    options.alertCommand = script;
    options.searches = {"a.trawl"};
    ASSERT_EQ(Run(options), 0) << err.str();
    // Four new ads: the header and their four lines, as the CSV output writes them.
    const std::string sent = test::ReadFile(home.File("new-4.csv"));
    EXPECT_EQ(sent, test::ReadFile(home.File("a.csv")));

    // One more term, the records kept: only the ads the second run added are sent.
    const auto setTerms = [this](const std::string& terms) {
        std::string text = test::ReadFile(home.File("a.trawl"));
        const std::size_t line = text.find("\r\nbik\r\n") + 7;
        text.replace(line, text.find("\r\n", line) - line, terms);
        test::WriteFile(home.File("a.trawl"), text);
    };
    setTerms("bike,lamp");
    ASSERT_EQ(Run(options), 0) << err.str();
    const std::string second = test::ReadFile(home.File("new-4.csv"));
    EXPECT_NE(second, sent);
    EXPECT_EQ(std::count(second.begin(), second.end(), '\n'), 5);

    // Nothing new: nothing is sent. A failing command fails the run and says so.
    ::unlink(home.File("new-4.csv").c_str());
    ASSERT_EQ(Run(options), 0) << err.str();
    EXPECT_NE(::access(home.File("new-4.csv").c_str(), F_OK), 0);
    test::WriteFile(home.File("status"), "5");
    setTerms("bike,lamp,chair");
    EXPECT_EQ(Run(options), 1);
    EXPECT_THAT(err.str(), HasSubstr("Error: the alert command '" + script + "' failed with exit status 5."));
}

TEST_F(BatchSearchFixture, a_search_file_another_run_holds_is_waited_for_then_left_alone)
{
    WriteSearch("a", "sfbay.craigslist.org", "bik", "bike");
    const std::string before = test::ReadFile(home.File("a.trawl"));
    FileLock other;
    const std::atomic<int> never{0};
    ASSERT_TRUE(other.Acquire(home.File("a.trawl"), clock, 0, never).ok());
    BatchOptions options;
    options.csv = true;
    options.searches = {"a.trawl"};
    EXPECT_EQ(Run(options), 1);
    EXPECT_EQ(err.str(), "Not run: '" + home.File("a.trawl") +
                             "' is in use by another run of Trawlkit. Waited 30 s; the file was left as it is.\n");
    EXPECT_GE(clock.ElapsedMs(), kSearchFileWaitMs);
    EXPECT_EQ(http.Requests(), 0);
    EXPECT_EQ(test::ReadFile(home.File("a.trawl")), before);
    EXPECT_FALSE(FileExists(home.File("a.csv")));

    // Once the other run has let go, the file is the run's again.
    other.Release();
    err.str("");
    EXPECT_EQ(Run(options), 0) << err.str();
    EXPECT_EQ(SavedRecords("a"), 4);
}

TEST_F(BatchSearchFixture, a_full_store_while_searching_is_saved_but_fails_the_run)
{
    // The store holds two records; each of the two pages lists four ads (of which a page gives only
    // as many as the store holds).
    settings.MaxResults = 2;
    WriteSearch("a", "sfbay.craigslist.org", "bik", "bike,lamp");
    BatchOptions options;
    options.searches = {"a.trawl"};
    EXPECT_EQ(Run(options), 1);
    EXPECT_THAT(err.str(), HasSubstr("Error: The results list has overflowed (2 elements). Please increase max results "
                                     "in the settings.\n"));
    EXPECT_EQ(SavedRecords("a"), 2);
}

TEST_F(BatchSearchFixture, a_file_with_more_records_than_the_store_holds_is_neither_run_nor_saved)
{
    settings.MaxResults = 2;
    std::string content = "a\r\nsfbay.craigslist.org\r\nbik\r\nbike\r\n\r\n\r\n";
    for (int i = 1; i <= 3; ++i) {
        content += "\"2024-03-01\",\"ad " + std::to_string(i) + "\",\"c\",\"s\",\"http://x/" + std::to_string(i) +
                   ".html\",\"scanned\"\r\n";
    }
    test::WriteFile(home.File("a.trawl"), content);
    WriteSearch("b", "sfbay.craigslist.org", "bik", "bike");
    BatchOptions options;
    options.csv = true;
    options.searches = {"a.trawl", "b.trawl"};
    EXPECT_EQ(Run(options), 1);
    // Saving the two records that fitted would have dropped the third.
    EXPECT_EQ(test::ReadFile(home.File("a.trawl")), content);
    EXPECT_FALSE(FileExists(home.File("a.csv")));
    EXPECT_THAT(err.str(), HasSubstr("Not run: '" + home.File("a.trawl") +
                                     "' could not be loaded whole, so it was left as it is.\n"));
    EXPECT_THAT(out.str(), ::testing::Not(HasSubstr("'" + home.File("a.trawl") + "'")));
    // The next search still runs, alone in the store.
    EXPECT_EQ(http.Requests(), 1);
    EXPECT_EQ(SavedRecords("b"), 2);
}

TEST_F(BatchSearchFixture, a_failed_check_is_status_one_and_the_next_search_still_runs)
{
    WriteSearch("empty", "", "bik", "bike");
    WriteSearch("a", "sfbay.craigslist.org", "bik", "bike");
    BatchOptions options;
    options.deep = true;
    options.searches = {"empty.trawl", "a.trawl"};
    EXPECT_EQ(Run(options), 1);
    EXPECT_EQ(SavedRecords("a"), 4);
}

TEST_F(BatchSearchFixture, auto_deep_scan_scans_without_the_option_and_deep_scan_is_skipped_without_either)
{
    WriteSearch("a", "sfbay.craigslist.org", "bik", "bike");
    BatchOptions options;
    options.csv = false;
    options.deep = false;
    options.searches = {"a.trawl"};
    settings.AutoDeepScan = 0;
    EXPECT_EQ(Run(options), 0);
    EXPECT_EQ(http.Requests(), 1); // the feed alone
    EXPECT_THAT(test::ReadFile(home.File("a.trawl")), HasSubstr("<!--RSS-->"));

    WriteSearch("a", "sfbay.craigslist.org", "bik", "bike");
    settings.AutoDeepScan = 1;
    EXPECT_EQ(Run(options), 0);
    EXPECT_EQ(http.Requests(), 1 + 1 + 4); // the feed again and its four ad pages
    EXPECT_THAT(test::ReadFile(home.File("a.trawl")), ::testing::Not(HasSubstr("<!--RSS-->")));
}

TEST_F(BatchSearchFixture, an_interrupt_during_a_search_saves_what_was_found_and_runs_nothing_more)
{
    WriteSearch("a", "sfbay.craigslist.org", "bik,fur", "bike,lamp,chair");
    WriteSearch("b", "sfbay.craigslist.org", "bik", "bike");
    settings.MaxThreads = 1;
    http.onRequest = [this] {
        // Ctrl-C while the first page loads; the page arrives once the run has passed the stop on.
        interrupted.store(1);
        for (int i = 0; i < 500 && flags.StopSearchRequested.load() == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    BatchOptions options;
    options.deep = true;
    options.searches = {"a.trawl", "b.trawl"};
    EXPECT_EQ(Run(options), 1);
    // The job under way finished and was saved; the other five never started.
    EXPECT_EQ(SavedRecords("a"), 4);
    EXPECT_THAT(test::ReadFile(home.File("a.trawl")), HasSubstr("<!--RSS-->")); // no deep scan after the stop
    EXPECT_EQ(SavedRecords("b"), 0);
    EXPECT_THAT(err.str(), HasSubstr("Stopped: 'a.trawl' was interrupted; what it had found is in its search file."));
    EXPECT_THAT(err.str(), HasSubstr("Stopped: 'b.trawl' and the searches after it were not run."));
}

// Raises a flag once the text written to it holds `needle`.
class FlagOnText final : public std::stringbuf {
public:
    FlagOnText(std::string needle, std::atomic<int>& flag) : m_needle(std::move(needle)), m_flag(flag) {}

protected:
    std::streamsize xsputn(const char* text, std::streamsize count) override
    {
        const std::streamsize written = std::stringbuf::xsputn(text, count);
        Look();
        return written;
    }
    int_type overflow(int_type c) override
    {
        const int_type result = std::stringbuf::overflow(c);
        Look();
        return result;
    }

private:
    void Look()
    {
        if (str().find(m_needle) != std::string::npos) {
            m_flag.store(1);
        }
    }
    std::string m_needle;
    std::atomic<int>& m_flag;
};

TEST_F(BatchSearchFixture, an_interrupt_during_the_save_keeps_the_files_whole_and_fails_the_run_with_a_word)
{
    WriteSearch("a", "sfbay.craigslist.org", "bik", "bike");
    // Ctrl-C comes as the save ends (before: the run ended with 0 and no word).
    FlagOnText saved("Search saved to", interrupted);
    out.std::ostream::rdbuf(&saved);
    BatchOptions options;
    options.csv = true;
    options.searches = {"a.trawl"};
    EXPECT_EQ(Run(options), 1);
    EXPECT_EQ(SavedRecords("a"), 4);
    EXPECT_TRUE(FileExists(home.File("a.csv"))); // begun before the stop was seen: written whole

    EXPECT_THAT(err.str(), HasSubstr("Stopped: 'a.trawl' was interrupted; what it had found is in its search file."));
}

TEST_F(BatchSearchFixture, an_interrupt_before_a_search_runs_nothing)
{
    WriteSearch("a", "sfbay.craigslist.org", "bik", "bike");
    WriteSearch("b", "sfbay.craigslist.org", "bik", "bike");
    interrupted.store(1);
    BatchOptions options;
    options.deep = true;
    options.searches = {"a.trawl", "b.trawl"};
    EXPECT_EQ(Run(options), 1);
    EXPECT_THAT(err.str(), HasSubstr("Stopped: 'a.trawl' and the searches after it were not run."));
    EXPECT_EQ(http.Requests(), 0);
}

TEST(CountSearchJobs, pairs_only_a_city_and_a_section_of_the_same_site)
{
    const ReferenceTables tables = Tables();
    Settings settings = Settings::Defaults();
    SearchInputs inputs{"x", "bike,lamp,\"a,b\"", "sfbay.craigslist.org,toronto.kijiji.ca", "bik,fur,644\\bikes"};
    // Terms counted with quotes respected: three. Craigslist 1 x 2, Kijiji 1 x 1.
    EXPECT_EQ(CountSearchJobs(inputs, tables, settings), (2 + 1) * 3);
    settings.SearchKijiji = 0;
    // Kijiji keys resolve to no site now; an unknown city and an unknown section still make a pair.
    EXPECT_EQ(CountSearchJobs(inputs, tables, settings), (2 + 1) * 3);
    inputs.SelectedSectionList = "bik";
    EXPECT_EQ(CountSearchJobs(inputs, tables, settings), 1 * 3);
}

TEST(SearchProgressLine, shows_jobs_results_new_results_and_bytes_grouped)
{
    EXPECT_EQ(SearchProgressLine("bikes", 12, 40, 1230, 230, 1234567),
              "bikes: 12 of 40 jobs, 1,230 results, 230 new, 1,234,567 bytes");
    EXPECT_EQ(ScanProgressLine("bikes", 3, 1200, 10), "bikes: deep scan, 3 of 1,200 ad pages, 10 bytes");
}

} // namespace
} // namespace trawl

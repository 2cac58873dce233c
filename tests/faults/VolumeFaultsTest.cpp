#include "FaultFixture.h"
#include "app/AtomicFile.h"
#include "results/Dates.h"
#include "sitesim/SearchPages.h"

#include <charconv>
#include <gmock/gmock.h>
#include <memory>
#include <sys/stat.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace trawl::test {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

int Count(const std::string& text, const std::string& part)
{
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) {
        ++n;
    }
    return n;
}

class VolumeFaults : public FaultRun {};

TEST_F(VolumeFaults, feed_of_a_hundred_thousand_items_fills_the_store_to_max_results_and_says_so)
{
    // One worker, so the jobs run in order: the Craigslist feed fills the store, then the Kijiji
    // jobs meet the full store at their first add.
    WriteSettings({"MaxThreads: 1"});
    const std::string path = WriteSeededSearch();
    std::vector<sitesim::ListedAd> ads = sitesim::InventAds(77, 100000, kClCity, "bike", today);
    for (sitesim::ListedAd& ad : ads) {
        ad.date = today; // all of them recent, so none is dropped when the file is read again
    }
    // Held by the route (the server's threads may outlive this scope until the fixture stops it).
    auto feed = std::make_shared<const std::string>(sitesim::CraigslistSearchFeed(ads));
    server.AddRoute(kClCity, ClFeedPath(),
                    [feed](const sitesim::SimRequest&) { return sitesim::SimResponse::Page(*feed); });

    const ProgramResult run = RunLogged({"-csv", "bikes.trawl"});
    // Full is a failure of the run, but what was found is saved and written.
    EXPECT_EQ(run.status, 1) << run.err.substr(0, 2000);
    ExpectBounded(run, 8s, 160);
    const std::string overflow =
        "Error: The results list has overflowed (25,000 elements). Please increase max results in the settings.\n";
    EXPECT_THAT(run.err, HasSubstr(overflow));
    // Once for each job that tried to add to the full store; nothing else is reported.
    EXPECT_EQ(Count(run.err, overflow), 3) << run.err.substr(0, 2000);
    EXPECT_EQ(Count(run.err, "\n"), 3) << run.err.substr(0, 2000);
    EXPECT_THAT(run.out, HasSubstr("Search saved to '" + path + "'."));

    const std::vector<std::string> links = LinksIn(path);
    ASSERT_EQ(links.size(), 25000u);
    ExpectSeededKept(path);
    // The feed's items in order, as far as they fitted.
    for (std::size_t i = 3; i < links.size(); ++i) {
        ASSERT_EQ(links[i], ads[i - 3].link) << i;
    }
    EXPECT_EQ(Count(ReadFile(home.File("bikes.csv")), "\r\n"), 25001);
}

// Search files of a million lines: 6 header lines, then one short record per line, each dated today
// and already deep-scanned. The first records are the ads the three pages list, so the search finds
// nothing new.
class MillionLineSearch : public FaultRun {
protected:
    std::string WriteMillionLines()
    {
        const std::string date = FormatStoredDate(today.year, today.month, today.day);
        std::vector<std::string> listed;
        for (const auto& links : {LinksOf(kClCity, ClFeedPath()), LinksOf(kKjCanada, KjCanadaFeedPath()),
                                  LinksOf(kKjStates, KjStatesPagePath())}) {
            listed.insert(listed.end(), links.begin(), links.end());
        }
        std::string text =
            CrLfLines({"bikes", kClCity, "bik", "bike", std::string(kKjCanada) + "," + kKjStates, "644\\bikes"});
        text.reserve(80u << 20);
        // Appended piece by piece: no temporary strings, which the sanitizer builds make slow.
        char digits[16];
        for (int i = 0; i < kRecords; ++i) {
            const std::string_view n(digits,
                                     static_cast<std::size_t>(std::to_chars(digits, digits + 16, i).ptr - digits));
            text += '"';
            text += date;
            text += "\",\"ad ";
            text += n;
            text += "\",\"c\",\"s\",\"";
            if (i < static_cast<int>(listed.size())) {
                text += listed[static_cast<std::size_t>(i)];
            } else {
                text += "http://sfbay.craigslist.org/ad/k/";
                text += n;
                text += ".html";
            }
            text += "\",\"scanned ";
            text += n;
            text += "\"\r\n";
        }
        const std::string path = home.File("bikes.trawl");
        WriteFile(path, text);
        return path;
    }
    static constexpr int kRecords = 1000000 - 6;
};

TEST_F(MillionLineSearch, is_read_searched_and_written_back_unchanged_within_bounds)
{
    WriteSettings({"MaxResults: 1000000"});
    const std::string path = WriteMillionLines();
    const std::string before = ReadFile(path);

    const ProgramResult run = RunLogged({"-deep", "bikes.trawl"});
    EXPECT_EQ(run.status, 0) << run.err;
    ExpectBounded(run, 20s, 400);
    // The three pages and no ad page: every record is already deep-scanned (with a short text, so
    // the deep scan starts and finds nothing to take).
    EXPECT_EQ(server.RequestCount(), 3u);
    EXPECT_EQ(run.err, "");
    const std::string after = ReadFile(path);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_TRUE(after == before) << "the search file changed";
}

TEST_F(MillionLineSearch, too_big_for_max_results_is_left_as_it_is_and_the_run_fails)
{
    // MaxResults at its default of 25,000: the file holds forty times that.
    const std::string path = WriteMillionLines();
    const std::string before = ReadFile(path);

    const ProgramResult run = RunLogged({"-deep", "-csv", "bikes.trawl"});
    EXPECT_EQ(run.status, 1) << run.err;
    // A small run's memory, and the few blocks the loader has read ahead on the other core when the
    // store overflows (the file is over a gigabyte).
    ExpectBounded(run, 10s, kSmallRunMiB + 12);
    EXPECT_THAT(run.err, HasSubstr("Error: The results list has overflowed (25,000 elements). Please increase max "
                                   "results in the settings.\n"));
    // Saving what could be read would throw away everything after the 25,000th record.
    EXPECT_THAT(run.out, Not(HasSubstr("Search saved")));
    EXPECT_TRUE(ReadFile(path) == before) << "the search file changed";
    EXPECT_FALSE(FileExists(home.File("bikes.csv")));
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(VolumeFaults, list_files_with_ten_megabyte_lines_still_start_and_search)
{
    const std::string path = WriteSeededSearch();
    const std::string huge(10u << 20, 'x');
    // A ten megabyte header (its columns first), and a ten megabyte city row between two real ones.
    const std::string clCities =
        CrLfLines({R"("Region","CountryCode","CountryName","StateCode","CityName","CityURL",")" + huge,
                   R"("US","US","United States","CA","SF bay area","sfbay.craigslist.org")"});
    WriteFile(home.File("CLcitylist.csv"), clCities);
    WriteFile(home.File("KJcitylist.csv"),
              CrLfLines({R"("Country","State","City","URL")", R"("Canada","Ontario","Toronto","toronto.kijiji.ca")",
                         "\"Canada\",\"Ontario\",\"" + huge + "\",\"huge.kijiji.ca\"",
                         R"("United States","Massachusetts","Boston","boston.kijiji.com")"}));
    // A section list whose only line after the header is ten megabytes without a line end.
    WriteFile(home.File("CLsectlist.csv"),
              CrLfLines({R"("MasterSectionCode","SectionCode","SectionName")", R"("sss","bik","bicycles")"}) + huge);

    const ProgramResult run = RunLogged({"-csv", "bikes.trawl"});
    EXPECT_EQ(run.status, 0) << run.err;
    ExpectBounded(run, 4s, kSmallRunMiB);
    std::set<std::string> links = LinksOf(kClCity, ClFeedPath());
    links.merge(LinksOf(kKjCanada, KjCanadaFeedPath()));
    links.merge(LinksOf(kKjStates, KjStatesPagePath()));
    EXPECT_EQ(LinksIn(path).size(), links.size() + seeded.size());
    ExpectSeededKept(path);
    // The lists are only read: the files are as they were.
    EXPECT_TRUE(ReadFile(home.File("CLcitylist.csv")) == clCities);
}

TEST_F(VolumeFaults, a_folder_or_an_endless_device_in_a_lists_place_is_a_missing_list_not_a_crash_or_a_hang)
{
    const std::string path = WriteSeededSearch();
    // The city list is a link to a pipe nobody writes to (as a link to /dev/zero, which is not used
    // here because the download writes where the link is): it is taken for a missing list and
    // downloaded again over the link, the pipe left alone (before: the read blocked for ever). The
    // downloaded list is the sample sites', which does not hold the search's cities, so the search
    // itself is refused as having none.
    const std::string cities = home.File("CLcitylist.csv");
    const std::string pipe = home.File("endless");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(std::remove(cities.c_str()), 0);
    ASSERT_EQ(::symlink(pipe.c_str(), cities.c_str()), 0);
    ProgramResult run = RunLogged({"-csv", "bikes.trawl"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr("You have not selected any cities or regions to search."));
    ExpectBounded(run, 10s, kSmallRunMiB);
    ExpectSeededKept(path);
    EXPECT_THAT(ReadFile(cities), StartsWith("\"Region\""));
    struct stat info {};
    EXPECT_TRUE(::stat(pipe.c_str(), &info) == 0 && S_ISFIFO(info.st_mode));

    // The section list is a folder, which no download can replace: said, and nothing else is touched.
    const std::string sections = home.File("CLsectlist.csv");
    ASSERT_EQ(std::remove(sections.c_str()), 0);
    ASSERT_EQ(::mkdir(sections.c_str(), 0700), 0);
    const std::string before = ReadFile(path);
    run = RunLogged({"-csv", "bikes.trawl"});
    EXPECT_EQ(run.status, 3) << run.err;
    ExpectBounded(run, 10s, kSmallRunMiB);
    EXPECT_THAT(run.err, HasSubstr("are missing or empty and could not be downloaded"));
    EXPECT_EQ(ReadFile(path), before);
}

TEST_F(VolumeFaults, a_linked_search_file_stays_a_link_and_a_killed_saves_leftover_goes)
{
    const std::string path = WriteSeededSearch();
    // The search lives in a folder of its own, linked from the program folder; a save killed an hour
    // ago left its temporary file beside it.
    const std::string target = home.File("kept/bikes.trawl");
    const std::string leftover = home.File("kept/.bikes.trawl.tmp-Ab3xYz");
    ASSERT_EQ(::mkdir(home.File("kept").c_str(), 0700), 0);
    ASSERT_EQ(std::rename(path.c_str(), target.c_str()), 0);
    ASSERT_EQ(::symlink("kept/bikes.trawl", path.c_str()), 0);
    WriteFile(leftover, std::string(1 << 20, 'x'));
    const timeval hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimes(leftover.c_str(), hourAgo), 0);

    const ProgramResult run = RunLogged({"-csv", "bikes.trawl"});
    EXPECT_EQ(run.status, 0) << run.err;
    ExpectBounded(run, 5s, kSmallRunMiB);
    // Before: the link was replaced by a plain file and its target kept the old records.
    struct stat info {};
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ExpectSeededKept(target);
    std::set<std::string> links = LinksOf(kClCity, ClFeedPath());
    links.merge(LinksOf(kKjCanada, KjCanadaFeedPath()));
    links.merge(LinksOf(kKjStates, KjStatesPagePath()));
    EXPECT_EQ(LinksIn(target).size(), links.size() + seeded.size());
    EXPECT_NE(::access(leftover.c_str(), F_OK), 0);
}

TEST_F(VolumeFaults, two_runs_on_one_search_file_keep_the_records_of_both)
{
    const std::string path = WriteSeededSearch();
    // The first run's sites answer slowly, so it still holds the file when the second one starts;
    // the second run's sites list other ads (their links say "/second/").
    sitesim::Knobs slow;
    slow.latencyMs = 1500;
    server.SetGlobalKnobs(slow);
    sitesim::SampleSiteServer second;
    second.AddRoute("*", "*",
                    [options = world.sites](const sitesim::SimRequest& request) {
                        sitesim::SimResponse page = sitesim::SampleSitePage(request, options);
                        for (auto at = page.body.find("/ad/"); at != std::string::npos;
                             at = page.body.find("/ad/", at + 11)) {
                            page.body.replace(at, 4, "/ad/second/");
                        }
                        return page;
                    },
                    {});
    ASSERT_TRUE(second.Start().ok());
    auto secondEnv = Env();
    secondEnv["TRAWLKIT_CONNECT_TO"] = "*:80:127.0.0.1:" + std::to_string(second.port());

    ProgramResult later;
    const ProgramResult first = RunLogged({"-csv", "bikes.trawl"}, Env(), [&](int) {
        for (int i = 0; i < 2000 && server.RequestCount() == 0; ++i) {
            std::this_thread::sleep_for(5ms);
        }
        later = RunLogged({"-csv", "bikes.trawl"}, secondEnv);
    });

    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(later.status, 0) << later.err;
    // The second run waited for the first to save, then read what it saved.
    EXPECT_GE(later.wallMs, 1000);
    ExpectBounded(later, 10s, kSmallRunMiB);
    const std::vector<std::string> links = LinksIn(path);
    const auto fromSecond = std::count_if(links.begin(), links.end(), [](const std::string& link) {
        return link.find("/ad/second/") != std::string::npos;
    });
    EXPECT_GT(fromSecond, 0);
    // Before: whichever run saved last wrote its own view, and the other run's new records were gone.
    EXPECT_EQ(links.size(), seeded.size() + 2 * static_cast<std::size_t>(fromSecond)) << first.err << later.err;
    ExpectSeededKept(path);
}

} // namespace
} // namespace trawl::test

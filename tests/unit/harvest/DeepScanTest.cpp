#include "HarvestFixture.h"
#include "harvest/AdPageText.h"
#include "harvest/DeepScanRecords.h"
#include "sitesim/AdPages.h"
#include "sitesim/SearchPages.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>

namespace trawl {
namespace {

using ::testing::Contains;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kSf = "sfbay.craigslist.org";

std::string Link(int n)
{
    return std::string("http://") + kSf + "/ad/" + std::to_string(n) + ".html";
}
std::string AdPath(int n)
{
    return "/ad/" + std::to_string(n) + ".html";
}

// Every ad page answers with a Craigslist page made from its path.
std::string AdPageFor(const std::string&, const std::string& path)
{
    const auto seed = static_cast<std::uint32_t>(std::hash<std::string>{}(path) % 100000);
    return sitesim::HttpOkResponse(sitesim::CraigslistAdPage({.seed = seed}));
}

struct DeepScanRun : test::HarvestFixture {
    void SetUp() override
    {
        test::HarvestFixture::SetUp();
        http.fallback = AdPageFor;
    }
    void RunDeepScan()
    {
        StartDeepScan();
        ASSERT_TRUE(deepScan->WaitFinished(std::chrono::seconds(20)));
    }
    std::vector<std::string> Paths() const
    {
        std::vector<std::string> paths;
        for (const auto& r : http.Requests()) {
            paths.push_back(r.path);
        }
        return paths;
    }
};

TEST_F(DeepScanRun, takes_empty_records_first_then_feed_texts_and_never_other_short_texts)
{
    settings.MaxThreads2 = 1;
    settings.OverrideRSS = 1;
    AddRecord(Link(1), "<!--RSS-->a description from the feed");
    AddRecord(Link(2));
    AddRecord(Link(3), "Error");
    AddRecord(Link(4), "abc");
    AddRecord(Link(5));
    RunDeepScan();
    EXPECT_THAT(Paths(), ElementsAre(AdPath(2), AdPath(5), AdPath(1)));
    EXPECT_EQ(FullText(1), ExtractAdText(kSf, AdPageFor(kSf, AdPath(1))));
    EXPECT_EQ(FullText(3), "Error");
    EXPECT_EQ(FullText(4), "abc");
    EXPECT_THAT(http.Requests(), Each(testing::Field(&test::HttpRequest::countBytes, 1)));
    EXPECT_THAT(view.MarkedCells(),
                ElementsAre(std::pair<int, std::string>{2, "Yes"}, std::pair<int, std::string>{5, "Yes"},
                            std::pair<int, std::string>{1, "Yes"}));
    EXPECT_TRUE(store->UnsavedResults());
    // The last worker puts the command back and clears the flag.
    EXPECT_EQ(flags.ScanRunning.load(), 0);
    EXPECT_EQ(view.DeepScanCaption(), "Deep Scan");
    EXPECT_THAT(view.Log(), Contains("deepscan Abort DS"));
    const auto last = view.SlotState(SlotKind::Scan, 1);
    EXPECT_EQ(last.text, "");
    EXPECT_EQ(last.light, Light::Dark);
    EXPECT_THAT(last.texts, Contains(Link(5)));
}

TEST_F(DeepScanRun, feed_texts_stay_when_override_is_off)
{
    settings.OverrideRSS = 0;
    AddRecord(Link(1), "<!--RSS-->a description from the feed");
    AddRecord(Link(2));
    RunDeepScan();
    EXPECT_THAT(Paths(), ElementsAre(AdPath(2)));
    EXPECT_EQ(FullText(1), "<!--RSS-->a description from the feed");
}

TEST_F(DeepScanRun, each_worker_moves_the_bar_only_while_no_search_runs)
{
    settings.MaxThreads2 = 1;
    for (int n = 1; n <= 4; ++n) {
        AddRecord(Link(n));
    }
    RunDeepScan();
    EXPECT_THAT(view.ProgressHistory(), ElementsAre(0, 250, 250, 500, 500, 750, 750, 1000, 1000));

    AddRecord(Link(5));
    flags.SearchRunning.store(1);
    const std::size_t before = view.ProgressHistory().size();
    RunDeepScan();
    EXPECT_EQ(view.ProgressHistory().size(), before);
    EXPECT_NE(FullText(5), "");
}

TEST_F(DeepScanRun, the_launcher_starts_one_worker_a_second_in_idle_slots)
{
    settings.MaxThreads2 = 3;
    http.Hold();
    for (int n = 1; n <= 6; ++n) {
        AddRecord(Link(n));
    }
    StartDeepScan();
    http.AwaitHeld(3);
    EXPECT_EQ(deepScan->BusyWorkers(), 3);
    http.Release();
    ASSERT_TRUE(deepScan->WaitFinished(std::chrono::seconds(20)));
    const auto waits = clock.Waits();
    EXPECT_EQ(std::count(waits.begin(), waits.end(), 1000), 3);
    EXPECT_EQ(http.Peak(), 3);
}

TEST_F(DeepScanRun, an_expired_posting_is_dated_zero_and_says_so)
{
    http.Respond(kSf, AdPath(1), sitesim::HttpOkResponse(sitesim::CraigslistAdPage({.expired = true})));
    AddRecord(Link(1));
    RunDeepScan();
    auto locked = store->Lock();
    EXPECT_EQ(locked.View(1).FullText, "This posting has expired and will be removed shortly.");
    EXPECT_EQ(locked.View(1).Date, "0000-00-00");
}

TEST_F(DeepScanRun, a_record_without_a_link_becomes_error_and_ends_its_worker)
{
    settings.MaxThreads2 = 1;
    AddRecord("");
    AddRecord(Link(2));
    RunDeepScan();
    auto locked = store->Lock();
    EXPECT_EQ(locked.View(1).URI, "Error");
    EXPECT_EQ(locked.View(1).FullText, "Error");
    EXPECT_EQ(locked.View(2).FullText, "");
    EXPECT_TRUE(http.Requests().empty());
}

TEST_F(DeepScanRun, retries_then_gives_the_record_back_with_its_feed_text_after_five_failures)
{
    settings.OverrideRSS = 1;
    settings.MaxThreads2 = 1;
    http.Respond(kSf, AdPath(1), "HTTP/1.0 500 Oops\r\n\r\nshort");
    AddRecord(Link(1), "<!--RSS-->a description from the feed");
    RunDeepScan();
    EXPECT_EQ(http.Calls(kSf, AdPath(1)), 5);
    EXPECT_THAT(prompts.Lines(), ElementsAre("Error: I'm having trouble downloading /ad/1.html from the server "
                                             "sfbay.craigslist.org. Aborting deep scan, sorry."));
    EXPECT_EQ(FullText(1), "<!--RSS-->a description from the feed");
    const auto texts = view.SlotState(SlotKind::Scan, 1).texts;
    EXPECT_THAT(texts, Contains("Connect problem (sfbay.craigslist.org)... Restarting in 25"));
    const auto waits = clock.Waits();
    EXPECT_EQ(std::count(waits.begin(), waits.end(), 100), 4 * 25 * 10);
}

TEST_F(DeepScanRun, an_https_page_whose_handshake_failed_names_the_reason_on_the_row)
{
    settings.MaxThreads2 = 1;
    const std::string host = std::string("https://") + kSf;
    http.RespondInTurn(host, AdPath(1), {"", AdPageFor(host, AdPath(1))});
    http.connectFailures[host] = "handshake failed with sfbay.craigslist.org";
    AddRecord(host + AdPath(1), "");
    RunDeepScan();
    EXPECT_EQ(http.Calls(host, AdPath(1)), 2);
    EXPECT_THAT(view.SlotState(SlotKind::Scan, 1).texts,
                Contains("Connect problem (handshake failed with sfbay.craigslist.org)... Restarting in 25"));
}

TEST_F(DeepScanRun, an_abort_gives_the_record_back_and_a_new_start_takes_it_again)
{
    http.RespondInTurn(kSf, AdPath(1), {"", AdPageFor(kSf, AdPath(1))});
    view.onSlotText = [this](SlotKind, int, const std::string& text) {
        if (text.ends_with("Restarting in 20")) {
            flags.StopScanRequested.store(1);
        }
    };
    AddRecord(Link(1));
    RunDeepScan();
    EXPECT_EQ(FullText(1), "");
    EXPECT_EQ(flags.ScanRunning.load(), 0);

    // While the request stays set, automatic starts end at once without a download.
    deepScan->Launch(settings);
    ASSERT_TRUE(deepScan->WaitFinished(std::chrono::seconds(20)));
    EXPECT_EQ(http.Calls(kSf, AdPath(1)), 1);
    EXPECT_EQ(FullText(1), "");

    view.onSlotText = nullptr;
    RunDeepScan();
    EXPECT_EQ(http.Calls(kSf, AdPath(1)), 2);
    EXPECT_EQ(FullText(1), ExtractAdText(kSf, AdPageFor(kSf, AdPath(1))));
}

TEST_F(DeepScanRun, the_text_goes_to_the_claimed_record_not_to_one_whose_link_contains_it)
{
    AddRecord(Link(1) + "?from=list", std::string(60, 's'));
    AddRecord(Link(1));
    RunDeepScan();
    EXPECT_EQ(FullText(1), std::string(60, 's'));
    EXPECT_EQ(FullText(2), ExtractAdText(kSf, AdPageFor(kSf, AdPath(1))));
}

TEST_F(DeepScanRun, a_download_under_way_at_a_stop_completes_and_is_stored)
{
    http.Hold();
    AddRecord(Link(1));
    AddRecord(Link(2));
    settings.MaxThreads2 = 1;
    StartDeepScan();
    http.AwaitHeld(1);
    EXPECT_FALSE(deepScan->StopAndWait(std::chrono::milliseconds(20))); // still inside its fetch
    http.Release();
    ASSERT_TRUE(deepScan->WaitFinished(std::chrono::seconds(20)));
    EXPECT_NE(FullText(1), "");
    EXPECT_NE(FullText(1), "Pending");
    EXPECT_EQ(FullText(2), "");
    EXPECT_EQ(http.Requests().size(), 1u);
}

TEST_F(DeepScanRun, twelve_workers_fetch_every_record_exactly_once)
{
    settings.MaxThreads2 = 12;
    for (int n = 1; n <= 300; ++n) {
        AddRecord(Link(n));
    }
    RunDeepScan();
    const auto paths = Paths();
    EXPECT_EQ(paths.size(), 300u);
    EXPECT_EQ(std::set<std::string>(paths.begin(), paths.end()).size(), 300u);
    EXPECT_LE(http.Peak(), 12);
    for (int n = 1; n <= 300; ++n) {
        EXPECT_EQ(FullText(n), ExtractAdText(kSf, AdPageFor(kSf, AdPath(n)))) << n;
    }
    EXPECT_EQ(deepScan->BusyWorkers(), 0);
}

TEST_F(DeepScanRun, the_command_and_the_workers_count_what_is_left_their_own_ways)
{
    AddRecord(Link(1));                                      // empty: both
    AddRecord(Link(2), "Error");                             // short: the command only
    AddRecord(Link(3), std::string(50, 'x'));                // scanned: neither
    AddRecord(Link(4), "<!--RSS-->" + std::string(60, 'r')); // feed text: both, with the override
    EXPECT_EQ(CountDeepScanCandidates(*store, false), 2);
    EXPECT_EQ(CountDeepScanCandidates(*store, true), 3);
    EXPECT_EQ(CountScanPending(*store, false), 1);
    EXPECT_EQ(CountScanPending(*store, true), 2);
}

using AutomaticDeepScan = DeepScanRun;

TEST_F(AutomaticDeepScan, search_adds_leave_the_scan_alone_when_not_asked)
{
    const auto ads = sitesim::InventAds(1, 5, kSf);
    http.Respond(kSf, "/search/bik?query=x&format=rss", sitesim::HttpOkResponse(sitesim::CraigslistSearchFeed(ads)));
    settings.AutoDeepScan = 0;
    RunSearch(kSf, "bik", "x");
    ASSERT_TRUE(deepScan->WaitFinished(std::chrono::seconds(20)));
    EXPECT_EQ(store->Count(), 5);
    EXPECT_EQ(http.Requests().size(), 1u); // the feed only
}

TEST_F(AutomaticDeepScan, search_adds_start_the_scan_when_asked)
{
    const auto ads = sitesim::InventAds(1, 5, kSf);
    http.Respond(kSf, "/search/bik?query=x&format=rss", sitesim::HttpOkResponse(sitesim::CraigslistSearchFeed(ads)));
    settings.AutoDeepScan = 1;
    settings.OverrideRSS = 1;
    settings.MaxThreads2 = 2;
    RunSearch(kSf, "bik", "x");
    ASSERT_TRUE(deepScan->WaitFinished(std::chrono::seconds(20)));
    ASSERT_EQ(store->Count(), 5);
    for (int n = 1; n <= 5; ++n) {
        const std::string path = ads[static_cast<std::size_t>(n - 1)].link.substr(7 + std::string(kSf).size());
        EXPECT_EQ(http.Calls(kSf, path), 1) << path;
        EXPECT_THAT(FullText(n), HasSubstr("<br /><br />"));
    }
    EXPECT_EQ(flags.ScanRunning.load(), 0);
    // An automatic start leaves the view alone.
    EXPECT_THAT(view.Log(), Not(Contains("view Scan")));
}

TEST_F(AutomaticDeepScan, a_running_scan_takes_the_records_a_search_adds)
{
    const auto ads = sitesim::InventAds(2, 3, kSf);
    http.Respond(kSf, "/search/bik?query=x&format=rss", sitesim::HttpOkResponse(sitesim::CraigslistSearchFeed(ads)));
    settings.AutoDeepScan = 0;
    flags.ScanRunning.store(1); // as the Deep Scan command leaves it
    RunSearch(kSf, "bik", "x");
    ASSERT_TRUE(deepScan->WaitFinished(std::chrono::seconds(20)));
    // The first add starts a worker, which takes the lowest empty record first. (Whether the later
    // adds find the scan still running depends on timing: once its last worker ends, it is over.)
    EXPECT_THAT(FullText(1), HasSubstr("<br /><br />"));
    EXPECT_EQ(flags.ScanRunning.load(), 0);
}

} // namespace
} // namespace trawl

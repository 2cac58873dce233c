#include "HarvestFixture.h"
#include "sitesim/SearchPages.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>

namespace trawl {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Not;

constexpr const char* kSf = "sfbay.craigslist.org";

std::string ClFeed(std::uint32_t seed, int count, const std::string& host = kSf)
{
    return sitesim::HttpOkResponse(sitesim::CraigslistSearchFeed(sitesim::InventAds(seed, count, host)));
}

std::vector<std::string> RequestLines(const test::ScriptedHttp& http)
{
    std::vector<std::string> lines;
    for (const auto& r : http.Requests()) {
        lines.push_back(r.host + r.path);
    }
    return lines;
}

using SearchRun = test::HarvestFixture;

TEST_F(SearchRun, one_thread_runs_jobs_in_city_section_term_order_and_restores_idle)
{
    settings.MaxThreads = 1;
    RunSearch("sfbay.craigslist.org,boston.craigslist.org", "bik,fur", "x,y");
    EXPECT_THAT(RequestLines(http), ElementsAre("sfbay.craigslist.org/search/bik?query=x&format=rss",
                                                "sfbay.craigslist.org/search/bik?query=y&format=rss",
                                                "sfbay.craigslist.org/search/fur?query=x&format=rss",
                                                "sfbay.craigslist.org/search/fur?query=y&format=rss",
                                                "boston.craigslist.org/search/bik?query=x&format=rss",
                                                "boston.craigslist.org/search/bik?query=y&format=rss",
                                                "boston.craigslist.org/search/fur?query=x&format=rss",
                                                "boston.craigslist.org/search/fur?query=y&format=rss"));
    EXPECT_THAT(view.ProgressHistory(), ElementsAre(0, 125, 250, 375, 500, 625, 750, 875, 1000));
    EXPECT_EQ(view.WindowTitle(), "Trawlkit v2.08");
    EXPECT_EQ(view.GoCaption(), "Go!");
    EXPECT_EQ(view.IdleCount(), 1);
    EXPECT_EQ(flags.SearchRunning.load(), 0);
    // Only slot 1 was ever used, and it ends dark and empty.
    const auto slot1 = view.SlotState(SlotKind::Search, 1);
    EXPECT_THAT(slot1.texts, Contains("y in furniture in boston"));
    EXPECT_EQ(slot1.text, "");
    EXPECT_EQ(slot1.light, Light::Dark);
    EXPECT_EQ(slot1.site, SiteIcon::None);
    EXPECT_TRUE(view.SlotState(SlotKind::Search, 2).texts.empty());
    // Slots are looked at every 150 ms, on the clock.
    EXPECT_THAT(clock.Waits(), testing::Each(150));
}

TEST_F(SearchRun, a_site_that_answers_without_saying_anything_is_kept_on_its_row_and_reported_at_the_end)
{
    settings.MaxThreads = 2;
    http.Respond(kSf, "/search/bik?query=x&format=rss", "HTTP/1.1 403 Forbidden\r\n\r\nGo away");
    http.Respond("toronto.kijiji.ca", "/f-SearchAdRss?catId=644&Keyword=x",
                 sitesim::HttpOkResponse("<html>We changed our pages</html>"));
    http.Hold(); // both jobs in flight at once, one on each row
    StartSearch("sfbay.craigslist.org,toronto.kijiji.ca", "bik,644\\bikes", "x");
    http.AwaitHeld(2);
    http.Release();
    ASSERT_TRUE(scheduler->WaitFinished(std::chrono::seconds(20)));
    // Each row still says why its site gave nothing, in red, once the run is over.
    std::set<std::string> rows;
    for (int s : {1, 2}) {
        const auto slot = view.SlotState(SlotKind::Search, s);
        rows.insert(slot.text);
        EXPECT_EQ(slot.light, Light::Red) << s;
    }
    EXPECT_EQ(rows, (std::set<std::string>{"Refused by the site (SF bay area)", "Layout not recognised (Toronto)"}));
    EXPECT_EQ(view.SiteReport(), "Craigslist: 1 of 1 feed failed (1 refused by the site).\n"
                                 "Kijiji: 1 of 1 feed failed (1 layout not recognised).");
    EXPECT_EQ(store->Count(), 0);

    // The next run starts clean: its site answers, the rows and the report are cleared.
    RunSearch("sfbay.craigslist.org", "bik", "y");
    EXPECT_EQ(view.SlotState(SlotKind::Search, 1).text, "");
    EXPECT_EQ(view.SlotState(SlotKind::Search, 2).text, "");
    EXPECT_EQ(view.SiteReport(), "");
}

TEST_F(SearchRun, pairs_of_different_sites_yield_no_jobs_while_the_bar_jumps_past_them)
{
    settings.MaxThreads = 1;
    RunSearch("sfbay.craigslist.org,toronto.kijiji.ca", "bik,644\\bikes", "x");
    EXPECT_THAT(RequestLines(http), ElementsAre("sfbay.craigslist.org/search/bik?query=x&format=rss",
                                                "toronto.kijiji.ca/f-SearchAdRss?catId=644&Keyword=x"));
    EXPECT_THAT(view.ProgressHistory(), ElementsAre(0, 750, 1000));
}

TEST_F(SearchRun, sites_switched_off_resolve_nothing_and_default_cities_show_their_country)
{
    http.Respond("amsterdam.craigslist.org", "/search/bik?query=x&format=rss",
                 ClFeed(1, 1, "amsterdam.craigslist.org"));
    settings.SearchKijiji = 0;
    settings.MaxThreads = 1;
    RunSearch("amsterdam.craigslist.org,toronto.kijiji.ca", "bik,644\\bikes", "x");
    // The Kijiji city and section both stay unresolved and so pair with each other; the key's
    // marker still finds the site, so the job is asked like any other.
    EXPECT_THAT(RequestLines(http), ElementsAre("amsterdam.craigslist.org/search/bik?query=x&format=rss",
                                                "toronto.kijiji.ca/f-SearchAdRss?catId=644&Keyword=x"));
    auto locked = store->Lock();
    ASSERT_EQ(locked.Count(), 1);
    EXPECT_EQ(locked.View(1).City, "Netherlands");
    EXPECT_EQ(locked.View(1).Section, "bicycles");
}

TEST_F(SearchRun, term_lists_are_counted_with_quotes_and_cut_without)
{
    settings.MaxThreads = 1;
    RunSearch("sfbay.craigslist.org", "bik", "bike,,car");
    EXPECT_THAT(RequestLines(http), ElementsAre("sfbay.craigslist.org/search/bik?query=bike&format=rss",
                                                "sfbay.craigslist.org/search/bik?query=+&format=rss",
                                                "sfbay.craigslist.org/search/bik?query=car&format=rss"));
    http.Respond("x", "y", ""); // keep the request log, start a second run
    const std::size_t before = http.Requests().size();
    flags.SearchRunning.store(1);
    RunSearch("sfbay.craigslist.org", "bik", "\"a,b\",c");
    const auto lines = RequestLines(http);
    // Two terms by count, the first two parts by cutting: c is never searched.
    EXPECT_THAT(std::vector<std::string>(lines.begin() + static_cast<long>(before), lines.end()),
                ElementsAre("sfbay.craigslist.org/search/bik?query=%22a&format=rss",
                            "sfbay.craigslist.org/search/bik?query=b%22&format=rss"));
}

TEST_F(SearchRun, keys_without_a_site_marker_send_nothing_and_add_nothing)
{
    tables.CLCityTable.push_back({"X", "XX", "Nowhere", "Lost", "broken.example.org"});
    RunSearch("broken.example.org", "bik", "x");
    EXPECT_TRUE(http.Requests().empty());
    EXPECT_EQ(store->Count(), 0);
    EXPECT_EQ(prompts.Count(), 0u);
    EXPECT_THAT(clock.Waits(), Not(Contains(100))); // no retry countdown
}

TEST_F(SearchRun, never_more_workers_than_max_threads_and_only_their_slots)
{
    settings.MaxThreads = 3;
    http.fallback = [](const std::string& host, const std::string& path) {
        return ClFeed(static_cast<std::uint32_t>(std::hash<std::string>{}(path) % 1000), 2, host);
    };
    http.Hold();
    StartSearch("sfbay.craigslist.org", "bik,fur", "a,b,c,d");
    http.AwaitHeld(3);
    EXPECT_EQ(http.Requests().size(), 3u);
    http.Release();
    ASSERT_TRUE(scheduler->WaitFinished(std::chrono::seconds(20)));
    EXPECT_EQ(http.Requests().size(), 8u);
    EXPECT_EQ(http.Peak(), 3);
    for (int s = 4; s <= 12; ++s) {
        EXPECT_TRUE(view.SlotState(SlotKind::Search, s).texts.empty()) << "slot " << s;
    }
    EXPECT_EQ(store->Count(), 16);
}

TEST_F(SearchRun, a_certificate_that_failed_is_named_on_the_row_while_it_counts_down)
{
    settings.MaxThreads = 1;
    const std::string host = std::string("https://") + kSf;
    tables.CLCityTable[0].CityURL = host; // as a list written by today's site has it
    http.RespondInTurn(host, "/search/bik?query=x&format=rss", {"", ClFeed(4, 3)});
    http.connectFailures[host] = "certificate not trusted for sfbay.craigslist.org";
    RunSearch(host, "bik", "x");
    EXPECT_EQ(store->Count(), 3);
    EXPECT_THAT(view.SlotState(SlotKind::Search, 1).texts,
                Contains("Connect problem (certificate not trusted for sfbay.craigslist.org)... Restarting in 25"));
}

TEST_F(SearchRun, retries_count_down_on_the_row_then_succeed)
{
    settings.MaxThreads = 1;
    http.RespondInTurn(kSf, "/search/bik?query=x&format=rss", {"", "", ClFeed(4, 3)});
    clock.QueueRandom(3);  // first pause 28 s
    clock.QueueRandom(10); // second 35 s
    RunSearch(kSf, "bik", "x");
    EXPECT_EQ(http.Calls(kSf, "/search/bik?query=x&format=rss"), 3);
    EXPECT_EQ(store->Count(), 3);
    EXPECT_EQ(prompts.Count(), 0u);
    const auto texts = view.SlotState(SlotKind::Search, 1).texts;
    EXPECT_THAT(texts, Contains("Connect problem (SF bay area)... Restarting in 28"));
    EXPECT_THAT(texts, Contains("Connect problem (SF bay area)... Restarting in 35"));
    EXPECT_THAT(texts, Contains("Connect problem (SF bay area)... Restarting in 1"));
    EXPECT_THAT(texts, Not(Contains("Connect problem (SF bay area)... Restarting in 0")));
    const auto waits = clock.Waits();
    EXPECT_EQ(std::count(waits.begin(), waits.end(), 100), (28 + 35) * 10);
    EXPECT_THAT(view.Log(), Contains("Search 1 light ICONRED"));
}

TEST_F(SearchRun, five_failures_in_two_workers_show_one_message)
{
    http.fallback = nullptr; // nothing answers
    settings.MaxThreads = 2;
    // The first box stays open until the other worker has given up too.
    prompts.responder = [this](const test::ShownPrompt&) {
        EXPECT_TRUE(view.AwaitFinished(SlotKind::Search, 1));
        return PromptAnswer::Ok;
    };
    RunSearch(kSf, "bik,fur", "x");
    EXPECT_EQ(http.Requests().size(), 10u);
    ASSERT_EQ(prompts.Count(), 1u);
    const std::string text = prompts.Shown()[0].text;
    EXPECT_TRUE(text == "I'm having trouble connecting to the search for x on the server sfbay.craigslist.org in "
                        "the section bik. Aborting search, sorry." ||
                text == "I'm having trouble connecting to the search for x on the server sfbay.craigslist.org in "
                        "the section fur. Aborting search, sorry.")
        << text;
    EXPECT_EQ(prompts.Shown()[0].kind, PromptKind::Error);

    // Once closed, the next failure may show its own box.
    prompts.responder = nullptr;
    RunSearch(kSf, "bik", "y");
    EXPECT_EQ(prompts.Count(), 2u);
}

TEST_F(SearchRun, abort_while_all_slots_busy_starts_nothing_more)
{
    settings.MaxThreads = 2;
    http.fallback = [](const std::string& host, const std::string&) { return ClFeed(9, 1, host); };
    http.Hold();
    StartSearch(kSf, "bik,fur", "a,b,c");
    http.AwaitHeld(2);
    flags.StopSearchRequested.store(1);
    http.Release();
    ASSERT_TRUE(scheduler->WaitFinished(std::chrono::seconds(20)));
    // The two running fetches finish and add; the job already waiting for a slot starts and ends
    // before fetching.
    EXPECT_EQ(http.Requests().size(), 2u);
    EXPECT_EQ(store->Count(), 1); // both feeds list the same ad
    EXPECT_THAT(view.ProgressHistory(), Not(Contains(1000)));
    EXPECT_EQ(flags.SearchRunning.load(), 0);
    EXPECT_EQ(view.GoCaption(), "Go!");
}

TEST_F(SearchRun, abort_during_a_countdown_ends_the_worker_within_a_slice)
{
    http.fallback = nullptr;
    clock.QueueRandom(10);
    view.onSlotText = [this](SlotKind, int, const std::string& text) {
        if (text.ends_with("Restarting in 30")) {
            flags.StopSearchRequested.store(1);
        }
    };
    RunSearch(kSf, "bik", "x");
    EXPECT_EQ(http.Requests().size(), 1u);
    const auto texts = view.SlotState(SlotKind::Search, 1).texts;
    EXPECT_THAT(texts, Not(Contains("Connect problem (SF bay area)... Restarting in 29")));
    const auto waits = clock.Waits();
    EXPECT_EQ(std::count(waits.begin(), waits.end(), 100), 50); // seconds 35 to 31, none after
    EXPECT_EQ(prompts.Count(), 0u);
}

TEST_F(SearchRun, an_overflow_ends_the_job_and_other_workers_meet_it_at_their_next_add)
{
    store = std::make_unique<ResultStore>(3, view, prompts);
    SetUp();
    settings.MaxThreads = 1;
    http.Respond(kSf, "/search/bik?query=x&format=rss", ClFeed(1, 5));
    http.Respond(kSf, "/search/fur?query=x&format=rss", ClFeed(2, 5));
    RunSearch(kSf, "bik,fur", "x");
    EXPECT_EQ(store->Count(), 3);
    EXPECT_THAT(prompts.Lines(),
                ElementsAre("Error: The results list has overflowed (3 elements). Please increase max results in the "
                            "settings.",
                            "Error: The results list has overflowed (3 elements). Please increase max results in the "
                            "settings."));
}

TEST_F(SearchRun, added_records_carry_the_job_names_and_their_rows_the_feed_cell)
{
    std::vector<sitesim::ListedAd> ads = sitesim::InventAds(3, 2, kSf);
    ads[1].description = "short";
    http.Respond(kSf, "/search/bik?query=x&format=rss", sitesim::HttpOkResponse(sitesim::CraigslistSearchFeed(ads)));
    RunSearch(kSf, "bik", "x");
    EXPECT_THAT(view.AddedCells(), ElementsAre("RSS", ""));
    auto locked = store->Lock();
    EXPECT_EQ(locked.View(1).City, "SF bay area");
    EXPECT_EQ(locked.View(1).FullText, "<!--RSS-->" + ads[0].description);
    EXPECT_EQ(locked.View(2).Title, ads[1].title);
}

TEST_F(SearchRun, a_second_start_is_refused_while_a_run_is_alive)
{
    http.Hold();
    StartSearch(kSf, "bik", "x");
    http.AwaitHeld(1);
    EXPECT_FALSE(scheduler->Start(settings, SearchInputs{"t", "y", kSf, "bik"}));
    http.Release();
    ASSERT_TRUE(scheduler->WaitFinished(std::chrono::seconds(20)));
    EXPECT_EQ(http.Requests().size(), 1u);
}

} // namespace
} // namespace trawl

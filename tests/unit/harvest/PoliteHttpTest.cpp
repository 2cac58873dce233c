// Politeness on virtual time: the pause between two turns of a host, shared by every worker, and the
// hold-off a Retry-After asks for.

#include "harvest/PoliteHttp.h"

#include "HarvestFixture.h"
#include "sitesim/AdPages.h"
#include "sitesim/SearchPages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <numeric>

namespace trawl {
namespace {

constexpr const char* kSf = "sfbay.craigslist.org";

TEST(RetryAfterSeconds, only_the_seconds_form_on_a_429_or_503)
{
    EXPECT_EQ(RetryAfterSeconds("HTTP/1.1 429 Too Many Requests\r\nRetry-After: 120\r\n\r\n"), 120);
    EXPECT_EQ(RetryAfterSeconds("HTTP/1.0 503 Busy\r\nX: y\r\nretry-after:\t5 \r\n\r\nbody"), 5);
    EXPECT_EQ(RetryAfterSeconds("HTTP/1.1 429 Slow down\r\n\r\nRetry-After: 9"), std::nullopt); // in the body
    EXPECT_EQ(RetryAfterSeconds("HTTP/1.1 200 OK\r\nRetry-After: 120\r\n\r\n"), std::nullopt);
    EXPECT_EQ(RetryAfterSeconds("HTTP/1.1 429 X\r\nRetry-After: Wed, 21 Oct 2026 07:28:00 GMT\r\n\r\n"), std::nullopt);
    EXPECT_EQ(RetryAfterSeconds("HTTP/1.1 429 X\r\nRetry-After: \r\n\r\n"), std::nullopt);
    EXPECT_EQ(RetryAfterSeconds(""), std::nullopt);
}

struct Turns : ::testing::Test {
    test::FakeClock clock;
    test::ScriptedHttp inner;
    std::atomic<int> stop{0};
    // Sums the waits made so far (each turn's wait is cut into slices).
    int Waited() const
    {
        const std::vector<int> waits = clock.Waits();
        return std::accumulate(waits.begin(), waits.end(), 0);
    }
};

TEST_F(Turns, turns_of_one_host_are_a_pause_apart_and_other_hosts_do_not_wait)
{
    PoliteHttp polite(inner, clock, 1500);
    ASSERT_TRUE(polite.AwaitTurn(kSf, stop));
    EXPECT_EQ(Waited(), 0);
    ASSERT_TRUE(polite.AwaitTurn(std::string("https://") + kSf, stop)); // the same host over TLS
    EXPECT_EQ(Waited(), 1500);
    ASSERT_TRUE(polite.AwaitTurn("toronto.kijiji.ca", stop));
    EXPECT_EQ(Waited(), 1500);
    polite.SetPause(0);
    ASSERT_TRUE(polite.AwaitTurn(kSf, stop));
    ASSERT_TRUE(polite.AwaitTurn(kSf, stop));
    EXPECT_EQ(Waited(), 3000); // the turn taken at 1500 kept the host 1500 more; then none
}

TEST_F(Turns, without_a_pause_nothing_waits_and_a_stop_ends_a_wait)
{
    PoliteHttp off(inner, clock, 0);
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(off.AwaitTurn(kSf, stop));
    }
    EXPECT_TRUE(clock.Waits().empty());

    PoliteHttp polite(inner, clock, 60000);
    ASSERT_TRUE(polite.AwaitTurn(kSf, stop));
    clock.onAdvance = [this](std::int64_t elapsed) {
        if (elapsed >= 1000) {
            stop.store(1);
        }
    };
    EXPECT_FALSE(polite.AwaitTurn(kSf, stop));
    EXPECT_LE(Waited(), 1100);
}

TEST_F(Turns, a_retry_after_holds_the_host_off_for_everyone)
{
    inner.Respond(kSf, "/feed", "HTTP/1.1 429 Too Many Requests\r\nRetry-After: 90\r\n\r\n");
    PoliteHttp polite(inner, clock, 0);
    ASSERT_TRUE(polite.AwaitTurn(kSf, stop));
    polite.HttpGet(kSf, "/feed", 1, 1);
    ASSERT_TRUE(polite.AwaitTurn("toronto.kijiji.ca", stop));
    EXPECT_EQ(Waited(), 0);
    ASSERT_TRUE(polite.AwaitTurn(kSf, stop));
    EXPECT_EQ(Waited(), 90000);
    // An absurd hold-off is cut to the most the program waits.
    inner.Respond(kSf, "/feed", "HTTP/1.1 503 Down\r\nRetry-After: 999999\r\n\r\n");
    polite.HttpGet(kSf, "/feed", 1, 1);
    ASSERT_TRUE(polite.AwaitTurn(kSf, stop));
    EXPECT_EQ(Waited(), 90000 + PoliteHttp::kMaxHoldOffMs);
}

// Whole searches and deep scans through a polite getter: when each request went out, per host.
struct PoliteRun : test::HarvestFixture {
    std::unique_ptr<PoliteHttp> polite;
    std::mutex mutex;
    std::map<std::string, std::vector<std::int64_t>> sentAt;

    void UsePause(int pauseMs)
    {
        polite = std::make_unique<PoliteHttp>(http, clock, pauseMs);
        getter = polite.get();
        TearDown();
        SetUp(); // the scheduler and the deep scan again, over the polite getter
        const auto answer = http.fallback;
        http.fallback = [this, answer](const std::string& host, const std::string& path) {
            {
                std::lock_guard lock(mutex);
                sentAt[host].push_back(clock.ElapsedMs());
            }
            return path.starts_with("/ad/") ? sitesim::HttpOkResponse(sitesim::CraigslistAdPage({.seed = 7}))
                                            : answer(host, path);
        };
    }
    // The time from the first request to `host` to its last.
    std::int64_t Span(const std::string& host)
    {
        std::lock_guard lock(mutex);
        const auto [first, last] = std::minmax_element(sentAt[host].begin(), sentAt[host].end());
        return sentAt[host].empty() ? 0 : *last - *first;
    }
};

TEST_F(PoliteRun, twelve_workers_ask_one_host_a_pause_apart_and_the_deep_scan_shares_the_pause)
{
    UsePause(2000);
    settings.MaxThreads = 12;
    RunSearch("sfbay.craigslist.org,toronto.kijiji.ca", "bik,644\\bikes", "a,b,c,d,e,f");
    // Twelve workers at once, six requests to each host: the last of a host goes five pauses after
    // its first (virtual time moves with every worker's waits, so single gaps are not exact here;
    // the Turns tests check those).
    EXPECT_EQ(sentAt[kSf].size(), 6u);
    EXPECT_EQ(sentAt["toronto.kijiji.ca"].size(), 6u);
    EXPECT_GE(Span(kSf), 5 * 2000);
    EXPECT_GE(Span("toronto.kijiji.ca"), 5 * 2000);

    settings.MaxThreads2 = 4;
    for (int n = 1; n <= 4; ++n) {
        AddRecord(std::string("http://") + kSf + "/ad/" + std::to_string(n) + ".html");
    }
    StartDeepScan();
    ASSERT_TRUE(deepScan->WaitFinished(std::chrono::seconds(20)));
    EXPECT_EQ(sentAt[kSf].size(), 10u);
    EXPECT_GE(Span(kSf), 9 * 2000);
}

TEST_F(PoliteRun, a_site_that_says_come_back_later_is_asked_again_after_that_time)
{
    UsePause(0);
    settings.MaxThreads = 1;
    http.RespondInTurn(kSf, "/search/bik?query=x&format=rss",
                       {"HTTP/1.1 429 Too Many Requests\r\nRetry-After: 120\r\n\r\n",
                        sitesim::HttpOkResponse(sitesim::CraigslistSearchFeed(sitesim::InventAds(3, 4, kSf)))});
    RunSearch(kSf, "bik", "x");
    EXPECT_EQ(http.Calls(kSf, "/search/bik?query=x&format=rss"), 2);
    EXPECT_EQ(store->Count(), 4);
    EXPECT_GE(clock.ElapsedMs(), 120000);

    // Every try answered so: the last answer stands, counted as the site refusing us.
    http.Respond(kSf, "/search/bik?query=y&format=rss", "HTTP/1.1 429 Too Many Requests\r\nRetry-After: 1\r\n\r\n");
    RunSearch(kSf, "bik", "y");
    EXPECT_EQ(http.Calls(kSf, "/search/bik?query=y&format=rss"), 5);
    EXPECT_EQ(scheduler->Tally().FailureLine(FeedSite::Craigslist),
              "Craigslist: 1 of 1 feed failed (1 refused by the site).");
}

} // namespace
} // namespace trawl

// The real scheduler, workers, deep scan and HTTP client against the loopback sample sites; only
// the waits run on virtual time.

#include "HarvestFixture.h"
#include "harvest/AdPageText.h"
#include "harvest/UpdateCheck.h"
#include "net/ByteCounter.h"
#include "net/Connector.h"
#include "net/HttpClient.h"
#include "sites/Endpoints.h"
#include "sitesim/SampleSites.h"
#include "sitesim/UpdatePage.h"

#include <atomic>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace trawl {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

constexpr const char* kSf = "sfbay.craigslist.org";

// Counts the exchanges in flight through the real client. The server's own count cannot serve here:
// it sees a connection end only after the client has read the answer, so a worker that reconnects
// at once can be counted twice for a moment.
class OverlapCountingGetter : public HttpGetter {
public:
    explicit OverlapCountingGetter(HttpGetter& inner) : m_inner(inner) {}
    std::string HttpGet(const std::string& host, const std::string& path, int followRedirect,
                        int countBytes) override
    {
        const int now = m_active.fetch_add(1) + 1;
        int seen = m_peak.load();
        while (now > seen && !m_peak.compare_exchange_weak(seen, now)) {
        }
        auto response = m_inner.HttpGet(host, path, followRedirect, countBytes);
        m_active.fetch_sub(1);
        return response;
    }
    int Peak() const { return m_peak.load(); }
    void ResetPeak() { m_peak.store(0); }

private:
    HttpGetter& m_inner;
    std::atomic<int> m_active{0};
    std::atomic<int> m_peak{0};
};

struct RealSites : test::HarvestFixture {
    sitesim::SampleSiteServer server;
    sitesim::SampleSiteOptions siteOptions;
    std::unique_ptr<SocketConnector> connector;
    ByteCounter counter{&view};
    std::unique_ptr<HttpClient> client;
    std::unique_ptr<OverlapCountingGetter> counting;

    void SetUp() override
    {
        ASSERT_TRUE(server.Start().ok());
        sitesim::ServeSampleSites(server, siteOptions);
        connector =
            std::make_unique<SocketConnector>(std::vector<ConnectToRule>{{"*", 80, "127.0.0.1", server.port()}});
        HttpOptions options;
        options.userAgent = settings.UserAgent;
        options.waitMs = 3000;
        options.exchangeDeadlineMs = 10000;
        client = std::make_unique<HttpClient>(options, *connector, counter);
        counting = std::make_unique<OverlapCountingGetter>(*client);
        getter = counting.get();
        test::HarvestFixture::SetUp();
    }
    void TearDown() override
    {
        test::HarvestFixture::TearDown();
        server.Stop();
    }
    std::vector<std::string> Served() const
    {
        std::vector<std::string> lines;
        for (const auto& r : server.Requests()) {
            lines.push_back(r.host + r.path);
        }
        return lines;
    }
};

TEST_F(RealSites, one_thread_asks_in_job_order_and_adds_what_the_feeds_list)
{
    settings.MaxThreads = 1;
    RunSearch("sfbay.craigslist.org,toronto.kijiji.ca,boston.kijiji.com", "bik,644\\bikes", "x,y");
    EXPECT_THAT(Served(),
                ElementsAre("sfbay.craigslist.org/search/bik?query=x&format=rss",
                            "sfbay.craigslist.org/search/bik?query=y&format=rss",
                            "toronto.kijiji.ca/f-SearchAdRss?catId=644&Keyword=x",
                            "toronto.kijiji.ca/f-SearchAdRss?catId=644&Keyword=y",
                            "boston.kijiji.com/bikes/?q=x&catId=644", "boston.kijiji.com/bikes/?q=y&catId=644"));
    // Pairs of different sites were passed over: 12 combinations, 6 jobs.
    EXPECT_THAT(view.ProgressHistory(), ElementsAre(0, 83, 500, 583, 833, 917, 1000));
    EXPECT_GT(store->Count(), 20);
    EXPECT_GT(counter.Total(), 0);
    EXPECT_EQ(view.BytesDownloaded(), counter.Total());
    std::set<std::string> cities;
    store->ForEach([&](int, const RecordView& r) { cities.insert(std::string(r.City)); });
    EXPECT_EQ(cities, (std::set<std::string>{"SF bay area", "Toronto", "Boston"}));
}

TEST_F(RealSites, connections_peak_at_max_threads_and_never_above)
{
    sitesim::Knobs slow;
    slow.latencyMs = 100;
    server.SetGlobalKnobs(slow);
    for (int threads : {4, 12}) {
        settings.MaxThreads = threads;
        counting->ResetPeak();
        RunSearch("sfbay.craigslist.org,boston.craigslist.org", "bik,fur", "a,b,c,d,e,f");
        EXPECT_EQ(counting->Peak(), threads);
    }
    EXPECT_EQ(server.RequestCount(), 48u);
}

TEST_F(RealSites, retries_after_empty_answers_then_adds)
{
    settings.MaxThreads = 1;
    std::atomic<int> calls{0};
    server.AddRoute(kSf, "/search/bik?query=x&format=rss", [&](const sitesim::SimRequest& request) {
        return ++calls <= 2 ? sitesim::SimResponse::Raw("") : sitesim::SampleSitePage(request, siteOptions);
    });
    RunSearch(kSf, "bik", "x");
    EXPECT_EQ(calls.load(), 3);
    EXPECT_EQ(store->Count(), siteOptions.itemsPerPage);
    EXPECT_THAT(view.SlotState(SlotKind::Search, 1).texts,
                Contains("Connect problem (SF bay area)... Restarting in 25"));
    EXPECT_EQ(prompts.Count(), 0u);
}

TEST_F(RealSites, five_failures_in_two_workers_give_one_message)
{
    settings.MaxThreads = 2;
    server.AddRoute(kSf, "*", [](const sitesim::SimRequest&) { return sitesim::SimResponse::Raw(""); });
    prompts.responder = [this](const test::ShownPrompt&) {
        EXPECT_TRUE(view.AwaitFinished(SlotKind::Search, 1));
        return PromptAnswer::Ok;
    };
    RunSearch(kSf, "bik,fur", "x");
    EXPECT_EQ(server.RequestCount(), 10u);
    EXPECT_EQ(prompts.Count(), 1u);
}

TEST_F(RealSites, abort_while_every_slot_is_busy)
{
    settings.MaxThreads = 2;
    std::mutex mutex;
    std::condition_variable changed;
    int inside = 0;
    bool open = false;
    server.AddRoute(kSf, "*", [&](const sitesim::SimRequest& request) {
        std::unique_lock lock(mutex);
        ++inside;
        changed.notify_all();
        changed.wait(lock, [&] { return open; });
        return sitesim::SampleSitePage(request, siteOptions);
    });
    StartSearch(kSf, "bik,fur", "a,b,c");
    {
        std::unique_lock lock(mutex);
        const bool bothInside = changed.wait_for(lock, std::chrono::seconds(10), [&] { return inside == 2; });
        flags.StopSearchRequested.store(1);
        open = true; // whatever happened, never leave a connection parked in the handler
        changed.notify_all();
        ASSERT_TRUE(bothInside);
    }
    ASSERT_TRUE(scheduler->WaitFinished(std::chrono::seconds(20)));
    EXPECT_EQ(server.RequestCount(), 2u);
    // The two running fetches finished and added their items (drawn from one pool, so they may overlap).
    EXPECT_GE(store->Count(), siteOptions.itemsPerPage);
    EXPECT_LE(store->Count(), 2 * siteOptions.itemsPerPage);
    EXPECT_THAT(view.ProgressHistory(), Not(Contains(1000)));
}

TEST_F(RealSites, twelve_workers_and_an_automatic_deep_scan_lose_nothing_and_repeat_nothing)
{
    siteOptions.expiredEvery = 9;
    sitesim::ServeSampleSites(server, siteOptions);
    settings.MaxThreads = 12;
    settings.MaxThreads2 = 12;
    settings.AutoDeepScan = 1;
    settings.OverrideRSS = 1;
    RunSearch("sfbay.craigslist.org,boston.craigslist.org,toronto.kijiji.ca,boston.kijiji.com",
              "bik,fur,644\\bikes,235\\furniture", "red,blue,old");
    ASSERT_TRUE(deepScan->WaitFinished(std::chrono::seconds(30)));

    std::map<std::string, int> adRequests;
    for (const auto& r : server.Requests()) {
        if (r.path.starts_with("/ad/")) {
            ++adRequests["http://" + r.host + r.path];
        }
    }
    std::set<std::string> links;
    int expired = 0;
    store->ForEach([&](int n, const RecordView& r) {
        const std::string link(r.URI);
        EXPECT_TRUE(links.insert(link).second) << "duplicate " << link;
        EXPECT_EQ(adRequests[link], 1) << link;
        std::string host = link.substr(7, link.find('/', 7) - 7);
        const std::string path = link.substr(7 + host.size());
        const int number = std::atoi(path.c_str() + path.rfind('/') + 1);
        if (number % 9 == 0) {
            ++expired;
            EXPECT_EQ(r.Date, "0000-00-00") << n;
            EXPECT_EQ(r.FullText, "This posting has expired and will be removed shortly.") << n;
        } else {
            const sitesim::SimResponse page = sitesim::SampleSitePage({host, path, ""}, siteOptions);
            EXPECT_EQ(r.FullText, ExtractAdText(host, page.Bytes())) << n;
        }
    });
    EXPECT_EQ(adRequests.size(), links.size());
    EXPECT_GT(links.size(), 100u);
    EXPECT_GT(expired, 0);
    EXPECT_EQ(flags.ScanRunning.load(), 0);
    EXPECT_EQ(flags.SearchRunning.load(), 0);
}

TEST_F(RealSites, update_check_reads_the_version_between_the_markers)
{
    const std::string maker(endpoints::kMakerHost);
    test::RecordingShell shell;
    const std::vector<std::pair<std::string, bool>> pages = {
        {"2.08", true}, {"2.079", true}, {"2.09", true}, {"2.1", true}, {"2.12", false}};
    for (const auto& [version, endMarker] : pages) {
        server.AddPage(maker, std::string(endpoints::kUpdatePath), sitesim::UpdatePage(version, endMarker));
        UpdateCheck(*client, prompts, shell);
    }
    const std::string tail = "). Would you like to visit the software's homepage?";
    EXPECT_THAT(prompts.Lines(), ElementsAre("Update Available: A new version exists (2.09" + tail,
                                             "Update Available: A new version exists (2.10" + tail,
                                             "Update Available: A new version exists (2.12" + tail));
    EXPECT_EQ(counter.Total(), 0); // the update page is not counted
    EXPECT_EQ(server.RequestCount(), 5u);
}

} // namespace
} // namespace trawl

#include "NetTestSupport.h"

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace trawl::nettest {
namespace {

using sitesim::Knobs;
using sitesim::SimRequest;
using sitesim::SimResponse;
using SteadyClock = std::chrono::steady_clock;

using HttpClientConcurrency = ClientAgainstServer;

// Pages of different sizes per path, so a response that went to the wrong caller shows.
SimResponse PageFor(const SimRequest& request)
{
    return SimResponse::Page(request.path + std::string(1000 + request.path.size() * 997, '.'));
}

TEST_F(HttpClientConcurrency, TwelveSimultaneousExchangesEachGetTheirOwnResponseAndTheTotalAddsUp)
{
    server.AddRoute("*", "*", PageFor, Knobs{.latencyMs = 30});
    HttpClient client = MakeClient();
    constexpr int kThreads = 12;
    constexpr int kEach = 4;
    std::atomic<std::int64_t> expected{0};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                const std::string path = "/t" + std::to_string(t) + "/" + std::to_string(i);
                const std::string want = PageFor(SimRequest{"", path, ""}).Bytes();
                if (client.HttpGet("site" + std::to_string(t) + ".test", path, 1, 1) != want) {
                    wrong.fetch_add(1);
                }
                expected.fetch_add(static_cast<std::int64_t>(want.size()));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(counter.Total(), expected.load());
    EXPECT_EQ(server.RequestCount(), static_cast<std::size_t>(kThreads * kEach));
    EXPECT_GT(server.PeakConnections(), 1); // the exchanges really overlapped
    EXPECT_LE(view.BytesDownloaded(), expected.load());
    EXPECT_GT(view.BytesDownloaded(), 0);
}

// Measures exchanges per second on loopback; run with --gtest_also_run_disabled_tests.
TEST_F(HttpClientConcurrency, DISABLED_ExchangeRateOnLoopback)
{
    const std::string body(4000, 'b');
    server.AddPage("*", "*", body);
    HttpClient client = MakeClient();
    auto run = [&](int threadCount, int each) {
        const auto start = SteadyClock::now();
        std::vector<std::thread> threads;
        std::atomic<int> failed{0};
        for (int t = 0; t < threadCount; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < each; ++i) {
                    if (client.HttpGet("bench.test", "/p", 1, 1).size() < body.size()) {
                        failed.fetch_add(1);
                    }
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
        const double seconds = MsSince(start) / 1000.0;
        EXPECT_EQ(failed.load(), 0);
        std::printf("%2d thread(s): %d exchanges in %.2f s = %.0f per second\n", threadCount, threadCount * each,
                    seconds, threadCount * each / seconds);
    };
    run(1, 3000);
    run(12, 500);
}

} // namespace
} // namespace trawl::nettest

#include "NetTestSupport.h"

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace trawl::nettest {
namespace {

using sitesim::Knobs;
using sitesim::SimRequest;
using sitesim::SimResponse;
using SteadyClock = std::chrono::steady_clock;

using HttpClientFailure = ClientAgainstServer;

TEST_F(HttpClientFailure, RefusedResetAndSilentServersGiveEmptyResultsWithinTheWait)
{
    HttpClient client = MakeClient(); // waits of 300 ms

    SocketConnector refused({{"*", 80, "127.0.0.1", ClosedPort()}});
    HttpClient refusedClient(ShortWaits(), refused, counter);
    auto start = SteadyClock::now();
    EXPECT_EQ(refusedClient.HttpGet("a.test", "/", 1, 1), "");
    EXPECT_LT(MsSince(start), 300);

    server.AddRoute(
        "reset.test", "/", [](const SimRequest&) { return SimResponse::Page("x"); }, Knobs{.resetAfterBytes = 0});
    start = SteadyClock::now();
    EXPECT_EQ(client.HttpGet("reset.test", "/", 1, 1), "");
    EXPECT_LT(MsSince(start), 300);

    server.AddRoute(
        "silent.test", "/", [](const SimRequest&) { return SimResponse::Page("x"); }, Knobs{.noAnswer = true});
    start = SteadyClock::now();
    EXPECT_EQ(client.HttpGet("silent.test", "/", 1, 1), "");
    const long waited = MsSince(start);
    EXPECT_GE(waited, 290);
    EXPECT_LT(waited, 1500);

    EXPECT_EQ(counter.Total(), 0);
    EXPECT_EQ(view.BytesDownloaded(), 0); // shown, and still zero
    EXPECT_EQ(server.RequestCount(), 2u);
}

TEST_F(HttpClientFailure, AStallLongerThanTheWaitOrAResetMidBodyKeepsWhatArrived)
{
    const std::string full = SimResponse::Page(std::string(2000, 'p')).Bytes();
    server.AddRoute(
        "stall.test", "/", [](const SimRequest&) { return SimResponse::Page(std::string(2000, 'p')); },
        Knobs{.stallAfterBytes = 500, .stallMs = 2000});
    server.AddRoute(
        "reset.test", "/", [](const SimRequest&) { return SimResponse::Page(std::string(2000, 'p')); },
        Knobs{.resetAfterBytes = 500});
    server.AddRoute(
        "short.test", "/", [](const SimRequest&) { return SimResponse::Page(std::string(2000, 'p')); },
        Knobs{.stallAfterBytes = 500, .stallMs = 100});
    HttpClient client = MakeClient();

    const auto start = SteadyClock::now();
    EXPECT_EQ(client.HttpGet("stall.test", "/", 1, 1), full.substr(0, 500));
    EXPECT_LT(MsSince(start), 1500);
    EXPECT_EQ(counter.Total(), 500);

    // A reset may throw away bytes not yet read, so only a prefix is certain.
    const std::string cut = client.HttpGet("reset.test", "/", 1, 0);
    EXPECT_LE(cut.size(), 500u);
    EXPECT_EQ(cut, full.substr(0, cut.size()));

    EXPECT_EQ(client.HttpGet("short.test", "/", 1, 0), full); // a pause shorter than the wait is no end
}

TEST_F(HttpClientFailure, ResponseCapStopsAnEndlessBody)
{
    server.AddRoute(
        "endless.test", "/", [](const SimRequest&) { return SimResponse::Page("start"); }, Knobs{.endlessBody = true});
    HttpOptions options = ShortWaits();
    options.maxResponseBytes = 100000;
    HttpClient client = MakeClient(options);
    const std::string response = client.HttpGet("endless.test", "/", 1, 1);
    EXPECT_EQ(response.size(), 100000u);
    EXPECT_EQ(response.rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
    EXPECT_EQ(counter.Total(), 100000);
}

TEST_F(HttpClientFailure, AResponseEndsWhereTheSharedBudgetRunsOutAndGivesItAllBack)
{
    server.AddRoute(
        "endless.test", "/", [](const SimRequest&) { return SimResponse::Page("start"); }, Knobs{.endlessBody = true});
    ResponseBudget budget(std::size_t{1} << 20);
    HttpOptions options = ShortWaits();
    options.budget = &budget;
    HttpClient client = MakeClient(options);

    // Alone, an endless response grows to the whole budget, under the cap, and hands it back.
    const std::string alone = client.HttpGet("endless.test", "/", 1, 0);
    EXPECT_EQ(alone.rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
    EXPECT_GT(alone.size(), std::size_t{1} << 19);
    EXPECT_LE(alone.size(), std::size_t{1} << 20);
    EXPECT_EQ(budget.drawn(), 0u);

    // Beside another exchange holding all but 100 kB, it ends within those.
    {
        ResponseLease other(&budget);
        ASSERT_TRUE(other.Cover(budget.limit() - 100000));
        const std::string squeezed = client.HttpGet("endless.test", "/", 1, 0);
        EXPECT_EQ(squeezed.rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
        EXPECT_LE(squeezed.size(), 100000u);
        EXPECT_EQ(budget.drawn(), other.held());
    }
    EXPECT_EQ(budget.drawn(), 0u);
    EXPECT_LE(budget.peak(), budget.limit());
}

TEST_F(HttpClientFailure, ExchangeDeadlineEndsATrickleThatPassesEverySingleWait)
{
    server.AddRoute(
        "trickle.test", "/", [](const SimRequest&) { return SimResponse::Page("slow"); },
        Knobs{.trickleBytes = 1, .trickleIntervalMs = 20, .endlessBody = true});
    HttpOptions options = ShortWaits();
    options.exchangeDeadlineMs = 400;
    HttpClient client = MakeClient(options);
    const auto start = SteadyClock::now();
    const std::string response = client.HttpGet("trickle.test", "/", 1, 0);
    const long took = MsSince(start);
    EXPECT_GE(took, 390);
    EXPECT_LT(took, 1500);
    EXPECT_FALSE(response.empty());
    EXPECT_LT(response.size(), 100u); // about one byte per 20 ms
    EXPECT_EQ(response.rfind("HTTP/1.0 2", 0), 0u);
}

TEST_F(HttpClientFailure, AStopEndsATrickleAtOnceAndGivesNothingBack)
{
    server.AddRoute(
        "trickle.test", "/", [](const SimRequest&) { return SimResponse::Page("slow"); },
        Knobs{.trickleBytes = 1, .trickleIntervalMs = 20, .endlessBody = true});
    std::atomic<int> stop{0};
    HttpOptions options = ShortWaits();
    options.exchangeDeadlineMs = 60000;
    options.stop = &stop;
    HttpClient client = MakeClient(options);
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop.store(1);
    });
    const auto start = SteadyClock::now();
    const std::string response = client.HttpGet("trickle.test", "/", 1, 0);
    const long took = MsSince(start);
    stopper.join();
    EXPECT_GE(took, 190);
    EXPECT_LT(took, 1000); // not the minute of the exchange
    EXPECT_EQ(response, "");
    // Once raised, no exchange begins.
    EXPECT_EQ(client.HttpGet("trickle.test", "/", 1, 0), "");
}

TEST_F(HttpClientFailure, ConnectGivesUpAfterTheWaitWhenNobodyAccepts)
{
    // A listener with a full backlog that never accepts: the handshake is never answered.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const int port = ntohs(address.sin_port);

    SocketConnector connector({{"*", 80, "127.0.0.1", port}});
    std::vector<int> fillers;
    int answered = -1;
    // Fill the backlog first; once it is full a connect waits.
    for (int i = 0; i < 8; ++i) {
        const auto start = SteadyClock::now();
        answered = connector.Connect("a.test", 80, 200, nullptr);
        const long took = MsSince(start);
        if (answered < 0) {
            EXPECT_GE(took, 190);
            EXPECT_LT(took, 1000);
            break;
        }
        fillers.push_back(answered);
    }
    EXPECT_LT(answered, 0) << "the backlog never filled";
    for (const int fd : fillers) {
        ::close(fd);
    }
    ::close(listener);
}

} // namespace
} // namespace trawl::nettest

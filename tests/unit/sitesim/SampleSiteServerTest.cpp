#include "sitesim/SampleSiteServer.h"

#include "RawClient.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace trawl::sitesim {
namespace {

using testing::ElapsedMs;
using testing::Eventually;
using testing::Fetch;
using testing::RawClient;
using SteadyClock = std::chrono::steady_clock;

class SampleSiteServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start().ok()); }

    SampleSiteServer server;
};

TEST_F(SampleSiteServerTest, RoutesByHostThenPathWithWildcardsAndAnswers404Otherwise)
{
    server.AddPage("a.test", "/x", "exact");
    server.AddPage("a.test", "*", "any path of a");
    server.AddPage("*", "/y", "y on any host");

    EXPECT_NE(Fetch(server.port(), "a.test", "/x").find("\r\n\r\nexact"), std::string::npos);
    EXPECT_NE(Fetch(server.port(), "A.Test", "/x").find("\r\n\r\nexact"), std::string::npos); // host case
    EXPECT_NE(Fetch(server.port(), "a.test", "/y").find("any path of a"), std::string::npos); // host before path
    EXPECT_NE(Fetch(server.port(), "b.test", "/y").find("y on any host"), std::string::npos);
    const std::string missing = Fetch(server.port(), "b.test", "/x");
    EXPECT_EQ(missing.rfind("HTTP/1.0 404 Not Found\r\n", 0), 0u) << missing;

    server.AddPage("*", "*", "catch-all");
    EXPECT_NE(Fetch(server.port(), "b.test", "/x").find("catch-all"), std::string::npos);
}

TEST_F(SampleSiteServerTest, RecordsEveryRequestByteForByteAndHandsItToTheHandler)
{
    std::string seenByHandler;
    server.AddRoute("h.test", "/p", [&seenByHandler](const SimRequest& request) {
        seenByHandler = request.bytes;
        return SimResponse::Raw("RAW");
    });
    const std::string request = "GET /p HTTP/1.0\r\nX-Odd:  spaced \r\nhOsT:   h.test  \r\n\r\n";
    RawClient client(server.port());
    ASSERT_TRUE(client.Send(request));
    EXPECT_EQ(client.ReadAll(2000), "RAW");
    EXPECT_TRUE(client.sawEnd());

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].bytes, request);
    EXPECT_EQ(requests[0].host, "h.test");
    EXPECT_EQ(requests[0].path, "/p");
    EXPECT_EQ(seenByHandler, request);

    server.ClearRequests();
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(SampleSiteServerTest, ResponseShapesCarryStatusHeadersAndBody)
{
    EXPECT_EQ(SimResponse::Redirect("http://b.test/z").Bytes(),
              "HTTP/1.0 302 Found\r\nContent-Type: text/html\r\nLocation: http://b.test/z\r\n"
              "Content-Length: 31\r\n\r\n<html><body>Moved</body></html>");
    const std::string quoted = SimResponse::PageMentioningRedirect("http://c.test/q").Bytes();
    EXPECT_EQ(quoted.rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
    EXPECT_NE(quoted.find("302 Found"), std::string::npos);
    EXPECT_NE(quoted.find("\r\nLocation: http://c.test/q\r\n"), std::string::npos);
}

TEST_F(SampleSiteServerTest, CountsPeakConnectionsAndStopEndsSilentConnectionsAtOnce)
{
    server.SetGlobalKnobs(Knobs{.noAnswer = true});
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < 5; ++i) {
        clients.push_back(std::make_unique<RawClient>(server.port()));
        ASSERT_TRUE(clients.back()->Send("GET / HTTP/1.0\r\nHost: s.test\r\n\r\n"));
    }
    ASSERT_TRUE(Eventually([&] { return server.RequestCount() == 5; }));
    EXPECT_EQ(server.ActiveConnections(), 5);
    EXPECT_EQ(server.PeakConnections(), 5);
    EXPECT_EQ(clients[0]->ReadAll(50), ""); // silent

    const auto start = SteadyClock::now();
    server.Stop();
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_EQ(server.ActiveConnections(), 0);
    EXPECT_EQ(server.PeakConnections(), 5);
    for (auto& client : clients) {
        EXPECT_EQ(client->ReadAll(1000), "");
        EXPECT_TRUE(client->sawEnd() || client->wasReset());
    }
    EXPECT_FALSE(RawClient(server.port()).connected()); // the port is closed
}

TEST_F(SampleSiteServerTest, SilentConnectionEndsWhenTheClientLeaves)
{
    server.SetGlobalKnobs(Knobs{.noAnswer = true});
    {
        RawClient client(server.port());
        ASSERT_TRUE(client.Send("GET / HTTP/1.0\r\n\r\n"));
        ASSERT_TRUE(Eventually([&] { return server.ActiveConnections() == 1 && server.RequestCount() == 1; }));
    }
    EXPECT_TRUE(Eventually([&] { return server.ActiveConnections() == 0; }));
}

TEST_F(SampleSiteServerTest, StopWakesStalledAndTricklingConnections)
{
    server.AddPage("*", "*", std::string(1000, 'b'));
    server.SetRouteKnobs("stall.test", "*", Knobs{.stallAfterBytes = 10, .stallMs = 60000});
    server.SetRouteKnobs("trickle.test", "*", Knobs{.trickleBytes = 1, .trickleIntervalMs = 60000});
    server.SetRouteKnobs("late.test", "*", Knobs{.latencyMs = 60000});
    server.AddPage("stall.test", "*", "x");
    server.AddPage("trickle.test", "*", "x");
    server.AddPage("late.test", "*", "x");
    std::vector<std::unique_ptr<RawClient>> clients;
    for (const char* host : {"stall.test", "trickle.test", "late.test"}) {
        clients.push_back(std::make_unique<RawClient>(server.port()));
        clients.back()->Send(std::string("GET / HTTP/1.0\r\nHost: ") + host + "\r\n\r\n");
    }
    ASSERT_TRUE(Eventually([&] { return server.RequestCount() == 3; }));
    EXPECT_EQ(clients[0]->ReadAll(200).size(), 10u);
    EXPECT_EQ(clients[1]->ReadAll(200), "H");

    const auto start = SteadyClock::now();
    server.Stop();
    EXPECT_LT(ElapsedMs(start), 1000);
    server.Stop(); // twice is harmless
}

TEST_F(SampleSiteServerTest, LatencyDelaysTheWholeResponse)
{
    server.AddRoute(
        "*", "*", [](const SimRequest&) { return SimResponse::Raw("late"); }, Knobs{.latencyMs = 150});
    const auto start = SteadyClock::now();
    EXPECT_EQ(Fetch(server.port(), "x", "/"), "late");
    EXPECT_GE(ElapsedMs(start), 150);
}

TEST_F(SampleSiteServerTest, StallPausesMidResponseThenSendsTheRest)
{
    server.AddRoute(
        "*", "*", [](const SimRequest&) { return SimResponse::Raw("0123456789"); },
        Knobs{.stallAfterBytes = 4, .stallMs = 300});
    RawClient client(server.port());
    client.Send("GET / HTTP/1.0\r\n\r\n");
    EXPECT_EQ(client.ReadAll(150), "0123"); // quiet while stalled
    EXPECT_FALSE(client.sawEnd());
    EXPECT_EQ(client.ReadAll(2000), "456789");
    EXPECT_TRUE(client.sawEnd());
}

TEST_F(SampleSiteServerTest, TrickleSendsSmallPiecesSpacedOut)
{
    server.AddRoute(
        "*", "*", [](const SimRequest&) { return SimResponse::Raw("abcdef"); },
        Knobs{.trickleBytes = 2, .trickleIntervalMs = 40});
    const auto start = SteadyClock::now();
    EXPECT_EQ(Fetch(server.port(), "x", "/"), "abcdef");
    EXPECT_GE(ElapsedMs(start), 80); // at least two pauses between three pieces
}

TEST_F(SampleSiteServerTest, ResetCutsTheResponseAfterTheGivenBytes)
{
    server.AddRoute(
        "*", "*", [](const SimRequest&) { return SimResponse::Raw(std::string(5000, 'r')); },
        Knobs{.resetAfterBytes = 100});
    RawClient client(server.port());
    client.Send("GET / HTTP/1.0\r\n\r\n");
    const std::string got = client.ReadAll(2000);
    EXPECT_LE(got.size(), 100u);
    EXPECT_EQ(got, std::string(got.size(), 'r'));
    EXPECT_TRUE(client.wasReset());
}

TEST_F(SampleSiteServerTest, EndlessBodyKeepsComingUntilTheClientLeaves)
{
    server.AddRoute(
        "*", "*", [](const SimRequest&) { return SimResponse::Page("start"); }, Knobs{.endlessBody = true});
    {
        RawClient client(server.port());
        client.Send("GET / HTTP/1.0\r\n\r\n");
        const std::string got = client.ReadAll(2000, 1 << 20);
        EXPECT_GE(got.size(), std::size_t{1} << 20);
        EXPECT_FALSE(client.sawEnd());
    }
    EXPECT_TRUE(Eventually([&] { return server.ActiveConnections() == 0; }));
}

TEST_F(SampleSiteServerTest, OversizedBodyAddsExactlyTheExtraBytes)
{
    const std::string page = SimResponse::Page("big").Bytes();
    server.AddRoute(
        "*", "*", [](const SimRequest&) { return SimResponse::Page("big"); }, Knobs{.extraBodyBytes = 10000});
    const std::string got = Fetch(server.port(), "x", "/");
    EXPECT_EQ(got.size(), page.size() + 10000);
    EXPECT_EQ(got.substr(0, page.size()), page);
}

TEST_F(SampleSiteServerTest, RedirectChainHopsThroughEveryStepToTheFinalLocation)
{
    server.AddRedirectChain("r.test", "/go", 3, "http://end.test/here");
    std::string path = "/go";
    std::vector<std::string> locations;
    for (int hop = 0; hop < 3; ++hop) {
        const std::string got = Fetch(server.port(), "r.test", path);
        ASSERT_EQ(got.rfind("HTTP/1.0 302 Found\r\n", 0), 0u) << path;
        const auto at = got.find("Location: ") + 10;
        locations.push_back(got.substr(at, got.find("\r\n", at) - at));
        path = locations.back().substr(std::string("http://r.test").size());
    }
    EXPECT_EQ(locations,
              (std::vector<std::string>{"http://r.test/go~1", "http://r.test/go~2", "http://end.test/here"}));
}

TEST_F(SampleSiteServerTest, RouteKnobsReplaceGlobalKnobs)
{
    server.SetGlobalKnobs(Knobs{.noAnswer = true});
    server.AddRoute(
        "fine.test", "*", [](const SimRequest&) { return SimResponse::Raw("fine"); }, Knobs{});
    server.AddPage("*", "*", "never sent");
    EXPECT_EQ(Fetch(server.port(), "fine.test", "/"), "fine");
    EXPECT_EQ(Fetch(server.port(), "other.test", "/", 100), "");
}

TEST(SampleSiteServerLifetime, ManyShortConnectionsLeaveNoThreadsBehindAndRestartWorks)
{
    SampleSiteServer server;
    ASSERT_TRUE(server.Start().ok());
    EXPECT_FALSE(server.Start().ok());
    server.AddPage("*", "*", "ok");
    for (int i = 0; i < 50; ++i) {
        ASSERT_NE(Fetch(server.port(), "x", "/").find("ok"), std::string::npos);
    }
    EXPECT_EQ(server.AcceptedConnections(), 50);
    server.Stop();
    ASSERT_TRUE(server.Start().ok());
    EXPECT_NE(Fetch(server.port(), "x", "/").find("ok"), std::string::npos);
}

TEST(SampleSiteServerLifetime, ListensOnAChosenPortOnceItIsFree)
{
    SampleSiteServer first;
    ASSERT_TRUE(first.Start().ok());
    const int port = first.port();
    SampleSiteServer second;
    EXPECT_FALSE(second.Start(port).ok()); // taken
    first.Stop();
    ASSERT_TRUE(second.Start(port).ok());
    EXPECT_EQ(second.port(), port);
    second.AddPage("*", "*", "second");
    EXPECT_NE(Fetch(port, "x", "/").find("second"), std::string::npos);
}

} // namespace
} // namespace trawl::sitesim

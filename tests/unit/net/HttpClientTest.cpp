#include "NetTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace trawl::nettest {

using sitesim::Knobs;
using sitesim::SimRequest;
using sitesim::SimResponse;
using SteadyClock = std::chrono::steady_clock;

int ClosedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

namespace {

using HttpClientRequest = ClientAgainstServer;

TEST_F(HttpClientRequest, SendsTheFiveLinesExactlyAndReturnsTheRawResponseWhole)
{
    std::string body;
    for (int i = 0; i < 300000; ++i) {
        body += static_cast<char>(i % 256); // every byte value, NUL included, well past one read
    }
    const SimResponse page = SimResponse::Page(body, "application/octet-stream");
    server.AddRoute("www.site.test", "/search?q=a%20b&x=1", [&page](const SimRequest&) { return page; });

    HttpClient client = MakeClient();
    const std::string response = client.HttpGet("www.site.test", "/search?q=a%20b&x=1", 1, 0);
    EXPECT_TRUE(response == page.Bytes()) << "got " << response.size() << " bytes";

    HttpClient noAgent = MakeClient(ShortWaits(""));
    noAgent.HttpGet("www.site.test", "/", 0, 0);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].bytes, "GET /search?q=a%20b&x=1 HTTP/1.0\r\n"
                                 "Host: www.site.test\r\n"
                                 "User-Agent: TestAgent/1.0\r\n"
                                 "Accept-Language: en-us\r\n"
                                 "\r\n");
    EXPECT_EQ(requests[1].bytes, "GET / HTTP/1.0\r\n"
                                 "Host: www.site.test\r\n"
                                 "User-Agent: \r\n"
                                 "Accept-Language: en-us\r\n"
                                 "\r\n");
}

TEST_F(HttpClientRequest, HostsOrPathsThatWouldSplitTheRequestAreNeverSent)
{
    server.AddPage("*", "*", "page");
    HttpClient client = MakeClient();
    EXPECT_EQ(client.HttpGet("", "/", 1, 1), "");
    EXPECT_EQ(client.HttpGet("a.test\r\nX-Evil: 1", "/", 1, 1), "");
    EXPECT_EQ(client.HttpGet("a test", "/", 1, 1), "");
    EXPECT_EQ(client.HttpGet("a.test", "/x HTTP/1.0\r\nX-Evil: 1\r\n", 1, 1), "");
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_EQ(counter.Total(), 0);
}

using HttpClientRedirect = ClientAgainstServer;

TEST_F(HttpClientRedirect, FollowsOneRedirectAndReturnsASecondAsItIs)
{
    server.AddRedirect("a.test", "/one", "http://b.test/two?k=v");
    server.AddPage("b.test", "/two?k=v", "landed");
    server.AddRedirect("a.test", "/chain", "http://b.test/hop");
    server.AddRedirect("b.test", "/hop", "http://c.test/end");
    server.AddPage("c.test", "/end", "never reached");
    HttpClient client = MakeClient();

    EXPECT_EQ(client.HttpGet("a.test", "/one", 1, 0), SimResponse::Page("landed").Bytes());
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].bytes, "GET /two?k=v HTTP/1.0\r\nHost: b.test\r\nUser-Agent: TestAgent/1.0\r\n"
                                 "Accept-Language: en-us\r\n\r\n");

    server.ClearRequests();
    EXPECT_EQ(client.HttpGet("a.test", "/chain", 1, 0), SimResponse::Redirect("http://c.test/end").Bytes());
    requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].host, "b.test");
}

TEST_F(HttpClientRedirect, OnlyTheValueOneFollows)
{
    server.AddRedirect("a.test", "/one", "http://b.test/two");
    server.AddPage("b.test", "/two", "landed");
    HttpClient client = MakeClient();
    for (const int flag : {0, 2, -1}) {
        EXPECT_EQ(client.HttpGet("a.test", "/one", flag, 0), SimResponse::Redirect("http://b.test/two").Bytes())
            << flag;
    }
    EXPECT_EQ(server.RequestCount(), 3u);
}

TEST_F(HttpClientRedirect, APageThatMerelyQuotesARedirectIsFollowedToo)
{
    server.AddRoute("a.test", "/article",
                    [](const SimRequest&) { return SimResponse::PageMentioningRedirect("http://b.test/quoted"); });
    server.AddPage("b.test", "/quoted", "followed");
    HttpClient client = MakeClient();
    EXPECT_EQ(client.HttpGet("a.test", "/article", 1, 0), SimResponse::Page("followed").Bytes());
    ASSERT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(server.Requests()[1].path, "/quoted");
}

TEST_F(HttpClientRedirect, LocationsWithoutAHostAndPathGiveAnEmptyResultAndNoSecondRequest)
{
    const std::vector<std::string> responses = {
        "HTTP/1.0 302 Found\r\nLocation: http://b.test\r\n\r\n",    // no "/"
        "HTTP/1.0 302 Found\r\nLocation: http://\r\n\r\n",          // empty
        "HTTP/1.0 302 Found\r\nLocation: http:///path\r\n\r\n",     // empty host
        "HTTP/1.0 302 Found\r\nLocation: https://b.test/x\r\n\r\n", // another scheme
        "HTTP/1.0 302 Found\r\nlocation: http://b.test/x\r\n\r\n",  // other letter case
        "HTTP/1.0 302 Found\r\n\r\n",                               // none at all
    };
    HttpClient client = MakeClient();
    for (const auto& raw : responses) {
        server.ClearRequests();
        server.AddRoute("a.test", "/", [raw](const SimRequest&) { return SimResponse::Raw(raw); });
        EXPECT_EQ(client.HttpGet("a.test", "/", 1, 1), "") << raw;
        EXPECT_EQ(server.RequestCount(), 1u) << raw;
    }
}

using HttpClientCounting = ClientAgainstServer;

TEST_F(HttpClientCounting, CountsOnlyWhenAskedAndShowsEachNewTotal)
{
    server.AddPage("a.test", "/", "twelve bytes");
    const auto size = static_cast<std::int64_t>(SimResponse::Page("twelve bytes").Bytes().size());
    HttpClient client = MakeClient();

    client.HttpGet("a.test", "/", 1, 0);
    EXPECT_EQ(counter.Total(), 0);
    EXPECT_TRUE(view.Log().empty());

    client.HttpGet("a.test", "/", 1, 1);
    client.HttpGet("a.test", "/", 0, 7); // any non-zero value counts
    EXPECT_EQ(counter.Total(), 2 * size);
    EXPECT_EQ(view.BytesDownloaded(), 2 * size);
}

TEST_F(HttpClientCounting, ARedirectCountsBothResponses)
{
    server.AddRedirect("a.test", "/", "http://b.test/x");
    server.AddPage("b.test", "/x", "final page");
    HttpClient client = MakeClient();
    client.HttpGet("a.test", "/", 1, 1);
    const auto both =
        SimResponse::Redirect("http://b.test/x").Bytes().size() + SimResponse::Page("final page").Bytes().size();
    EXPECT_EQ(counter.Total(), static_cast<std::int64_t>(both));
    EXPECT_EQ(view.BytesDownloaded(), static_cast<std::int64_t>(both));

    server.AddRoute("c.test", "/", [](const SimRequest&) { return SimResponse::Raw("302 Found, nowhere"); });
    client.HttpGet("c.test", "/", 1, 1); // a redirect that leads nowhere still downloaded its bytes
    EXPECT_EQ(counter.Total(), static_cast<std::int64_t>(both + 18));
}

} // namespace
} // namespace trawl::nettest

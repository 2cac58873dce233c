// Exchanges over TLS against the sample site behind a TLS front, with a CA made for the test and
// trusted through SSL_CERT_FILE (read once per process: each test here runs in a process of its own).
#include "NetTestSupport.h"
#include "sitesim/TlsFront.h"

#include <cstdlib>
#include <gmock/gmock.h>
#include <thread>

namespace trawl::nettest {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

class HttpsClient : public ClientAgainstServer {
protected:
    void SetUp() override
    {
        ClientAgainstServer::SetUp();
        ASSERT_TRUE(authority.ok());
        test::WriteFile(trust.File("ca.pem"), authority.CertificatePem());
        ::setenv("SSL_CERT_FILE", trust.File("ca.pem").c_str(), 1);
        server.AddPage("sfbay.craigslist.org", "/page", "<html>over TLS</html>");
    }
    // A TLS front with `identity` and a client whose https hosts lead to it.
    HttpClient ClientThroughFront(const sitesim::TlsIdentity& identity, HttpOptions options = ShortWaits())
    {
        EXPECT_TRUE(front.Start(server.port(), identity).ok());
        connector = std::make_unique<SocketConnector>(
            std::vector<ConnectToRule>{{"*", 80, "127.0.0.1", server.port()}, {"*", 443, "127.0.0.1", front.port()}});
        options.tlsFailure = [this](const std::string& host, const std::string& reason) {
            std::lock_guard lock(m_mutex);
            failures.push_back(host + ": " + reason);
        };
        return HttpClient(options, *connector, counter);
    }
    std::vector<std::string> Failures()
    {
        std::lock_guard lock(m_mutex);
        return failures;
    }

    test::TempDir trust;
    sitesim::CertificateAuthority authority;
    sitesim::TlsFront front;
    std::vector<std::string> failures;

private:
    std::mutex m_mutex;
};

TEST_F(HttpsClient, an_https_host_is_asked_over_tls_with_the_same_request_bytes)
{
    HttpClient client = ClientThroughFront(authority.Issue(sitesim::SampleSiteNames()));
    const std::string response = client.HttpGet("https://sfbay.craigslist.org", "/page", 1, 1);
    EXPECT_THAT(response, StartsWith("HTTP/1.0 200 OK"));
    EXPECT_THAT(response, HasSubstr("<html>over TLS</html>"));
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Requests()[0].host, "sfbay.craigslist.org");
    EXPECT_EQ(counter.Total(), static_cast<std::int64_t>(response.size()));
    // The next exchanges with the host resume the session instead of a whole handshake.
    for (int i = 0; i < 3; ++i) {
        EXPECT_THAT(client.HttpGet("https://sfbay.craigslist.org", "/page", 1, 1), HasSubstr("over TLS"));
    }
    EXPECT_EQ(front.Handshakes(), 4);
    EXPECT_GE(front.ResumedHandshakes(), 2);
    EXPECT_TRUE(Failures().empty());
}

TEST_F(HttpsClient, certificates_that_do_not_verify_are_refused_with_their_reason_and_never_asked_in_plain)
{
    struct Case {
        const char* what;
        sitesim::TlsIdentity identity;
    };
    sitesim::CertificateAuthority stranger;
    const Case cases[] = {
        {"untrusted", stranger.Issue(sitesim::SampleSiteNames())},
        {"wrong host", authority.Issue({"*.example.org"})},
        {"expired", authority.Issue(sitesim::SampleSiteNames(), -7200, -3600)},
    };
    for (const Case& c : cases) {
        front.Stop();
        failures.clear();
        HttpClient client = ClientThroughFront(c.identity);
        EXPECT_EQ(client.HttpGet("https://sfbay.craigslist.org", "/page", 1, 1), "") << c.what;
        EXPECT_THAT(Failures(), ::testing::ElementsAre("sfbay.craigslist.org: certificate not trusted for "
                                                       "sfbay.craigslist.org"))
            << c.what;
        EXPECT_EQ(server.RequestCount(), 0u) << c.what;
        // Workers ask for the reason to show it; plain hosts have none.
        EXPECT_EQ(client.ConnectFailure("https://sfbay.craigslist.org"),
                  "certificate not trusted for sfbay.craigslist.org")
            << c.what;
        EXPECT_EQ(client.ConnectFailure("sfbay.craigslist.org"), client.ConnectFailure("https://sfbay.craigslist.org"));
        EXPECT_EQ(client.ConnectFailure("boston.craigslist.org"), "");
    }
    // Once the site has a good certificate the reason is gone.
    front.Stop();
    HttpClient client = ClientThroughFront(stranger.Issue(sitesim::SampleSiteNames()));
    EXPECT_EQ(client.HttpGet("https://sfbay.craigslist.org", "/page", 1, 1), "");
    EXPECT_NE(client.ConnectFailure("sfbay.craigslist.org"), "");
    const int port = front.port();
    front.Stop();
    ASSERT_TRUE(front.Start(server.port(), authority.Issue(sitesim::SampleSiteNames()), port).ok());
    EXPECT_THAT(client.HttpGet("https://sfbay.craigslist.org", "/page", 1, 1), HasSubstr("over TLS"));
    EXPECT_EQ(client.ConnectFailure("sfbay.craigslist.org"), "");
}

TEST_F(HttpsClient, a_stalled_handshake_is_bounded_by_the_waits_and_a_stop)
{
    front.SetStallHandshake(true);
    HttpClient client = ClientThroughFront(authority.Issue(sitesim::SampleSiteNames()));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.HttpGet("https://sfbay.craigslist.org", "/page", 1, 1), "");
    const long waited = MsSince(start);
    EXPECT_GE(waited, 250);
    EXPECT_LT(waited, 2000);
    EXPECT_TRUE(Failures().empty()); // out of time is a connection problem, not a certificate's

    std::atomic<int> stop{0};
    HttpOptions options = ShortWaits();
    options.waitMs = 10000;
    options.stop = &stop;
    HttpClient patient(options, *connector, counter);
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop.store(1);
    });
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(patient.HttpGet("https://sfbay.craigslist.org", "/page", 1, 1), "");
    stopper.join();
    EXPECT_LT(MsSince(start), 1000);
}

TEST_F(HttpsClient, twelve_workers_at_once_each_get_their_page)
{
    HttpClient client = ClientThroughFront(authority.Issue(sitesim::SampleSiteNames()));
    std::vector<std::thread> workers;
    std::atomic<int> whole{0};
    for (int w = 0; w < 12; ++w) {
        workers.emplace_back([&] {
            for (int i = 0; i < 4; ++i) {
                whole +=
                    client.HttpGet("https://sfbay.craigslist.org", "/page", 1, 1).ends_with("over TLS</html>") ? 1 : 0;
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(whole.load(), 48);
}

} // namespace
} // namespace trawl::nettest

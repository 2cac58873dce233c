#include "FaultFixture.h"
#include "app/AtomicFile.h"
#include "sitesim/TestCertificates.h"
#include "sitesim/TlsFront.h"
#include "support/LoopbackNameServer.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <gmock/gmock.h>
#include <thread>

namespace trawl::test {
namespace {

using namespace std::chrono_literals;
using ::testing::Each;
using ::testing::HasSubstr;
using ::testing::IsSubsetOf;
using ::testing::Not;
using ::testing::UnorderedElementsAreArray;

// Where the `n`-th (from 1) occurrence of `marker` at or after `from` starts.
std::size_t Nth(const std::string& text, const std::string& marker, int n, std::size_t from = 0)
{
    std::size_t at = text.find(marker, from);
    for (int i = 1; i < n && at != std::string::npos; ++i) {
        at = text.find(marker, at + 1);
    }
    return at;
}

std::vector<std::string> Sorted(std::set<std::string> links)
{
    return {links.begin(), links.end()};
}

class ConnectionFaults : public FaultRun {
protected:
    // The links of the first `count` items of the Craigslist feed, in feed order.
    std::vector<std::string> FirstClLinks(int count) const
    {
        const std::string feed = PageOf(kClCity, ClFeedPath());
        std::vector<std::string> links;
        for (int i = 1; i <= count; ++i) {
            const std::size_t item = Nth(feed, "<item ", i);
            const std::size_t from = feed.find("<link>", item) + 6;
            links.push_back(feed.substr(from, feed.find("</link>", from) - from));
        }
        return links;
    }
    // The byte of the Craigslist feed response in the middle of the sixth item's "</link>".
    std::size_t ClCutInSixthLink() const
    {
        const std::string response = ResponseOf(kClCity, ClFeedPath());
        return response.find("</link>", Nth(response, "<item ", 6)) + 3;
    }
    // Once `ready` holds (at most ten seconds on), waits a second more and sends Ctrl-C; returns when.
    static std::chrono::steady_clock::time_point InterruptOnceReady(int pid, const std::function<bool()>& ready)
    {
        for (int i = 0; i < 2000 && !ready(); ++i) {
            std::this_thread::sleep_for(5ms);
        }
        std::this_thread::sleep_for(1000ms);
        const auto now = std::chrono::steady_clock::now();
        ::kill(pid, SIGINT);
        return now;
    }
    std::chrono::steady_clock::time_point InterruptAfterKijiji(int pid)
    {
        return InterruptOnceReady(pid,
                                  [this] { return server.RequestCount() >= 2 && server.ActiveConnections() == 0; });
    }
    // The search file holds the Kijiji ads and the seeded records, nothing of Craigslist.
    void ExpectKijijiAndSeededOnly(const std::string& path)
    {
        std::vector<std::string> expected = Sorted(KijijiLinks());
        for (int i = 1; i <= 3; ++i) {
            expected.push_back("http://sfbay.craigslist.org/ad/kept/" + std::to_string(i) + ".html");
        }
        EXPECT_THAT(LinksIn(path), UnorderedElementsAreArray(expected));
        ExpectSeededKept(path);
    }
    std::set<std::string> KijijiLinks() const
    {
        std::set<std::string> links = LinksOf(kKjCanada, KjCanadaFeedPath());
        links.merge(LinksOf(kKjStates, KjStatesPagePath()));
        return links;
    }
};

TEST_F(ConnectionFaults, refused_site_waits_to_retry_while_the_others_are_harvested_and_ctrl_c_ends_the_wait)
{
    const std::string path = WriteSeededSearch();
    ClosedPort closed;
    ASSERT_GT(closed.port(), 0);
    auto env = Env();
    env["TRAWLKIT_CONNECT_TO"] = std::string(kClCity) + ":80:127.0.0.1:" + std::to_string(closed.port()) +
                                 ",*:80:127.0.0.1:" + std::to_string(server.port());
    std::chrono::steady_clock::time_point interruptedAt;
    const auto started = std::chrono::steady_clock::now();
    const ProgramResult run = RunLogged({"-deep", "-csv", "bikes.trawl"}, env, [&](int pid) {
        // The Craigslist job is handed out first; once both Kijiji pages have been answered its
        // refused connection is long past and its worker counts down to the next try.
        interruptedAt = InterruptAfterKijiji(pid);
    });
    const auto untilInterrupt = std::chrono::duration_cast<std::chrono::milliseconds>(interruptedAt - started);

    // Still waiting when Ctrl-C came, and gone soon after it: what was found is saved, the run fails.
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_GE(run.wallMs, untilInterrupt.count() - 50);
    EXPECT_LE(run.wallMs, untilInterrupt.count() + 2000 * kSlowdown) << Describe(run);
    // The wait is a wait: a worker trying the refused port again and again would use the CPU for
    // most of the second before Ctrl-C.
    EXPECT_LE(run.cpuMs, run.wallMs / 4) << Describe(run);
    ExpectBounded(run, 5s, kSmallRunMiB);
    EXPECT_THAT(run.out, HasSubstr("Search saved to '" + path + "'."));

    ExpectKijijiAndSeededOnly(path);
    EXPECT_EQ(RequestsFor(kClCity, ClFeedPath()), 0);
}

TEST_F(ConnectionFaults, a_certificate_that_does_not_verify_is_refused_said_once_and_never_asked_in_plain)
{
    // Craigslist's city on https, served with a certificate of a CA the program does not trust.
    WriteFile(home.File("CLcitylist.csv"),
              CrLfLines({R"("Region","CountryCode","CountryName","StateCode","CityName","CityURL")",
                         R"("US","US","United States","CA","SF bay area","https://sfbay.craigslist.org")"}));
    const std::string path = home.File("bikes.trawl");
    WriteSearch(path, "bikes", std::string("https://") + kClCity, "bik", "bike,red wagon",
                std::string(kKjCanada) + "," + kKjStates, "644\\bikes");
    sitesim::CertificateAuthority trusted;
    sitesim::CertificateAuthority stranger;
    TempDir trust;
    WriteFile(trust.File("ca.pem"), trusted.CertificatePem());
    sitesim::TlsFront front;
    ASSERT_TRUE(front.Start(server.port(), stranger.Issue(sitesim::SampleSiteNames())).ok());
    auto env = Env();
    env["TRAWLKIT_CONNECT_TO"] =
        "*:80:127.0.0.1:" + std::to_string(server.port()) + ",*:443:127.0.0.1:" + std::to_string(front.port());
    env["SSL_CERT_FILE"] = trust.File("ca.pem");
    const ProgramResult run = RunLogged({"-csv", "bikes.trawl"}, env, [&](int pid) {
        // The Craigslist jobs go out first: once the four Kijiji pages are in, both have failed their
        // handshakes and count down to the next try.
        InterruptOnceReady(pid, [&] { return server.RequestCount() >= 4 && server.ActiveConnections() == 0; });
    });

    EXPECT_EQ(run.status, 1) << run.out << run.err;
    ExpectBounded(run, 5s, kSmallRunMiB);
    const std::string said =
        "Error: certificate not trusted for sfbay.craigslist.org; its pages are not asked for over plain HTTP.\n";
    EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(said), run.err.rfind(said)) << run.err;
    // Nothing went to the site in plain, and the other sites were harvested as ever.
    for (const auto& request : server.Requests()) {
        EXPECT_NE(request.host, kClCity) << request.path;
    }
    std::set<std::string> kijiji;
    for (const char* term : {"bike", "red+wagon"}) {
        kijiji.merge(LinksOf(kKjCanada, KjCanadaFeedPath(term)));
        kijiji.merge(LinksOf(kKjStates, KjStatesPagePath(term)));
    }
    EXPECT_THAT(LinksIn(path), UnorderedElementsAreArray(Sorted(kijiji)));
}

TEST_F(ConnectionFaults, dead_name_server_holds_only_its_site_and_ctrl_c_ends_the_look_up_at_once)
{
    const std::string path = WriteSeededSearch();
    // Craigslist is reached through a name that only a name server which never answers could give.
    LoopbackNameServer dead;
    ASSERT_GT(dead.port(), 0);
    auto env = Env();
    env["TRAWLKIT_NAME_SERVERS"] = dead.address();
    env["TRAWLKIT_CONNECT_TO"] = std::string(kClCity) + ":80:craigslist.sites.test:" + std::to_string(server.port()) +
                                 ",*:80:127.0.0.1:" + std::to_string(server.port());
    std::chrono::steady_clock::time_point askedAt;
    std::chrono::steady_clock::time_point interruptedAt;
    const auto started = std::chrono::steady_clock::now();
    const ProgramResult run = RunLogged({"-csv", "bikes.trawl"}, env, [&](int pid) {
        dead.WaitForQuery(10s);
        askedAt = std::chrono::steady_clock::now();
        // The Kijiji pages are fetched while the Craigslist worker waits on its look-up.
        interruptedAt = InterruptAfterKijiji(pid);
    });
    const auto untilInterrupt = std::chrono::duration_cast<std::chrono::milliseconds>(interruptedAt - started);

    // Ctrl-C came during the look-up, and the program was gone long before the look-up's own bound.
    EXPECT_LT(interruptedAt - askedAt, 4000ms);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_LE(run.wallMs, untilInterrupt.count() + 1000 * kSlowdown) << Describe(run);
    EXPECT_LE(run.cpuMs, run.wallMs / 4) << Describe(run);
    ExpectBounded(run, 10s, kSmallRunMiB);
    EXPECT_THAT(run.out, HasSubstr("Search saved to '" + path + "'."));
    // Only the loopback name server was asked, and only for that name.
    EXPECT_GE(dead.queries(), 1);
    EXPECT_THAT(dead.names(), Each(std::string("craigslist.sites.test")));

    ExpectKijijiAndSeededOnly(path);
    EXPECT_EQ(RequestsFor(kClCity, ClFeedPath()), 0);
}

TEST_F(ConnectionFaults, ctrl_c_ends_a_trickling_feed_at_once_and_keeps_nothing_of_it)
{
    const std::string path = WriteSeededSearch();
    // The Craigslist feed comes a byte every 100 ms without end: every single wait passes, and the
    // exchange would run to its one-minute deadline.
    sitesim::Knobs trickle;
    trickle.trickleBytes = 1;
    trickle.trickleIntervalMs = 100;
    trickle.endlessBody = true;
    Misbehave(kClCity, ClFeedPath(), trickle);
    std::chrono::steady_clock::time_point interruptedAt;
    const auto started = std::chrono::steady_clock::now();
    const ProgramResult run = RunLogged({"-csv", "bikes.trawl"}, Env(), [&](int pid) {
        interruptedAt = InterruptOnceReady(pid, [this] { return server.RequestCount() >= 3; });
    });
    const auto untilInterrupt = std::chrono::duration_cast<std::chrono::milliseconds>(interruptedAt - started);

    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_LE(run.wallMs, untilInterrupt.count() + 1000 * kSlowdown) << Describe(run);
    ExpectBounded(run, 10s, kSmallRunMiB);
    EXPECT_THAT(run.err, HasSubstr("Stopped: 'bikes.trawl' was interrupted; what it had found is in its search file."));
    // The part of the feed that had come is not taken for the feed.
    ExpectKijijiAndSeededOnly(path);
    EXPECT_EQ(RequestsFor(kClCity, ClFeedPath()), 1);
}

TEST_F(ConnectionFaults, reset_in_the_middle_of_a_feed_keeps_the_items_that_arrived_whole)
{
    const std::string path = WriteSeededSearch();
    sitesim::Knobs reset;
    reset.resetAfterBytes = static_cast<long>(ClCutInSixthLink());
    Misbehave(kClCity, ClFeedPath(), reset);

    const ProgramResult run = RunLogged({"-csv", "bikes.trawl"});
    // What came is kept, but the site did not give its whole feed: the run says so and fails.
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr("Craigslist: 1 of 1 feed failed (1 cut short).\n"));
    EXPECT_THAT(run.err, Not(HasSubstr("Kijiji:")));
    ExpectBounded(run, 5s, kSmallRunMiB);
    const std::vector<std::string> links = LinksIn(path);
    // The five items before the cut, and nothing made of the cut one.
    for (const std::string& link : FirstClLinks(5)) {
        EXPECT_EQ(std::count(links.begin(), links.end(), link), 1) << link;
    }
    std::set<std::string> known = KijijiLinks();
    known.merge(LinksOf(kClCity, ClFeedPath()));
    for (const std::string& link : links) {
        EXPECT_TRUE(known.contains(link) || link.find("/ad/kept/") != std::string::npos) << "cut link kept: " << link;
    }
    EXPECT_EQ(links.size(), 3 + 5 + KijijiLinks().size());
    ExpectSeededKept(path);
    EXPECT_EQ(RequestsFor(kClCity, ClFeedPath()), 1); // a cut feed is reported, not asked for again
}

TEST_F(ConnectionFaults, stall_longer_than_the_wait_keeps_what_came_before_it)
{
    const std::string path = WriteSeededSearch();
    sitesim::Knobs stall;
    stall.stallAfterBytes = static_cast<long>(ClCutInSixthLink());
    stall.stallMs = 8000;
    Misbehave(kClCity, ClFeedPath(), stall);

    const ProgramResult run = RunLogged({"-csv", "bikes.trawl"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr("Craigslist: 1 of 1 feed failed (1 cut short).\n"));
    // One 5500 ms wait, not the 8 s of the stall.
    EXPECT_GE(run.wallMs, 5500);
    ExpectBounded(run, 7500ms, kSmallRunMiB);
    const std::vector<std::string> links = LinksIn(path);
    for (const std::string& link : FirstClLinks(5)) {
        EXPECT_EQ(std::count(links.begin(), links.end(), link), 1) << link;
    }
    EXPECT_EQ(links.size(), 3 + 5 + KijijiLinks().size());
    ExpectSeededKept(path);
}

TEST_F(ConnectionFaults, trickling_server_slower_than_one_wait_in_all_is_read_to_its_end)
{
    const std::string path = WriteSeededSearch();
    const std::size_t size = ResponseOf(kClCity, ClFeedPath()).size();
    sitesim::Knobs trickle;
    // Nine pieces 800 ms apart: over 6 s for the whole feed, every gap well inside one wait.
    trickle.trickleBytes = size / 8;
    trickle.trickleIntervalMs = 800;
    Misbehave(kClCity, ClFeedPath(), trickle);

    const ProgramResult run = RunLogged({"-csv", "bikes.trawl"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_GE(run.wallMs, 6000);
    ExpectBounded(run, 9s, kSmallRunMiB);
    std::set<std::string> all = KijijiLinks();
    all.merge(LinksOf(kClCity, ClFeedPath()));
    std::vector<std::string> expected = Sorted(all);
    for (int i = 1; i <= 3; ++i) {
        expected.push_back("http://sfbay.craigslist.org/ad/kept/" + std::to_string(i) + ".html");
    }
    EXPECT_THAT(LinksIn(path), UnorderedElementsAreArray(expected));
    ExpectSeededKept(path);
    EXPECT_EQ(RequestsFor(kClCity, ClFeedPath()), 1);
}

} // namespace
} // namespace trawl::test

#include "FaultFixture.h"
#include "sitesim/DemoSites.h"

#include <chrono>
#include <gmock/gmock.h>
#include <thread>

namespace trawl::test {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAreArray;

// Seven cities over both sites, each of whose search pages fails in its own way or not at all.
constexpr const char* kNewYork = "newyork.craigslist.org"; // refuses connections, then comes up
constexpr const char* kChicago = "chicago.craigslist.org"; // resets in the middle of the feed
constexpr const char* kMontreal = "montreal.kijiji.ca";    // redirects to itself
constexpr const char* kSeattle = "seattle.kijiji.com";     // stalls in the middle of the page
// kClCity and kKjStates answer well; kKjCanada's feed never ends.

class MixedFaults : public FaultRun {
protected:
    void SetUp() override
    {
        FaultRun::SetUp();
        WriteFile(home.File("CLcitylist.csv"),
                  CrLfLines({R"("Region","CountryCode","CountryName","StateCode","CityName","CityURL")",
                             R"("US","US","United States","CA","SF bay area","sfbay.craigslist.org")",
                             R"("US","US","United States","NY","new york","newyork.craigslist.org")",
                             R"("US","US","United States","IL","chicago","chicago.craigslist.org")"}));
        WriteFile(home.File("CLstatelist.csv"),
                  CrLfLines({R"("CityURI","StateName","StateCode")", R"("sfbay","California","CA")",
                             R"("newyork","New York","NY")", R"("chicago","Illinois","IL")"}));
        WriteFile(home.File("KJcitylist.csv"),
                  CrLfLines({R"("Country","State","City","URL")", R"("Canada","Ontario","Toronto","toronto.kijiji.ca")",
                             R"("Canada","Quebec","Montreal","montreal.kijiji.ca")",
                             R"("United States","Massachusetts","Boston","boston.kijiji.com")",
                             R"("United States","Washington","Seattle","seattle.kijiji.com")"}));
        WriteSettings({"MaxThreads: 8", "MaxThreads2: 2"});
    }
    std::vector<std::string> Links(const std::string& host, const std::string& path) const
    {
        const std::set<std::string> links = LinksOf(host, path);
        return {links.begin(), links.end()};
    }
    // The links of the items before the `n`-th `item` marker of a page, in page order.
    std::vector<std::string> LinksBefore(const std::string& page, const std::string& item, int n,
                                         const std::string& open, const std::string& close) const
    {
        std::vector<std::string> links;
        std::size_t at = page.find(item);
        for (int i = 1; i < n && at != std::string::npos; ++i, at = page.find(item, at + 1)) {
            const std::size_t from = page.find(open, at) + open.size();
            links.push_back(page.substr(from, page.find(close, from) - from));
        }
        return links;
    }
};

TEST_F(MixedFaults, many_faults_at_once_over_both_sites_leave_the_good_results_harvested_and_saved)
{
    const std::string path = home.File("bikes.trawl");
    WriteSeededSearch();
    WriteFile(path,
              CrLfLines({"bikes", std::string(kClCity) + "," + kNewYork + "," + kChicago, "bik", "bike",
                         std::string(kKjCanada) + "," + kMontreal + "," + kKjStates + "," + kSeattle, "644\\bikes"}) +
                  CrLfLines(seeded));

    // Chicago: reset inside the sixth item's "</link>".
    const std::string chicagoFeed = sitesim::SampleSitePage({kChicago, ClFeedPath(), {}}, world.sites).Bytes();
    sitesim::Knobs reset;
    std::size_t sixth = chicagoFeed.find("<item ");
    for (int i = 1; i < 6; ++i) {
        sixth = chicagoFeed.find("<item ", sixth + 1);
    }
    reset.resetAfterBytes = static_cast<long>(chicagoFeed.find("</link>", sixth) + 3);
    Misbehave(kChicago, ClFeedPath(), reset);
    // Toronto: the feed, then filler without end.
    sitesim::Knobs endless;
    endless.endlessBody = true;
    Misbehave(kKjCanada, KjCanadaFeedPath(), endless);
    // Montreal: back to itself.
    server.AddRedirect(kMontreal, KjCanadaFeedPath(), std::string("http://") + kMontreal + KjCanadaFeedPath());
    // Seattle: silent for longer than a wait, a few bytes into the fifth entry.
    const std::string seattlePage = sitesim::SampleSitePage({kSeattle, KjStatesPagePath(), {}}, world.sites).Bytes();
    std::size_t fifth = seattlePage.find("<li>");
    for (int i = 1; i < 5; ++i) {
        fifth = seattlePage.find("<li>", fifth + 1);
    }
    sitesim::Knobs stall;
    stall.stallAfterBytes = static_cast<long>(fifth + 10);
    stall.stallMs = 7000;
    Misbehave(kSeattle, KjStatesPagePath(), stall);
    // New York: refused until every other page has been asked for, then served by a second server.
    ClosedPort newYork;
    ASSERT_GT(newYork.port(), 0);
    sitesim::SampleSiteServer later;
    sitesim::ServeDemoWorld(later, world);
    auto env = Env();
    env["TRAWLKIT_CONNECT_TO"] = std::string(kNewYork) + ":80:127.0.0.1:" + std::to_string(newYork.port()) +
                                 ",*:80:127.0.0.1:" + std::to_string(server.port());

    bool cameUp = false;
    const ProgramResult run = RunLogged({"-deep", "-csv", "bikes.trawl"}, env, [&](int) {
        const auto asked = [this](const std::string& host) {
            for (const sitesim::SimRequest& request : server.Requests()) {
                if (request.host == host) {
                    return true;
                }
            }
            return false;
        };
        for (int i = 0; i < 2000; ++i) {
            if (asked(kClCity) && asked(kChicago) && asked(kKjCanada) && asked(kMontreal) && asked(kKjStates) &&
                asked(kSeattle)) {
                break;
            }
            std::this_thread::sleep_for(5ms);
        }
        // New York's job was handed out second; its connection was refused long before the seventh.
        std::this_thread::sleep_for(300ms);
        newYork.Release();
        cameUp = later.Start(newYork.port()).ok();
    });
    ASSERT_TRUE(cameUp);

    // Every fault was met and got past, but three feeds did not come whole: the run says which and fails.
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr("Craigslist: 1 of 3 feeds failed (1 cut short).\n"));
    EXPECT_THAT(run.err, HasSubstr("Kijiji: 2 of 4 feeds failed (1 answered HTTP 302, 1 cut short).\n"));
    // New York waited 25 to 35 seconds before its second try; the stall's wait ran meanwhile.
    EXPECT_GE(run.wallMs, 25000);
    ExpectBounded(run, 45s, 192);
    EXPECT_EQ(later.RequestCount() - LinksOf(kNewYork, ClFeedPath()).size(), 1u); // the feed once, then its ads
    EXPECT_EQ(RequestsFor(kMontreal, KjCanadaFeedPath()), 2);

    std::vector<std::string> expected;
    for (int i = 1; i <= 3; ++i) {
        expected.push_back("http://sfbay.craigslist.org/ad/kept/" + std::to_string(i) + ".html");
    }
    for (const auto& links : {Links(kClCity, ClFeedPath()), Links(kNewYork, ClFeedPath()),
                              LinksBefore(PageOf(kChicago, ClFeedPath()), "<item ", 6, "<link>", "</link>"),
                              Links(kKjCanada, KjCanadaFeedPath()), Links(kKjStates, KjStatesPagePath()),
                              LinksBefore(PageOf(kSeattle, KjStatesPagePath()), "<li>", 5, "href=\"", "\"")}) {
        expected.insert(expected.end(), links.begin(), links.end());
    }
    EXPECT_THAT(LinksIn(path), UnorderedElementsAreArray(expected));
    ExpectSeededKept(path);
    // Every new record was deep-scanned, New York's on the server that came up.
    for (const std::string& link : LinksIn(path)) {
        EXPECT_GE(FullTextOf(path, link).size(), 50u) << link;
    }
    EXPECT_EQ(static_cast<int>(SplitCrLf(ReadFile(home.File("bikes.csv"))).size()),
              1 + static_cast<int>(expected.size()));
}

} // namespace
} // namespace trawl::test

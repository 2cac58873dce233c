#include "DownloadTestSupport.h"
#include "net/ByteCounter.h"
#include "net/Connector.h"
#include "net/HttpClient.h"
#include "refdata/ListFiles.h"
#include "sites/Endpoints.h"
#include "sitesim/ListPages.h"
#include "sitesim/SampleSiteServer.h"
#include "support/Doubles.h"

#include <gtest/gtest.h>

namespace trawl {
namespace {

using downloadtest::RecordingObserver;
using downloadtest::WorldGetter;

std::string ListText(const test::TempDir& dir, ListFile which)
{
    return test::ReadFile(dir.File(std::string(ListFileName(which))));
}

TEST(ListDownload, SampleWorldGivesTheFiveFilesAndTheLogByteForByte)
{
    test::TempDir dir;
    test::FakeClock clock;
    WorldGetter getter;
    RecordingObserver observer;

    const ListDownloadOutcome outcome = RunListDownload(getter, clock, dir.path(), observer);

    EXPECT_EQ(outcome.DownloadResult, kDownloadFinished);
    EXPECT_EQ(ListText(dir, ListFile::CLSections), downloadtest::kExpectedCLSections);
    EXPECT_EQ(ListText(dir, ListFile::CLStates), downloadtest::kExpectedCLStates);
    EXPECT_EQ(ListText(dir, ListFile::CLCities), downloadtest::kExpectedCLCities);
    EXPECT_EQ(ListText(dir, ListFile::KJSections), downloadtest::kExpectedKJSections);
    EXPECT_EQ(ListText(dir, ListFile::KJCities), downloadtest::kExpectedKJCities);
    EXPECT_EQ(outcome.DownloadLog, downloadtest::ExpectedSampleLog());
    EXPECT_EQ(observer.Log(), outcome.DownloadLog);
    EXPECT_TRUE(clock.Waits().empty()) << "every page was accepted at once";
}

TEST(ListDownload, ButtonsAnimationRefreshesAndFetchFlagsFollowTheRun)
{
    test::TempDir dir;
    test::FakeClock clock;
    WorldGetter getter;
    RecordingObserver observer;
    RunListDownload(getter, clock, dir.path(), observer);

    const std::vector<std::pair<std::string, bool>> buttons = {{"Begin Download", false},
                                                               {"Grabbing CL Sections", false},
                                                               {"Grabbing CL States", false},
                                                               {"Grabbing CL Cities", false},
                                                               {"Grabbing KJ Sections", false},
                                                               {"Grabbing KJ Cities", false},
                                                               {"Start", true}};
    EXPECT_EQ(observer.buttons, buttons);
    EXPECT_EQ(observer.cancelStates, std::vector<bool>{false});
    EXPECT_EQ(observer.animationSites, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(observer.results, std::vector<int>{kDownloadFinished});

    // Only these additions wait for the next refresh.
    std::vector<std::string> quiet;
    for (const auto& call : observer.logCalls) {
        if (!call.refreshNow) {
            quiet.push_back(call.text);
        }
    }
    EXPECT_EQ(quiet, (std::vector<std::string>{"  Scanning 51 US states\r\n", "  Scanning 13 Canadian provinces\r\n",
                                               "  Scanning 8 Australian states\r\n", "Processing Kijiji City Data\r\n",
                                               "United States"}));

    // 9 section pages, 72 state pages, 246 country pages, 1 + 1 + 1 + 2 Kijiji pages.
    ASSERT_EQ(getter.calls.size(), 9u + 72u + 246u + 5u);
    for (std::size_t i = 0; i < getter.calls.size(); ++i) {
        const auto& call = getter.calls[i];
        const bool directory = call.host == endpoints::kCraigslistDirectoryHost;
        EXPECT_EQ(call.followRedirect, directory ? 0 : 1) << call.host << call.path;
        EXPECT_EQ(call.countBytes, 0);
    }
    EXPECT_EQ(getter.calls[0].path, "/ccc/");
    EXPECT_EQ(getter.calls[9].path, "/iso/us/al");
    EXPECT_EQ(getter.calls[9 + 72].path, "/iso/ad");
    EXPECT_EQ(getter.calls.back().path, "/state/new-york");
}

TEST(ListDownload, RealClientAgainstTheSampleServerBuildsCompleteTablesOfTheWorld)
{
    sitesim::SampleSiteServer server;
    ASSERT_TRUE(server.Start().ok());
    const sitesim::SampleWorld world = sitesim::MakeSampleWorld();
    sitesim::InstallListPages(server, world);
    SocketConnector connector({{"*", 80, "127.0.0.1", server.port()}});
    ByteCounter counter;
    HttpOptions options;
    options.userAgent = "TestAgent/1.0";
    options.waitMs = 2000;
    HttpClient client(options, connector, counter);

    test::TempDir dir;
    test::FakeClock clock;
    RecordingObserver observer;
    const ListDownloadOutcome outcome = RunListDownload(client, clock, dir.path(), observer);

    ASSERT_EQ(outcome.DownloadResult, kDownloadFinished) << outcome.DownloadLog;
    EXPECT_EQ(outcome.DownloadLog, downloadtest::ExpectedSampleLog());
    EXPECT_EQ(ListText(dir, ListFile::CLCities), downloadtest::kExpectedCLCities);
    EXPECT_EQ(ListText(dir, ListFile::KJCities), downloadtest::kExpectedKJCities);
    EXPECT_EQ(counter.Total(), 0) << "list pages are not counted";

    const ReferenceTables tables = LoadReferenceLists(dir.path());
    EXPECT_TRUE(ReferenceListsComplete(tables));
    std::vector<std::string> hosts;
    for (const auto& city : tables.CLCityTable) {
        const std::string rest = city.CityURL.substr(7);
        const std::string host = rest.substr(0, rest.find('/'));
        if (std::find(hosts.begin(), hosts.end(), host) == hosts.end()) {
            hosts.push_back(host);
        }
    }
    std::vector<std::string> worldHosts = world.CraigslistCityHosts();
    std::sort(hosts.begin(), hosts.end());
    std::sort(worldHosts.begin(), worldHosts.end());
    EXPECT_EQ(hosts, worldHosts);
    std::vector<std::string> codes;
    for (const auto& section : tables.CLSectionTable) {
        codes.push_back(section.SectionCode);
    }
    EXPECT_EQ(codes, world.CraigslistSectionCodes());
    std::vector<std::string> keys;
    for (const auto& section : tables.KJSectionTable) {
        keys.push_back(KJSectionKey(section));
    }
    EXPECT_EQ(keys, world.KijijiSectionKeys());
}

} // namespace
} // namespace trawl

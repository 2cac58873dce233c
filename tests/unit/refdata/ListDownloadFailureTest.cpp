#include "DownloadTestSupport.h"
#include "app/AtomicFile.h"
#include "refdata/ListFiles.h"
#include "sites/Endpoints.h"
#include "support/Doubles.h"

#include <gtest/gtest.h>

namespace trawl {
namespace {

using downloadtest::PaddedResponse;
using downloadtest::RecordingObserver;
using downloadtest::WorldGetter;

constexpr const char* kOptionMarker = "<option disabled value=\"\">--";
const std::string kSectionHost(endpoints::kCraigslistSectionHost);
const std::string kDirectoryHost(endpoints::kCraigslistDirectoryHost);

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class ListDownloadFailure : public ::testing::Test {
protected:
    ListDownloadOutcome Run() { return RunListDownload(getter, clock, dir.path(), observer); }
    std::string File(ListFile which) const { return test::ReadFile(dir.File(std::string(ListFileName(which)))); }
    // Puts an old copy of every list file in place.
    void WriteOldFiles()
    {
        for (ListFile which : kAllListFiles) {
            test::WriteFile(dir.File(std::string(ListFileName(which))), "old " + std::string(ListFileName(which)));
        }
    }
    void ExpectAborted(const ListDownloadOutcome& outcome)
    {
        EXPECT_EQ(outcome.DownloadResult, kDownloadAborted);
        EXPECT_EQ(observer.results, std::vector<int>{kDownloadAborted});
        ASSERT_FALSE(observer.buttons.empty());
        EXPECT_EQ(observer.buttons.back(), std::make_pair(std::string("Exit (Try Later)"), true));
        EXPECT_EQ(std::count(observer.animationSites.begin(), observer.animationSites.end(), 0), 0)
            << "the picture keeps moving after a failed run";
    }

    test::TempDir dir;
    test::FakeClock clock;
    WorldGetter getter;
    RecordingObserver observer;
};

// A run stopped after its first list (the dialog closed): no page is fetched afterwards, the pause
// before a retry ends at once, and every file is whole, the finished one new and the others old.
TEST_F(ListDownloadFailure, StopEndsTheRunAtOnceAndLeavesEveryFileWhole)
{
    WriteOldFiles();
    std::atomic<int> stop{0};
    // The states page fails once, and the stop comes during the pause before its retry.
    getter.Script(kDirectoryHost, "/iso/us/al", {""});
    clock.onAdvance = [&](std::int64_t) { stop.store(1); };
    const ListDownloadOutcome outcome = RunListDownload(getter, clock, dir.path(), observer, &stop);

    ExpectAborted(outcome);
    EXPECT_EQ(getter.CallsTo(kDirectoryHost, "/iso/us/al"), 1) << "no fetch after the stop";
    EXPECT_NE(File(ListFile::CLSections), "old CLsectlist.csv");
    EXPECT_EQ(File(ListFile::CLStates), "old CLstatelist.csv");
    EXPECT_EQ(File(ListFile::KJCities), "old KJcitylist.csv");
}

TEST_F(ListDownloadFailure, FortyNineCharactersFailEvenWithTheMarkerAndFiftyPass)
{
    getter.Script(kSectionHost, "/ccc/", std::vector<std::string>(6, PaddedResponse(kOptionMarker, 49)));
    const ListDownloadOutcome outcome = Run();

    ExpectAborted(outcome);
    EXPECT_EQ(getter.CallsTo(kSectionHost, "/ccc/"), 6);
    EXPECT_EQ(getter.calls.size(), 6u) << "nothing is fetched after the last failure";
    EXPECT_EQ(clock.Waits(), std::vector<int>(5, 4000));
    EXPECT_TRUE(EndsWith(outcome.DownloadLog, "\r\n  Could not download http://sfbay.craigslist.org/ccc/  Fatal Error: "
                                              "Internet connection problems -- aborting.\r\n\r\n"));
    for (ListFile which : kAllListFiles) {
        EXPECT_FALSE(FileExists(dir.File(std::string(ListFileName(which)))));
    }

    WorldGetter fifty;
    fifty.Script(kSectionHost, "/ccc/", {PaddedResponse(kOptionMarker, 50)});
    test::FakeClock clock2;
    RecordingObserver observer2;
    test::TempDir dir2;
    EXPECT_EQ(RunListDownload(fifty, clock2, dir2.path(), observer2).DownloadResult, kDownloadFinished);
    EXPECT_EQ(fifty.CallsTo(kSectionHost, "/ccc/"), 1);
    const std::string sections = test::ReadFile(dir2.File("CLsectlist.csv"));
    EXPECT_NE(sections.find("\"ccc\",\"ccc\",\"Community (All)\"\r\n\"eee\",\"eee\""), std::string::npos) << sections;
}

TEST_F(ListDownloadFailure, SectionPagesShareOneFailureCount)
{
    getter.Script(kSectionHost, "/ccc/", {"", ""});
    getter.Script(kSectionHost, "/eee/", {"", "", "", ""});
    const ListDownloadOutcome outcome = Run();

    ExpectAborted(outcome);
    EXPECT_EQ(getter.CallsTo(kSectionHost, "/ccc/"), 3);
    EXPECT_EQ(getter.CallsTo(kSectionHost, "/eee/"), 4);
    EXPECT_EQ(clock.Waits().size(), 5u);
    EXPECT_TRUE(EndsWith(outcome.DownloadLog, "Scanning 1/9: Community (All)\r\n  Activities\r\n  Artists\r\n  "
                                              "Childcare\r\n\r\n  Could not download http://sfbay.craigslist.org/eee/  "
                                              "Fatal Error: Internet connection problems -- aborting.\r\n\r\n"))
        << outcome.DownloadLog;

    // Five failures spread over the pages are still within the step's retries.
    WorldGetter five;
    five.Script(kSectionHost, "/ccc/", {"", ""});
    five.Script(kSectionHost, "/bbb/", {"", "", ""});
    test::FakeClock clock2;
    RecordingObserver observer2;
    test::TempDir dir2;
    EXPECT_EQ(RunListDownload(five, clock2, dir2.path(), observer2).DownloadResult, kDownloadFinished);
    EXPECT_EQ(clock2.Waits().size(), 5u);
}

TEST_F(ListDownloadFailure, FailedStatePageEndsTheRunAndKeepsOnlyTheFinishedFiles)
{
    WriteOldFiles();
    // Five failures on each of two pages pass (a fresh count per page); six on a third do not.
    getter.Script(kDirectoryHost, "/iso/us/al", std::vector<std::string>(5, ""));
    getter.Script(kDirectoryHost, "/iso/us/ak", std::vector<std::string>(5, "short"));
    getter.Script(kDirectoryHost, "/iso/us/ca", std::vector<std::string>(6, ""));
    const ListDownloadOutcome outcome = Run();

    ExpectAborted(outcome);
    EXPECT_EQ(clock.Waits(), std::vector<int>(15, 4000));
    EXPECT_EQ(getter.calls.back().path, "/iso/us/ca");
    EXPECT_TRUE(EndsWith(outcome.DownloadLog, "    5/51 California...\r\n  Could not download "
                                              "http://geo.craigslist.org/iso/us/ca\r\n  Fatal Error: Internet "
                                              "connection problems -- aborting.\r\n\r\n"))
        << outcome.DownloadLog;
    EXPECT_EQ(File(ListFile::CLSections), downloadtest::kExpectedCLSections);
    EXPECT_EQ(File(ListFile::CLStates), "old CLstatelist.csv");
    EXPECT_EQ(File(ListFile::CLCities), "old CLcitylist.csv");
    EXPECT_EQ(File(ListFile::KJSections), "old KJsectlist.csv");
    EXPECT_EQ(File(ListFile::KJCities), "old KJcitylist.csv");
}

TEST_F(ListDownloadFailure, FailedCountryPageKeepsSectionsAndStates)
{
    WriteOldFiles();
    getter.Script(kDirectoryHost, "/iso/gb", std::vector<std::string>(6, ""));
    const ListDownloadOutcome outcome = Run();

    ExpectAborted(outcome);
    EXPECT_TRUE(EndsWith(outcome.DownloadLog, "75/246: United Kingdom...\r\n\r\n  Could not download "
                                              "http://geo.craigslist.org/iso/gb\r\n  Fatal Error: Internet "
                                              "connection problems -- aborting.\r\n\r\n"));
    EXPECT_EQ(File(ListFile::CLSections), downloadtest::kExpectedCLSections);
    EXPECT_EQ(File(ListFile::CLStates), downloadtest::kExpectedCLStates);
    EXPECT_EQ(File(ListFile::CLCities), "old CLcitylist.csv");
    EXPECT_EQ(File(ListFile::KJSections), "old KJsectlist.csv");
}

TEST_F(ListDownloadFailure, KijijiPagesLogTheirOwnFailureLines)
{
    struct Case {
        std::string host;
        std::string path;
        std::string tail;
        bool sectionsWritten;
    };
    const std::vector<Case> cases = {
        {"boston.kijiji.com", "/",
         "Output written to CLcitylist.csv\r\n\r\n\r\n  Could not download http://boston.kijiji.com/\r\nFatal Error: "
         "Internet connection problems -- aborting.\r\n\r\n",
         false},
        {"www.kijiji.ca", "/",
         "Processing Kijiji City Data\r\nCanada\r\n\r\n  Could not download www.kijiji.ca/\r\nFatal Error: Internet "
         "connection problems -- aborting.\r\n\r\n",
         true},
        {"www.kijiji.com", "/",
         "(http://vancouver.kijiji.ca/)\r\nUnited States\r\n\r\n  Could not download www.kijiji.com/\r\nFatal Error: "
         "Internet connection problems -- aborting.\r\n\r\n",
         true},
        {"www.kijiji.com", "/state/new-york",
         "(http://worcester.kijiji.com/)\r\n  New York\r\n\r\n\r\n  Could not download "
         "www.kijiji.com/state/new-york\r\nFatal Error: Internet connection problems -- aborting.\r\n\r\n",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host + c.path);
        test::TempDir scratch;
        test::WriteFile(scratch.File("KJsectlist.csv"), "old");
        test::WriteFile(scratch.File("KJcitylist.csv"), "old");
        WorldGetter failing;
        // Long enough, but without the page's marker.
        failing.Fix(c.host, c.path, std::string(200, 'x'));
        test::FakeClock fake;
        RecordingObserver seen;
        const ListDownloadOutcome outcome = RunListDownload(failing, fake, scratch.path(), seen);
        EXPECT_EQ(outcome.DownloadResult, kDownloadAborted);
        EXPECT_EQ(failing.CallsTo(c.host, c.path), 6);
        EXPECT_TRUE(EndsWith(outcome.DownloadLog, c.tail))
            << outcome.DownloadLog.substr(outcome.DownloadLog.size() - 300);
        EXPECT_EQ(test::ReadFile(scratch.File("KJsectlist.csv")) == "old", !c.sectionsWritten);
        EXPECT_EQ(test::ReadFile(scratch.File("KJcitylist.csv")), "old");
    }
}

TEST_F(ListDownloadFailure, AFileThatCannotBeWrittenEndsTheRun)
{
    const ListDownloadOutcome outcome = RunListDownload(getter, clock, dir.File("missing/folder/"), observer);
    ExpectAborted(outcome);
    EXPECT_NE(outcome.DownloadLog.find("Done\r\n\r\n  Could not write CLsectlist.csv: "), std::string::npos)
        << outcome.DownloadLog;
    EXPECT_EQ(getter.calls.size(), 9u) << "no step runs after the failed write";
}

TEST_F(ListDownloadFailure, OddDirectoryAnswersAddNoRowsAndDoNotFail)
{
    // A redirect to one character, a list page without its list, and a 200 page quoting a redirect.
    getter.Fix(kDirectoryHost, "/iso/us/al", "HTTP/1.0 302 Found\r\nLocation: /\r\nContent-Length: 0\r\n\r\n");
    getter.Fix(kDirectoryHost, "/iso/us/ca",
               "HTTP/1.0 200 OK\r\n\r\n<html><body><a href=\"http://sfbay.craigslist.org/\">sf</a></body></html>");
    getter.Fix(kDirectoryHost, "/iso/au/nsw",
               "HTTP/1.0 200 OK\r\n\r\n<pre>HTTP/1.0 302 Found\r\nLocation: http://sydney.craigslist.com.au\r\n</pre>");
    const ListDownloadOutcome outcome = Run();

    EXPECT_EQ(outcome.DownloadResult, kDownloadFinished);
    EXPECT_EQ(File(ListFile::CLStates), "\"CityURI\",\"StateName\",\"StateCode\"\r\n"
                                        "\"http://anchorage.craigslist.org\",\"Alaska\",\"AK\"\r\n"
                                        "\"http://toronto.craigslist.ca\",\"Ontario\",\"ON\"\r\n"
                                        "\"http://montreal.craigslist.ca/\",\"Quebec\",\"QC\"\r\n"
                                        "\"http://vancouver.craigslist.ca/\",\"British Columbia\",\"BC\"\r\n"
                                        "\"http://victoria.craigslist.ca/\",\"British Columbia\",\"BC\"\r\n"
                                        "\"http://sydney.craigslist.com.au\",\"New South Wales\",\"NSW\"\r\n");
    EXPECT_NE(outcome.DownloadLog.find("    1/51 Alabama...\r\n    2/51 Alaska...\r\n"), std::string::npos);
    // The cities step looked the state codes up in what the states step found.
    const std::string cities = File(ListFile::CLCities);
    EXPECT_NE(cities.find("\"US\",\"United States\",\"--\",\"Birmingham\""), std::string::npos);
    EXPECT_NE(cities.find("\"AU\",\"Australia\",\"NSW\",\"Sydney\""), std::string::npos);
}

TEST_F(ListDownloadFailure, SectionPageWithOneMarkerReadsToTheEnd)
{
    getter.Fix(kSectionHost, "/ppp/",
               "HTTP/1.0 200 OK\r\n\r\n<select>\r\n<option disabled value=\"\">-- personals:\r\n"
               "<option value=\"stp\">  strictly   platonic  \r\n<option value=\"w4w\">WOMEN SEEK WOMEN\n"
               "<option value=\"msr\">misc romance");
    const ListDownloadOutcome outcome = Run();
    ASSERT_EQ(outcome.DownloadResult, kDownloadFinished);
    EXPECT_NE(File(ListFile::CLSections)
                  .find("\"ppp\",\"ppp\",\"Personals (All)\"\r\n\"ppp\",\"stp\",\"Strictly   Platonic\"\r\n"
                        "\"ppp\",\"w4w\",\"Women Seek Women\"\r\n\"ppp\",\"msr\",\"Misc Romance\"\r\n\"res\""),
              std::string::npos)
        << File(ListFile::CLSections);
}

} // namespace
} // namespace trawl

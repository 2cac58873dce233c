#include "DownloadTestSupport.h"
#include "refdata/ListFiles.h"
#include "support/Doubles.h"

#include <gtest/gtest.h>

namespace trawl {
namespace {

using downloadtest::RecordingObserver;
using downloadtest::WorldGetter;

const std::string kOk = "HTTP/1.0 200 OK\r\n\r\n";

class KijijiDownload : public ::testing::Test {
protected:
    ListDownloadOutcome Run() { return RunListDownload(getter, clock, dir.path(), observer); }
    std::string File(const char* name) const { return test::ReadFile(dir.File(name)); }

    test::TempDir dir;
    test::FakeClock clock;
    WorldGetter getter;
    RecordingObserver observer;
};

TEST_F(KijijiDownload, AccentsAreFoldedInCanadianRowsOnlyAndBoldCitiesKeepTheirPlace)
{
    getter.Fix("www.kijiji.ca", "/",
               kOk + "<div class=\"catlist\">\r\n<h2 class=\"homeMetaCatName\">Qu\xC3\xA9"
                     "bec</h2>\r\n<ul>\r\n"
                     "<li><a href=\"http://trois-rivieres.kijiji.ca/\">Trois-Rivi\xC3\xA8res</a></li>\r\n"
                     "<li><b><a href=\"http://montreal.kijiji.ca/montr\xC3\xA9"
                     "al\">Montr\xC3\xA9"
                     "al</a></b></li>\r\n"
                     "<li><a href=\"http://laval.kijiji.ca/\">Laval</a></li>\r\n</ul>\r\n"
                     "<h2 class=\"homeMetaCatName\">Empty</h2>\r\n</div>\r\n"
                     "<li><a href=\"http://after.kijiji.ca/\">After the list</a></li>");
    getter.Fix("www.kijiji.com", "/state/massachusetts",
               kOk + "<p>Please select a city below</p><ul><li><a href=\"http://x.kijiji.com/caf\xC3\xA9\">"
                     "Caf\xC3\xA9</a></li></ul></div><a href=\"http://y.kijiji.com/\">outside</a>");
    ASSERT_EQ(Run().DownloadResult, kDownloadFinished);

    const std::string expectedStart =
        "\"Country\",\"State\",\"City\",\"URL\"\r\n"
        "\"Canada\",\"Quebec\",\"Trois-Rivieres\",\"http://trois-rivieres.kijiji.ca/\"\r\n"
        "\"Canada\",\"Quebec\",\"Montreal\",\"http://montreal.kijiji.ca/montreal\"\r\n"
        "\"Canada\",\"Quebec\",\"Laval\",\"http://laval.kijiji.ca/\"\r\n"
        "\"United States\",\"Massachusetts\",\"Caf\xC3\xA9\",\"http://x.kijiji.com/caf\xC3\xA9\"\r\n"
        "\"United States\",\"New York\",";
    EXPECT_EQ(File("KJcitylist.csv").substr(0, expectedStart.size()), expectedStart);
    EXPECT_NE(observer.Log().find("  Quebec\r\n    Trois-Rivieres (http://trois-rivieres.kijiji.ca/)\r\n"
                                  "    Montreal (http://montreal.kijiji.ca/montreal)\r\n"),
              std::string::npos);
    EXPECT_NE(observer.Log().find("  Empty\r\nUnited States (Found 2 states)\r\n"), std::string::npos);
}

TEST_F(KijijiDownload, SectionLinksOfAnotherFormEndTheirGroupAndAHeadingOfAnotherFormEndsTheList)
{
    getter.Fix("boston.kijiji.com", "/",
               kOk + "<h2 class=\"title\"><a href=\"http://boston.kijiji.com/pets/?catId=112\">PETS</a></h2>\r\n"
                     "<li><a href=\"http://boston.kijiji.com/cats/?catId=113\">cats</a></li>\r\n"
                     "<li><a href=\"http://boston.kijiji.com/help.html\">help</a></li>\r\n"
                     "<li><a href=\"http://boston.kijiji.com/dogs/?catId=114\">dogs</a></li>\r\n"
                     "<h2 class=\"title\"><a href=\"http://boston.kijiji.com/jobs/?catId=45\">jobs</a></h2>\r\n"
                     "<li><a href=\"http://boston.kijiji.com/nurses/?catId=46\">nurses</a></li>\r\n"
                     "<h2 class=\"title\"><a href=\"http://boston.kijiji.com/about\">about</a></h2>\r\n"
                     "<h2 class=\"title\"><a href=\"http://boston.kijiji.com/late/?catId=99\">late</a></h2>\r\n");
    ASSERT_EQ(Run().DownloadResult, kDownloadFinished);
    EXPECT_EQ(File("KJsectlist.csv"), "\"MasterSectionName\",\"SectionID\",\"SectionDir\",\"SectionName\"\r\n"
                                      "\"Pets\",\"112\",\"pets\",\"Pets\"\r\n"
                                      "\"Pets\",\"113\",\"cats\",\"Cats\"\r\n"
                                      "\"Jobs\",\"45\",\"jobs\",\"Jobs\"\r\n"
                                      "\"Jobs\",\"46\",\"nurses\",\"Nurses\"\r\n");
}

TEST_F(KijijiDownload, AGroupHeadingWithoutALinkOrNameFailsTheRun)
{
    for (const std::string& page :
         {kOk + "<h2 class=\"title\">no link here, padding padding padding</h2>",
          kOk + "<h2 class=\"title\"><a href=\"\">empty link</a></h2> padding padding padding",
          kOk + "<h2 class=\"title\"><a href=\"http://boston.kijiji.com/pets/?catId=112\"></a></h2> padding"}) {
        SCOPED_TRACE(page);
        test::TempDir scratch;
        WorldGetter broken;
        broken.Fix("boston.kijiji.com", "/", page);
        test::FakeClock fake;
        RecordingObserver seen;
        const ListDownloadOutcome outcome = RunListDownload(broken, fake, scratch.path(), seen);
        EXPECT_EQ(outcome.DownloadResult, kDownloadAborted);
        EXPECT_EQ(broken.CallsTo("boston.kijiji.com", "/"), 1) << "the page was accepted; its content failed";
        const std::string tail = "\r\n  Could not download http://boston.kijiji.com/\r\nFatal Error: Internet "
                                 "connection problems -- aborting.\r\n\r\n";
        EXPECT_EQ(outcome.DownloadLog.substr(outcome.DownloadLog.size() - tail.size()), tail);
        EXPECT_FALSE(test::ReadFile(scratch.File("CLcitylist.csv")).empty());
        EXPECT_TRUE(test::ReadFile(scratch.File("KJsectlist.csv")).empty());
    }
}

TEST_F(KijijiDownload, StateListStopsAtOneHundredLinks)
{
    std::string page = kOk + "please click on your state below<ul>";
    for (int i = 1; i <= 105; ++i) {
        const std::string n = std::to_string(i);
        page += "<li><a href=\"http://www.kijiji.com/state/s" + n + "\">State " + n + "</a></li>";
        getter.Fix("www.kijiji.com", "/state/s" + n,
                   kOk + "Please select a city below<a href=\"http://c" + n + ".kijiji.com/\">City " + n +
                       "</a></div>");
    }
    getter.Fix("www.kijiji.com", "/", page);
    ASSERT_EQ(Run().DownloadResult, kDownloadFinished);
    EXPECT_NE(observer.Log().find("United States (Found 100 states)\r\n"), std::string::npos);
    EXPECT_EQ(getter.CallsTo("www.kijiji.com", "/state/s100"), 1);
    EXPECT_EQ(getter.CallsTo("www.kijiji.com", "/state/s101"), 0);
    const std::string cities = File("KJcitylist.csv");
    EXPECT_NE(cities.find("\"United States\",\"State 100\",\"City 100\",\"http://c100.kijiji.com/\"\r\n"),
              std::string::npos);
    EXPECT_EQ(cities.find("City 101"), std::string::npos);
}

TEST_F(KijijiDownload, TheUnitedStatesLineIsCompletedOnlyAfterTheStateList)
{
    Run();
    std::vector<std::string> texts;
    for (const auto& call : observer.logCalls) {
        texts.push_back(call.text);
    }
    const auto open = std::find(texts.begin(), texts.end(), "United States");
    ASSERT_NE(open, texts.end());
    ASSERT_NE(open + 1, texts.end());
    EXPECT_EQ(*(open + 1), " (Found 2 states)\r\n");
    EXPECT_TRUE((observer.logCalls.begin() + (open + 1 - texts.begin()))->refreshNow);
}

} // namespace
} // namespace trawl

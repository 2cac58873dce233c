// Feeds as the sites have really written them: links on lines of their own, indented, and CDATA
// titles starting with a line break. Searched, saved, loaded and searched again, nothing may come in
// twice, and the deep scan must fetch every ad on its first try.

#include "HarvestFixture.h"
#include "harvest/AdPageText.h"
#include "results/Escaping.h"
#include "results/SearchFile.h"
#include "sitesim/AdPages.h"
#include "sitesim/SearchPages.h"

#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace trawl {
namespace {

using ::testing::Each;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr const char* kSf = "sfbay.craigslist.org";
constexpr const char* kFeedPath = "/search/bik?query=bike&format=rss";
constexpr int kAds = 12;

std::string AdPage(const std::string& path)
{
    const auto seed = static_cast<std::uint32_t>(std::hash<std::string>{}(path) % 100000);
    return sitesim::HttpOkResponse(sitesim::CraigslistAdPage({.seed = seed}));
}

struct RealFeedRoundTrip : test::HarvestFixture {
    std::vector<sitesim::ListedAd> ads = sitesim::InventAds(7, kAds, kSf, "bike");
    test::TempDir folder;
    std::string path = folder.File("bikes.trawl");

    void SetUp() override
    {
        test::HarvestFixture::SetUp();
        settings.MaxThreads = 2;
        settings.MaxThreads2 = 3;
        const std::string feed = sitesim::CraigslistSearchFeed(ads, {.cdata = true, .lineBroken = true});
        ASSERT_NE(feed.find("<link>\n\t  http://"), std::string::npos);
        http.Respond(kSf, kFeedPath, sitesim::HttpOkResponse(feed));
        http.fallback = [](const std::string&, const std::string& requested) { return AdPage(requested); };
    }

    std::string AdPathOf(int i) const { return ads[static_cast<std::size_t>(i)].link.substr(7 + std::strlen(kSf)); }
    std::string Uri(int record)
    {
        auto locked = store->Lock();
        return std::string(locked.View(record).URI);
    }
    void SaveAndLoad()
    {
        ASSERT_TRUE(SaveSearch(path, {"bikes", kSf, "bik", "bike", "", ""}, *store).ok());
        ASSERT_TRUE(LoadSearch(path, true, false, clock, *store, prompts).Found);
    }
    void RunDeepScan()
    {
        StartDeepScan();
        ASSERT_TRUE(deepScan->WaitFinished(std::chrono::seconds(20)));
    }
    // Every slot text any deep-scan worker showed.
    std::vector<std::string> ScanTexts()
    {
        std::vector<std::string> texts;
        for (int slot = 1; slot <= kMaxWorkerThreads; ++slot) {
            const auto state = view.SlotState(SlotKind::Scan, slot);
            texts.insert(texts.end(), state.texts.begin(), state.texts.end());
        }
        return texts;
    }
};

TEST_F(RealFeedRoundTrip, search_save_load_and_search_again_adds_nothing_twice_and_each_ad_is_fetched_once)
{
    RunSearch(kSf, "bik", "bike");
    ASSERT_EQ(store->Count(), kAds);
    for (int i = 0; i < kAds; ++i) {
        EXPECT_EQ(Uri(i + 1), ads[static_cast<std::size_t>(i)].link); // no line break, tab or space kept
        auto locked = store->Lock();
        EXPECT_EQ(locked.View(i + 1).Title, ads[static_cast<std::size_t>(i)].title);
    }

    SaveAndLoad();
    ASSERT_EQ(store->Count(), kAds);
    EXPECT_EQ(store->NewResultCount(), 0);
    RunSearch(kSf, "bik", "bike");
    EXPECT_EQ(store->Count(), kAds);
    EXPECT_EQ(store->NewResultCount(), 0);
    EXPECT_EQ(http.Calls(kSf, kFeedPath), 2);

    RunDeepScan();
    for (int i = 0; i < kAds; ++i) {
        EXPECT_EQ(http.Calls(kSf, AdPathOf(i)), 1) << AdPathOf(i);
        EXPECT_EQ(FullText(i + 1), ExtractAdText(kSf, AdPage(AdPathOf(i))));
    }
    EXPECT_THAT(ScanTexts(), Each(Not(testing::HasSubstr("Connect problem"))));
    EXPECT_THAT(prompts.Lines(), IsEmpty());

    // Saved and loaded once more, and searched again: still every ad once.
    SaveAndLoad();
    RunSearch(kSf, "bik", "bike");
    EXPECT_EQ(store->Count(), kAds);
    EXPECT_EQ(store->NewResultCount(), 0);
}

TEST_F(RealFeedRoundTrip, links_an_older_file_kept_with_line_breaks_are_found_and_fetched_and_bad_ones_fail_at_once)
{
    // Lines an older version wrote: the first ad's link with the feed's line breaks (they come back
    // as CR LF), and two links from which no request can be formed.
    const auto line = [](const std::string& uri, const std::string& text) {
        return "\"2024-03-14\",\"an old ad\",\"SF bay area\",\"bicycles\",\"" + EscapeField(uri) + "\",\"" + text +
               "\"\r\n";
    };
    test::WriteFile(path, "bikes\r\n" + std::string(kSf) + "\r\nbik\r\nbike\r\n\r\n\r\n" +
                              line("\n\t  " + ads[0].link + "\n ", "") + line("http://bad host.org/ad/1.html", "") +
                              line("http://\n\n", "") + line("http://" + std::string(kSf) + "/a\nb.html", ""));
    ASSERT_TRUE(LoadSearch(path, true, false, clock, *store, prompts).Found);
    ASSERT_EQ(store->Count(), 4);
    ASSERT_EQ(Uri(1), "\r\n\t  " + ads[0].link + "\r\n ");

    RunSearch(kSf, "bik", "bike");
    EXPECT_EQ(store->Count(), 4 + kAds - 1); // the first ad was there already

    RunDeepScan();
    EXPECT_EQ(http.Calls(kSf, AdPathOf(0)), 1);
    EXPECT_EQ(FullText(1), ExtractAdText(kSf, AdPage(AdPathOf(0))));
    // The bad ones: "Error" at once, their links kept, nothing asked for them, no countdown.
    for (int record = 2; record <= 4; ++record) {
        EXPECT_EQ(FullText(record), "Error") << record;
    }
    EXPECT_EQ(Uri(2), "http://bad host.org/ad/1.html");
    for (const test::HttpRequest& request : http.Requests()) {
        EXPECT_TRUE(request.path == kFeedPath || request.path.starts_with("/ad/7-")) << request.host << request.path;
    }
    EXPECT_THAT(ScanTexts(), Each(Not(testing::HasSubstr("Connect problem"))));
    // The scan went on past them: every ad the search added was fetched too.
    for (int i = 1; i < kAds; ++i) {
        EXPECT_EQ(http.Calls(kSf, AdPathOf(i)), 1) << AdPathOf(i);
    }
    EXPECT_THAT(prompts.Lines(), IsEmpty());
}

} // namespace
} // namespace trawl

#include "results/ResultStore.h"

#include "support/Doubles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <thread>

namespace trawl {
namespace {

using test::RecordingPrompts;
using test::RecordingStatusView;
using ::testing::ElementsAre;

ResultRecord Ad(std::string link, std::string title = "Bike", std::string fullText = "")
{
    return ResultRecord{"2024-03-01", std::move(title), "Vancouver", "bicycles", std::move(link), std::move(fullText), ""};
}

struct StoreFixture : ::testing::Test {
    RecordingStatusView view;
    RecordingPrompts prompts;
};

using ResultStoreAdd = StoreFixture;

TEST_F(ResultStoreAdd, appends_marks_new_and_tells_the_view)
{
    ResultStore store(5000, view, prompts);
    {
        auto locked = store.Lock();
        EXPECT_EQ(locked.AddResult(Ad("http://a.craigslist.org/1.html")), AddOutcome::Added);
        EXPECT_EQ(locked.AddResult(Ad("http://a.craigslist.org/2.html", "T", std::string(26, 'x'))), AddOutcome::Added);
        EXPECT_EQ(locked.AddResult(Ad("http://a.craigslist.org/3.html", "T", std::string(25, 'x'))), AddOutcome::Added);
        EXPECT_EQ(locked.View(2).NewMark, "Yes");
        EXPECT_EQ(locked.View(3).URI, "http://a.craigslist.org/3.html");
    }
    EXPECT_EQ(store.Count(), 3);
    EXPECT_EQ(store.NewResultCount(), 3);
    EXPECT_TRUE(store.UnsavedResults());
    EXPECT_EQ(view.TotalResults(), 3);
    EXPECT_EQ(view.NewResults(), 3);
    // Rows go in at the top in the order added: record 3 ends up first in the list.
    EXPECT_THAT(view.AddedRows(), ElementsAre(1, 2, 3));
    EXPECT_THAT(view.AddedCells(), ElementsAre("", "RSS", ""));
}

TEST_F(ResultStoreAdd, full_store_refuses_and_reports_the_count_with_separators)
{
    ResultStore store(25000, view, prompts);
    {
        auto locked = store.Lock();
        for (int i = 0; i < 25000; ++i) {
            ASSERT_EQ(locked.AddResult(Ad("http://x.craigslist.org/" + std::to_string(i))), AddOutcome::Added);
        }
    }
    EXPECT_EQ(store.AddIfNew("http://y.craigslist.org/new", Ad("http://y.craigslist.org/new")), AddOutcome::Full);
    EXPECT_EQ(store.Count(), 25000);
    EXPECT_THAT(prompts.Lines(),
                ElementsAre("Error: The results list has overflowed (25,000 elements). Please increase max results "
                            "in the settings."));
    EXPECT_EQ(prompts.Shown()[0].kind, PromptKind::Error);
}

TEST_F(ResultStoreAdd, duplicate_when_a_stored_link_contains_the_new_one)
{
    ResultStore store(5000, view, prompts);
    ASSERT_EQ(store.AddIfNew("http://a.craigslist.org/bik/123.html", Ad("http://a.craigslist.org/bik/123.html?ref=rss")),
              AddOutcome::Added);
    // The stored link is the new link followed by a query string: a duplicate.
    EXPECT_EQ(store.AddIfNew("http://a.craigslist.org/bik/123.html", Ad("http://a.craigslist.org/bik/123.html")),
              AddOutcome::Duplicate);
    // A new link that merely begins with a stored link is not.
    EXPECT_EQ(store.AddIfNew("http://a.craigslist.org/bik/123.html?ref=rss&x=1",
                             Ad("http://a.craigslist.org/bik/123.html?ref=rss&x=1")),
              AddOutcome::Added);
    EXPECT_EQ(store.Count(), 2);
}

using ResultStoreFind = StoreFixture;

// The plain rule the index must reproduce exactly.
int PlainFind(const std::vector<std::string>& links, std::string_view text)
{
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (links[i].find(text) != std::string::npos) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

TEST_F(ResultStoreFind, agrees_with_a_plain_scan_on_substrings_prefixes_and_suffixes)
{
    std::mt19937 random(20241208);
    const char* cities[] = {"vancouver", "toronto", "sfbay", "x", "montreal"};
    const char* sections[] = {"bik", "sss", "fuo", "cto"};
    std::vector<std::string> links;
    auto randomLink = [&] {
        std::string link = "http://" + std::string(cities[random() % 5]) + ".craigslist.org/" + sections[random() % 4] +
                           "/" + std::to_string(random() % 100000) + ".html";
        if (random() % 4 == 0) {
            link += "?q=" + std::string(1 + random() % 12, static_cast<char>('a' + random() % 3));
        }
        if (random() % 10 == 0) {
            link += std::string(1, static_cast<char>(0x80 + random() % 128)); // high bytes
        }
        return link;
    };

    ResultStore store(20000, view, prompts);
    {
        auto locked = store.Lock();
        for (int i = 0; i < 3000; ++i) {
            links.push_back(randomLink());
            ASSERT_EQ(locked.AddResult(Ad(links.back())), AddOutcome::Added);
        }
    }

    auto locked = store.Lock();
    int hits = 0;
    for (int q = 0; q < 4000; ++q) {
        std::string query;
        const auto& source = links[random() % links.size()];
        switch (q % 6) {
        case 0: query = source; break;                                        // exact
        case 1: query = source.substr(0, random() % (source.size() + 1)); break; // prefix
        case 2: query = source.substr(random() % source.size()); break;       // suffix
        case 3: {                                                               // inner piece
            const auto from = random() % source.size();
            query = source.substr(from, random() % (source.size() - from + 1));
            break;
        }
        case 4: query = source + "x"; break;                                    // longer than any link
        default: query = randomLink(); break;                                   // mostly misses
        }
        const int expected = PlainFind(links, query);
        hits += expected != 0;
        ASSERT_EQ(locked.FindResultByLink(query), expected) << "query: " << query;
    }
    EXPECT_GT(hits, 1000); // the sample really exercises hits, not only misses
    EXPECT_EQ(locked.FindResultByLink(""), 1);
}

TEST_F(ResultStoreFind, follows_changed_links_and_renumbering)
{
    ResultStore store(5000, view, prompts);
    auto locked = store.Lock();
    locked.AddResult(Ad("http://a.craigslist.org/bik/1111111111.html"));
    locked.AddResult(Ad(""));
    locked.AddResult(Ad("http://a.craigslist.org/bik/3333333333.html"));
    locked.Set(2, Field::URI, "Error");
    EXPECT_EQ(locked.FindResultByLink("Error"), 2);
    locked.Set(1, Field::URI, "http://b.kijiji.ca/v-bike/2222222222");
    EXPECT_EQ(locked.FindResultByLink("http://a.craigslist.org/bik/1111111111.html"), 0);
    EXPECT_EQ(locked.FindResultByLink("kijiji.ca/v-bike/2222222222"), 1);

    locked.Reorder({3, 1, 2});
    EXPECT_EQ(locked.FindResultByLink("http://a.craigslist.org/bik/3333333333.html"), 1);
    EXPECT_EQ(locked.FindResultByLink("kijiji.ca/v-bike/2222222222"), 2);
    locked.Remove({1});
    EXPECT_EQ(locked.FindResultByLink("http://a.craigslist.org/bik/3333333333.html"), 0);
    EXPECT_EQ(locked.FindResultByLink("kijiji.ca/v-bike/2222222222"), 1);
}

using ResultStoreThreads = StoreFixture;

TEST_F(ResultStoreThreads, twelve_workers_adding_the_same_links_add_each_once)
{
    ResultStore store(50000, view, prompts);
    constexpr int kLinks = 2000;
    std::vector<std::thread> workers;
    std::atomic<int> added{0};
    for (int w = 0; w < 12; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < kLinks; ++i) {
                // Every worker offers every link, each in its own order.
                const int k = (i * 7 + w * 131) % kLinks;
                const std::string link = "http://c" + std::to_string(k % 17) + ".craigslist.org/bik/" +
                                         std::to_string(1000000000 + k) + ".html";
                if (store.AddIfNew(link, Ad(link)) == AddOutcome::Added) {
                    ++added;
                }
                if (i % 64 == 0) {
                    auto locked = store.Lock();
                    (void)locked.View(locked.Count() > 0 ? locked.Count() : 1);
                }
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(added.load(), kLinks);
    EXPECT_EQ(store.Count(), kLinks);
    std::set<std::string> seen;
    store.ForEach([&](int, const RecordView& record) { seen.emplace(record.URI); });
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kLinks));
    EXPECT_EQ(view.AddedRows().size(), static_cast<std::size_t>(kLinks));
}

using ResultStoreBulk = StoreFixture;

TEST_F(ResultStoreBulk, remove_takes_exactly_the_chosen_records_even_with_empty_dates)
{
    ResultStore store(5000, view, prompts);
    auto locked = store.Lock();
    for (int i = 1; i <= 5; ++i) {
        ResultRecord record = Ad("http://a.craigslist.org/" + std::to_string(i));
        if (i == 4) {
            record.Date.clear(); // a feed item without a date must survive a delete of others
        }
        locked.AddResult(record);
    }
    locked.Remove({2, 5});
    ASSERT_EQ(locked.Count(), 3);
    EXPECT_EQ(locked.View(1).URI, "http://a.craigslist.org/1");
    EXPECT_EQ(locked.View(2).URI, "http://a.craigslist.org/3");
    EXPECT_EQ(locked.View(3).URI, "http://a.craigslist.org/4");
}

TEST_F(ResultStoreBulk, clear_reallocates_keeps_counters_and_grows_the_selection)
{
    ResultStore store(5000, view, prompts);
    store.AddIfNew("http://a/1", Ad("http://a/1"));
    store.Selection()[0] = 1;
    store.Lock().Clear(8000);
    EXPECT_EQ(store.Count(), 0);
    EXPECT_EQ(store.Capacity(), 8000);
    EXPECT_EQ(store.NewResultCount(), 1);
    EXPECT_TRUE(store.UnsavedResults());
    EXPECT_GE(store.Selection().size(), 8000u);
    EXPECT_EQ(store.Selection()[0], 1);
    // Searching again continues the new-result count.
    store.AddIfNew("http://a/2", Ad("http://a/2"));
    EXPECT_EQ(store.NewResultCount(), 2);
    EXPECT_EQ(view.NewResults(), 2);
}

// Loaded records live in the arena, added and edited ones on their own; every bulk step below mixes
// both kinds, and the store is checked against a plain list after each.
TEST_F(ResultStoreBulk, loaded_and_added_records_mix_through_edits_removes_and_reloads)
{
    ResultStore store(20000, view, prompts);
    std::vector<std::string> model; // the expected link and text of each record, "link|text"
    const auto expectModel = [&](const char* step) {
        auto locked = store.Lock();
        ASSERT_EQ(locked.Count(), static_cast<int>(model.size())) << step;
        for (int n = 1; n <= locked.Count(); ++n) {
            const RecordView v = locked.View(n);
            ASSERT_EQ(std::string(v.URI) + "|" + std::string(v.FullText), model[static_cast<std::size_t>(n - 1)])
                << step << ", record " << n;
        }
    };
    const auto load = [&](int count, const std::string& tag) {
        auto locked = store.Lock();
        locked.ResetForLoad();
        model.clear();
        for (int i = 1; i <= count; ++i) {
            const std::string link = "http://a.craigslist.org/" + tag + std::to_string(i) + ".html";
            const std::string text(static_cast<std::size_t>(i % 700), static_cast<char>('a' + i % 26));
            ASSERT_TRUE(locked.AppendLoaded(Ad(link, "Bike", text)));
            model.push_back(link + "|" + text);
        }
        locked.FinishLoad();
    };

    load(15000, "x");
    expectModel("loaded");
    const std::size_t loadedBytes = store.Lock().ArenaBytes();
    EXPECT_GT(loadedBytes, std::size_t{15000} * 350);

    {
        auto locked = store.Lock();
        for (int n = 1; n <= 15000; n += 3) {
            locked.Set(n, Field::FullText, "scanned " + std::to_string(n));
            model[static_cast<std::size_t>(n - 1)] = std::string(locked.View(n).URI) + "|scanned " + std::to_string(n);
        }
        locked.AddResult(Ad("http://a.craigslist.org/added.html", "Bike", "added"));
        model.push_back("http://a.craigslist.org/added.html|added");
        std::vector<int> gone;
        for (int n = 2; n <= 15001; n += 2) {
            gone.push_back(n);
        }
        locked.Remove(gone);
        std::vector<std::string> kept;
        for (std::size_t k = 0; k < model.size(); k += 2) {
            kept.push_back(model[k]);
        }
        model = kept;
    }
    expectModel("edited and removed");
    EXPECT_EQ(store.Lock().FindResultByLink("craigslist.org/x5.html"), 3);

    // A smaller search replacing it reuses the memory and gives back what it did not need.
    load(500, "y");
    expectModel("reloaded");
    EXPECT_LT(store.Lock().ArenaBytes(), loadedBytes / 4);
    EXPECT_EQ(store.Lock().FindResultByLink("x5.html"), 0);
    EXPECT_EQ(store.Lock().FindResultByLink("/y5.html"), 5);

    store.Lock().Clear(20000);
    EXPECT_EQ(store.Lock().ArenaBytes(), 0u);
    model.clear();
    expectModel("cleared");
}

TEST(FullTextColumn, stored_and_added_rules)
{
    EXPECT_EQ(StoredFullTextCell(std::string(50, 'a')), "");
    EXPECT_EQ(StoredFullTextCell(std::string(51, 'a')), "Yes");
    EXPECT_EQ(StoredFullTextCell("<!--RSS-->" + std::string(41, 'a')), "RSS");
    EXPECT_EQ(StoredFullTextCell("<!--RSS-->" + std::string(40, 'a')), "");
    EXPECT_EQ(AddedFullTextCell(std::string(25, 'a')), "");
    EXPECT_EQ(AddedFullTextCell(std::string(26, 'a')), "RSS");
}

} // namespace
} // namespace trawl

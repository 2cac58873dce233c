#include "harvest/RecordRule.h"

#include "app/Settings.h"
#include "results/ResultStore.h"
#include "support/Doubles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace trawl {
namespace {

using ::testing::ElementsAre;

struct RecordRule : ::testing::Test {
    test::RecordingStatusView view;
    test::RecordingPrompts prompts;
    Settings settings;
};

TEST_F(RecordRule, trims_fields_and_keeps_long_descriptions_behind_the_feed_mark)
{
    ResultStore store(5000, view, prompts);
    const std::vector<FeedItem> items = {
        {"  Blue bike  ", " http://a.craigslist.org/1.html ", " 2024-03-01 ", "  twenty-six characters ok  "},
        {"Lamp", "http://a.craigslist.org/2.html", "2024-03-02", std::string(25, 'd')},
    };
    int added = 0;
    const ItemsAdded result = AddFeedItems(store, items, "Vancouver", "bikes", settings, [&] { ++added; });
    EXPECT_EQ(result.added, 2);
    EXPECT_EQ(added, 2);
    auto locked = store.Lock();
    const RecordView first = locked.View(1);
    EXPECT_EQ(first.Title, "Blue bike");
    EXPECT_EQ(first.URI, "http://a.craigslist.org/1.html");
    EXPECT_EQ(first.Date, "2024-03-01");
    EXPECT_EQ(first.City, "Vancouver");
    EXPECT_EQ(first.Section, "bikes");
    // Longer than 25 counting its spaces; stored trimmed behind the mark.
    EXPECT_EQ(first.FullText, "<!--RSS-->twenty-six characters ok");
    EXPECT_EQ(locked.View(2).FullText, ""); // exactly 25
    EXPECT_EQ(first.NewMark, "Yes");
}

TEST_F(RecordRule, description_is_dropped_when_feed_text_is_off)
{
    settings.RSSdescription = 0;
    ResultRecord record;
    ASSERT_TRUE(RecordOfItem({"t", "l", "d", std::string(40, 'x')}, "c", "s", settings, record));
    EXPECT_EQ(record.FullText, "");
    EXPECT_FALSE(RecordOfItem({"   ", "l", "d", ""}, "c", "s", settings, record));
    EXPECT_FALSE(RecordOfItem({"t", "  ", "d", ""}, "c", "s", settings, record));
}

TEST_F(RecordRule, duplicate_test_uses_the_trimmed_link_as_a_substring)
{
    ResultStore store(5000, view, prompts);
    {
        auto locked = store.Lock();
        locked.AppendLoaded({"2024-01-01", "old", "c", "s", "http://a.craigslist.org/1.html?x=1", "", ""});
        // From an older file that kept a feed's line breaks around the link.
        locked.AppendLoaded({"2024-01-01", "older", "c", "s", "\r\n\thttp://a.craigslist.org/9.html\r\n", "", ""});
    }
    const std::vector<FeedItem> items = {
        {"same ad", "http://a.craigslist.org/1.html", "d", ""},          // part of a stored link: duplicate
        {"longer", "http://a.craigslist.org/1.html?x=1&y", "d", ""},     // merely contains it: new
        {"padded", " http://a.craigslist.org/1.html?x=1 ", "d", ""},     // spaces around a stored link
        {"wrapped", "\n\t http://a.craigslist.org/1.html\r\n", "d", ""}, // a feed's line breaks
        {"older", "\nhttp://a.craigslist.org/9.html\n", "d", ""},        // found inside the old link
        {"repeat", "http://a.craigslist.org/1.html?x=1&y\n", "d", ""},   // added a moment ago
    };
    const ItemsAdded result = AddFeedItems(store, items, "c", "s", settings, {});
    EXPECT_EQ(result.added, 1);
    auto locked = store.Lock();
    ASSERT_EQ(locked.Count(), 3);
    EXPECT_EQ(locked.View(3).Title, "longer");
    EXPECT_EQ(locked.View(3).URI, "http://a.craigslist.org/1.html?x=1&y");
}

TEST_F(RecordRule, tabs_and_line_breaks_around_date_title_and_link_are_trimmed_but_not_inside)
{
    ResultRecord record;
    ASSERT_TRUE(
        RecordOfItem({"\n\t Blue\tbike \r\n", "\r\n\thttp://a.craigslist.org/1.html\r\n ", "\n2024-03-01\t", ""}, "c",
                     "s", settings, record));
    EXPECT_EQ(record.Title, "Blue\tbike");
    EXPECT_EQ(record.URI, "http://a.craigslist.org/1.html");
    EXPECT_EQ(record.Date, "2024-03-01");
    // Nothing but line breaks is as empty as nothing at all.
    EXPECT_FALSE(RecordOfItem({"t", "\r\n\t \n", "d", ""}, "c", "s", settings, record));
    EXPECT_FALSE(RecordOfItem({"\n\n", "l", "d", ""}, "c", "s", settings, record));
}

TEST_F(RecordRule, a_full_store_ends_the_items_with_one_message)
{
    ResultStore store(2, view, prompts);
    std::vector<FeedItem> items;
    for (int i = 0; i < 5; ++i) {
        items.push_back({"t", "http://a.craigslist.org/" + std::to_string(i), "d", ""});
    }
    const ItemsAdded result = AddFeedItems(store, items, "c", "s", settings, {});
    EXPECT_EQ(result.added, 2);
    EXPECT_TRUE(result.storeFull);
    EXPECT_THAT(prompts.Lines(),
                ElementsAre("Error: The results list has overflowed (2 elements). Please increase max results in the "
                            "settings."));
}

} // namespace
} // namespace trawl

#include "results/Sort.h"

#include "app/RunFlags.h"
#include "app/TextUtil.h"
#include "results/ResultStore.h"
#include "support/Doubles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

namespace trawl {
namespace {

using test::RecordingPrompts;
using test::RecordingStatusView;
using ::testing::ElementsAre;

// The list's quicksort written the plain way: whole records swapped in a 1-based table.
std::vector<ResultRecord> TextbookSort(std::vector<ResultRecord> table, Field field)
{
    const bool descending = field == Field::Date;
    auto keyOf = [&](const ResultRecord& r) {
        const RecordView v{r.Date, r.Title, r.City, r.Section, r.URI, r.FullText, r.NewMark};
        return descending ? std::string(v.Get(field)) : ToLowerAscii(v.Get(field));
    };
    auto before = [&](const std::string& a, const std::string& p) { return descending ? a > p : a < p; };
    auto after = [&](const std::string& a, const std::string& p) { return descending ? a < p : a > p; };
    table.insert(table.begin(), ResultRecord{}); // slot 0 unused
    std::vector<std::pair<int, int>> stack;
    int lo = 1, hi = static_cast<int>(table.size()) - 1;
    if (hi < 2) {
        table.erase(table.begin());
        return table;
    }
    while (true) {
        const std::string pivot = keyOf(table[lo / 2 + hi / 2]);
        int i = lo, j = hi;
        do {
            while (before(keyOf(table[i]), pivot)) ++i;
            while (after(keyOf(table[j]), pivot)) --j;
            if (i <= j) {
                if (i < j) std::swap(table[i], table[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (i < hi) stack.emplace_back(i, hi);
        if (lo < j) {
            hi = j;
            continue;
        }
        if (stack.empty()) break;
        std::tie(lo, hi) = stack.back();
        stack.pop_back();
    }
    table.erase(table.begin());
    return table;
}

struct SortFixture : ::testing::Test {
    RecordingStatusView view;
    RecordingPrompts prompts;
    RunFlags flags;
    ResultStore store{5000, view, prompts};

    void Add(std::string date, std::string title, std::string city = "C", std::string section = "S")
    {
        static int serial = 0;
        ResultRecord r{std::move(date), std::move(title), std::move(city), std::move(section),
                       "http://x.craigslist.org/" + std::to_string(++serial), "", ""};
        store.Lock().AppendLoaded(r);
    }
    std::vector<std::string> Column(Field field)
    {
        std::vector<std::string> out;
        store.ForEach([&](int, const RecordView& v) { out.emplace_back(v.Get(field)); });
        return out;
    }
    std::vector<ResultRecord> Records()
    {
        std::vector<ResultRecord> out;
        store.ForEach([&](int, const RecordView& v) { out.push_back(v.Copy()); });
        return out;
    }
};

using SortResultsTest = SortFixture;

TEST_F(SortResultsTest, date_is_newest_first_and_stable_on_a_second_click)
{
    Add("2024-01-05", "a");
    Add("2024-03-01", "b");
    Add("2023-12-31", "c");
    ASSERT_TRUE(SortResults(store, SortColumn::Date, flags, prompts));
    EXPECT_THAT(Column(Field::Date), ElementsAre("2024-03-01", "2024-01-05", "2023-12-31"));
    ASSERT_TRUE(SortResults(store, SortColumn::Date, flags, prompts));
    EXPECT_THAT(Column(Field::Date), ElementsAre("2024-03-01", "2024-01-05", "2023-12-31"));
    EXPECT_EQ(view.RefillCount(), 2);
}

TEST_F(SortResultsTest, title_ignores_case_and_records_move_whole)
{
    Add("2024-01-01", "cherry", "C3");
    Add("2024-01-02", "Banana", "C2");
    Add("2024-01-03", "apple", "C1");
    ASSERT_TRUE(SortResults(store, SortColumn::Title, flags, prompts));
    EXPECT_THAT(Column(Field::Title), ElementsAre("apple", "Banana", "cherry"));
    EXPECT_THAT(Column(Field::City), ElementsAre("C1", "C2", "C3"));
    EXPECT_THAT(Column(Field::Date), ElementsAre("2024-01-03", "2024-01-02", "2024-01-01"));
    // The duplicate test follows the records to their new numbers.
    const std::string firstLink = Column(Field::URI)[0];
    EXPECT_EQ(store.Lock().FindResultByLink(firstLink), 1);
}

TEST_F(SortResultsTest, refuses_while_a_worker_runs_and_ignores_full_text_or_tiny_stores)
{
    Add("2024-01-01", "b");
    EXPECT_FALSE(SortResults(store, SortColumn::Title, flags, prompts)); // one record
    Add("2024-01-02", "a");
    EXPECT_FALSE(SortResults(store, SortColumn::FullText, flags, prompts));
    flags.ScanRunning = 1;
    EXPECT_FALSE(SortResults(store, SortColumn::Title, flags, prompts));
    EXPECT_THAT(prompts.Lines(), ElementsAre("Error: A search is currently active. You need to stop the current scan "
                                             "before sorting the results."));
    EXPECT_THAT(Column(Field::Title), ElementsAre("b", "a"));
    EXPECT_EQ(view.RefillCount(), 0);
}

TEST_F(SortResultsTest, gives_exactly_the_order_of_the_textbook_algorithm)
{
    std::mt19937 random(7);
    const char* words[] = {"Red", "red", "bike", "Bike ", "", "zebra", "\xE9t\xE9", "a", "A", "ab"};
    for (int i = 0; i < 3000; ++i) {
        const int y = 2020 + static_cast<int>(random() % 5);
        Add(std::to_string(y) + "-0" + std::to_string(1 + random() % 9) + "-1" + std::to_string(random() % 10),
            std::string(words[random() % 10]) + words[random() % 10], words[random() % 4],
            std::string(1, static_cast<char>('a' + random() % 16)));
    }
    for (Field field : {Field::Date, Field::Title, Field::City, Field::Section}) {
        const auto expected = TextbookSort(Records(), field);
        ASSERT_TRUE(SortResults(store, static_cast<SortColumn>(static_cast<int>(field)), flags, prompts));
        ASSERT_EQ(Records(), expected) << "column " << static_cast<int>(field);
    }
}

TEST_F(SortResultsTest, survives_equal_keys_and_letters_in_dates)
{
    for (int i = 0; i < 2000; ++i) {
        Add(i % 3 ? "2024-01-01" : "Expired", "same");
    }
    EXPECT_TRUE(SortResults(store, SortColumn::Title, flags, prompts));
    EXPECT_TRUE(SortResults(store, SortColumn::Date, flags, prompts));
    EXPECT_EQ(store.Count(), 2000);
    EXPECT_EQ(Column(Field::Date).front(), "Expired"); // byte-wise greatest first
}

TEST(QuicksortOrderTest, handles_empty_single_and_all_equal_inputs)
{
    EXPECT_TRUE(QuicksortOrder({}, false).empty());
    EXPECT_THAT(QuicksortOrder({"x"}, false), ElementsAre(0));
    std::vector<std::string_view> same(100000, "k");
    const auto order = QuicksortOrder(same, false);
    std::vector<int> sorted(order);
    std::sort(sorted.begin(), sorted.end());
    for (int k = 0; k < 100000; ++k) {
        ASSERT_EQ(sorted[static_cast<std::size_t>(k)], k); // a permutation
    }
}

} // namespace
} // namespace trawl

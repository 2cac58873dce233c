// The quick filter's fast paths against the plain rule: the 16-at-a-time case-blind search, and the
// memo that narrows one keystroke's answer from the previous one while the store stays the same.

#include "app/TextUtil.h"
#include "results/GramIndex.h"
#include "results/QuickFilter.h"
#include "results/ResultStore.h"
#include "support/Doubles.h"

#include <gtest/gtest.h>
#include <random>

namespace trawl {
namespace {

bool PlainContainsFolded(std::string_view haystack, std::string_view lowerNeedle)
{
    return ToLowerAscii(haystack).find(lowerNeedle) != std::string::npos;
}

std::string RandomText(std::mt19937& random, const std::string& alphabet, std::size_t maxLength)
{
    std::string text(random() % (maxLength + 1), ' ');
    for (char& c : text) {
        c = alphabet[random() % alphabet.size()];
    }
    return text;
}

// Bytes whose bit 5 makes them look like another byte, letters of both cases, high bytes and NUL.
const std::string kAlphabet = std::string("aAbB@`[{ \0\x80\xa0\xc1\xe1-,\"", 17);

TEST(ContainsFoldedDiff, agrees_with_lower_casing_on_random_and_boundary_texts)
{
    std::mt19937 random(4242);
    for (int round = 0; round < 40000; ++round) {
        const std::string haystack = RandomText(random, kAlphabet, 70); // across the 16-byte steps
        std::string needle;
        if (round % 3 == 0 && !haystack.empty()) {
            const std::size_t from = random() % haystack.size();
            needle = ToLowerAscii(haystack.substr(from, 1 + random() % 20)); // present, often at the end
        } else {
            needle = ToLowerAscii(RandomText(random, kAlphabet, 5));
        }
        ASSERT_EQ(ContainsFolded(haystack, needle), PlainContainsFolded(haystack, needle))
            << "haystack [" << haystack << "] needle [" << needle << "]";
        // The first place at or after a start, the start anywhere up to one past the end.
        const std::size_t start = random() % (haystack.size() + 2);
        ASSERT_EQ(FindFolded(haystack, needle, start), ToLowerAscii(haystack).find(needle, start))
            << "haystack [" << haystack << "] needle [" << needle << "] from " << start;
    }
}

TEST(ContainsFoldedDiff, finds_a_needle_at_every_offset_and_not_one_byte_short)
{
    for (std::size_t length = 1; length <= 40; ++length) {
        const std::string needle = ToLowerAscii(std::string(length, 'Q').replace(0, 1, "z"));
        for (std::size_t at = 0; at < 50; ++at) {
            std::string haystack(at, 'q');
            haystack += "Z" + std::string(length - 1, 'q');
            haystack += std::string(at % 17, 'x');
            ASSERT_EQ(ContainsFolded(haystack, needle), true) << length << " at " << at;
            haystack.erase(at + length - 1, 1); // one byte of the occurrence gone
            ASSERT_EQ(ContainsFolded(haystack, needle), PlainContainsFolded(haystack, needle)) << length << " " << at;
        }
    }
}

struct MemoFixture : ::testing::Test {
    test::RecordingStatusView view;
    test::RecordingPrompts prompts;
    ResultStore store{10000, view, prompts};
    std::mt19937 random{2718};
    const std::string words = "Bike bike VINTAGE vintage red Red blue a b ab \xe9t\xe9";
    int serial = 0;

    std::string Words(int count)
    {
        const auto parts = SplitPlain(ReplaceAll(words, " ", ","));
        std::string text;
        for (int k = 0; k < count; ++k) {
            text += parts[random() % parts.size()];
            text += random() % 4 == 0 ? "" : " ";
        }
        return text;
    }
    void Append(int count)
    {
        auto locked = store.Lock();
        for (int k = 0; k < count; ++k) {
            locked.AppendLoaded({"2024-01-01", Words(2), "C", "S", "l" + std::to_string(++serial), Words(6), ""});
        }
    }
};

TEST_F(MemoFixture, typing_deleting_and_changes_between_keystrokes_give_the_plain_answers)
{
    Append(600);
    const std::vector<std::string> queries = {"bike vintage", "-red bike", "\"red bi\"ke", "ab -b", "vin,tage -a"};
    QuickFilterMemo memo;
    int narrowedTyping = 0;
    for (int round = 0; round < 60; ++round) {
        const std::string& query = queries[random() % queries.size()];
        // Type it, then delete back a few characters, as a user does.
        std::vector<std::string> typed;
        for (std::size_t n = 0; n <= query.size(); ++n) {
            typed.push_back(query.substr(0, n));
        }
        for (std::size_t n = query.size(); n-- > query.size() / 2;) {
            typed.push_back(query.substr(0, n));
        }
        for (const std::string& filter : typed) {
            switch (random() % 12) { // now and then the store changes between two keystrokes
            case 0:
                Append(3);
                break;
            case 1:
                store.Lock().Set(1 + static_cast<int>(random() % store.Count()), Field::FullText, Words(3));
                break;
            case 2:
                store.Lock().Set(1 + static_cast<int>(random() % store.Count()), Field::Title, "BIKE vintage");
                break;
            case 3: {
                std::vector<int> order(static_cast<std::size_t>(store.Count()));
                for (std::size_t k = 0; k < order.size(); ++k) {
                    order[k] = static_cast<int>(order.size() - k);
                }
                store.Lock().Reorder(order);
                break;
            }
            case 4:
                store.Lock().Remove({1 + static_cast<int>(random() % store.Count())});
                break;
            default:
                ++narrowedTyping;
                break;
            }
            const QuickFilterResult fast = ApplyQuickFilter(store, filter, memo);
            const QuickFilterResult plain = ApplyQuickFilter(store, filter);
            ASSERT_EQ(fast.records, plain.records) << "filter [" << filter << "] round " << round;
            ASSERT_EQ(fast.count, plain.count);
        }
    }
    EXPECT_GT(narrowedTyping, 500); // most keystrokes found the store unchanged
}

// Shares of the records on several threads, joined in order, give the one-thread answers; a run
// cancelled before or on its way says so and leaves the memo as it was.
TEST_F(MemoFixture, threaded_runs_give_the_plain_answers_and_a_cancelled_one_changes_nothing)
{
    Append(3000); // more than two batches of the shares, so the work is really split
    {
        auto locked = store.Lock();
        for (int k = 0; k < 6000; ++k) {
            locked.AppendLoaded({"2024-01-01", Words(2), "C", "S", "m" + std::to_string(k), Words(4), ""});
        }
    }
    QuickFilterMemo memo;
    for (const int threads : {2, 3}) {
        for (const std::string filter : {"b", "bi", "bike", "bike v", "bike vintage", "bike -red", ""}) {
            const QuickFilterResult fast = ApplyQuickFilter(store, filter, memo, QuickFilterRun{threads, nullptr});
            const QuickFilterResult plain = ApplyQuickFilter(store, filter);
            ASSERT_FALSE(fast.cancelled);
            ASSERT_EQ(fast.records, plain.records) << "filter [" << filter << "] on " << threads << " threads";
        }
    }
    ApplyQuickFilter(store, "bike", memo, QuickFilterRun{2, nullptr});
    const std::atomic<int> cancel{1};
    const QuickFilterResult stopped = ApplyQuickFilter(store, "vintage", memo, QuickFilterRun{2, &cancel});
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_TRUE(stopped.records.empty());
    // The memo still holds "bike": narrowing it gives the plain answer.
    EXPECT_EQ(ApplyQuickFilter(store, "bike v", memo, QuickFilterRun{2, nullptr}).records,
              ApplyQuickFilter(store, "bike v").records);
}

// The index of the texts, built a step at a time between keystrokes, covering part of the records or
// gone stale, never changes an answer: every keystroke of typed, deleted and mixed filters (short
// terms the index answers alone, longer ones it only narrows, exclusions, quotes, bytes outside
// a-z 0-9, terms across the title and text seam) gives the plain answer, on one thread and two. So
// do the places of the newest term between keys, found while answering or in the pause after, when
// its first place is not where the longer term is (typing on searches from there).
TEST_F(MemoFixture, an_index_of_the_texts_at_any_stage_gives_the_plain_answers)
{
    Append(2000);
    {
        auto locked = store.Lock(); // a term across the seam, a text of one byte, an empty title
        locked.AppendLoaded({"2024-01-01", "red bi", "C", "S", "seam", "KE vintage", ""});
        locked.AppendLoaded({"2024-01-01", "", "C", "S", "lone", "b", ""});
        locked.AppendLoaded({"2024-01-01", "", "C", "S", "empty", "", ""});
        for (int k = 0; k < 30; ++k) { // the shorter term first elsewhere, or only there
            locked.AppendLoaded(
                {"2024-01-01", "Bib vin", "C", "S", "bib" + std::to_string(k), "moving BIKE vintage", ""});
            locked.AppendLoaded({"2024-01-01", "bi", "C", "S", "bi" + std::to_string(k), "b vin bik ke", ""});
        }
    }
    const std::vector<std::string> queries = {"bike vintage",
                                              "-red bike",
                                              "\"red bi\"ke",
                                              "ab -b",
                                              "vin,tage -a",
                                              "b -bi",
                                              "-e\xe9",
                                              "\xe9t\xe9 blue",
                                              "-",
                                              "ke v",
                                              "9",
                                              "a b",
                                              "bib bike vintage",
                                              "moving"};
    GramIndex index;
    QuickFilterMemo memo;
    int indexedAnswers = 0;
    for (int round = 0; round < 40; ++round) {
        const std::string& query = queries[random() % queries.size()];
        for (std::size_t n = 0; n <= query.size(); ++n) {
            switch (random() % 10) {
            case 0:
                Append(70); // past the index's last row
                break;
            case 1:
                store.Lock().Set(1 + static_cast<int>(random() % store.Count()), Field::FullText, Words(3));
                break;
            case 2:
                store.Lock().Remove({1 + static_cast<int>(random() % store.Count())});
                break;
            default:
                break;
            }
            index.Extend(store, 1 + static_cast<int>(random() % 20), 1 + round % 2, nullptr);
            if (index.Records() > 0 && index.Generation() == store.ReadLock().Generation()) {
                ++indexedAnswers;
            }
            const std::string filter = query.substr(0, n);
            const QuickFilterRun run{1 + round % 2, nullptr, &index, nullptr};
            if (random() % 2 == 0) {
                PrepareForNextKey(store, memo, run); // the user paused after the last key
            }
            const QuickFilterResult fast = ApplyQuickFilter(store, filter, memo, run);
            const QuickFilterResult plain = ApplyQuickFilter(store, filter);
            ASSERT_EQ(fast.records, plain.records) << "filter [" << filter << "] round " << round;
            ASSERT_EQ(fast.count, plain.count);
        }
    }
    EXPECT_GT(indexedAnswers, 200);
}

// The pause after an answer works for its newest term when the next key cannot be answered from the
// index's bits alone (a term of two bytes or more that must occur); a cancelled pause leaves the work
// to do and the answers plain, a whole one answers typing on from what it learnt.
TEST_F(MemoFixture, the_pause_after_an_answer_prepares_the_newest_term_and_a_cancel_keeps_the_answers_plain)
{
    Append(700);
    GramIndex index;
    while (index.Extend(store, 100, 2, nullptr) != GramIndex::Step::Whole) {
    }
    QuickFilterMemo memo;
    const QuickFilterRun run{2, nullptr, &index, nullptr};
    const std::atomic<int> raised{1};
    const auto typed = [&](const std::string& filter) {
        const QuickFilterResult fast = ApplyQuickFilter(store, filter, memo, run);
        EXPECT_EQ(fast.records, ApplyQuickFilter(store, filter).records) << filter;
    };
    typed("b");
    EXPECT_FALSE(memo.Unprepared()); // "bi" comes from the bits
    typed("bi");
    EXPECT_TRUE(memo.Unprepared());
    EXPECT_FALSE(PrepareForNextKey(store, memo, QuickFilterRun{2, &raised, &index, nullptr}));
    EXPECT_TRUE(memo.Unprepared());
    typed("bik");
    EXPECT_TRUE(PrepareForNextKey(store, memo, run));
    EXPECT_FALSE(memo.Unprepared());
    typed("bike");
    typed("bike red,b");
    EXPECT_FALSE(memo.Unprepared());
    typed("bike -re");
    EXPECT_FALSE(memo.Unprepared()); // an exclusion is not placed
    typed("bike vi");
    EXPECT_TRUE(memo.Unprepared());
    memo.Forget();
    EXPECT_FALSE(memo.Unprepared());
}

// Short letter and digit terms are the index's own answer, others only candidates; a raised cancel
// flag or a change of the store during a step keeps the rows built before it, and a changed store
// empties the index at its next step.
TEST_F(MemoFixture, the_index_answers_short_terms_itself_and_keeps_its_rows_through_cancels)
{
    Append(64 * 3 + 10);
    GramIndex index;
    EXPECT_EQ(index.Extend(store, 2, 2, nullptr), GramIndex::Step::Grown);
    EXPECT_EQ(index.Records(), 128);
    const std::atomic<int> cancel{1};
    EXPECT_EQ(index.Extend(store, 5, 1, &cancel), GramIndex::Step::Cancelled);
    EXPECT_EQ(index.Records(), 128);
    EXPECT_EQ(index.Extend(store, 5, 1, nullptr), GramIndex::Step::Grown);
    EXPECT_EQ(index.Extend(store, 5, 1, nullptr), GramIndex::Step::Whole); // 10 records short of a row
    EXPECT_EQ(index.Records(), 192);

    std::vector<std::uint64_t> words;
    for (const std::string term : {"b", "bi", "ke", "a", "9"}) {
        EXPECT_TRUE(index.Candidates(term, words)) << term;
        auto locked = store.ReadLock();
        for (int n = 1; n <= index.Records(); ++n) {
            const RecordView view = locked.View(n);
            const bool holds = ContainsFolded(std::string(view.Title) + std::string(view.FullText), term);
            ASSERT_EQ(((words[static_cast<std::size_t>(n - 1) / 64] >> ((n - 1) % 64)) & 1) != 0, holds) << term << n;
        }
    }
    EXPECT_FALSE(index.Candidates("bik", words));
    EXPECT_FALSE(index.Candidates("\xe9", words));
    EXPECT_FALSE(index.Candidates("a-", words));

    store.Lock().Set(1, Field::Title, "changed");
    EXPECT_EQ(index.Extend(store, 1, 1, nullptr), GramIndex::Step::Grown);
    EXPECT_EQ(index.Records(), 64); // started again from the first row
}

TEST(CompiledFilterNarrows, only_claims_narrowing_when_every_match_also_matches_the_wider_filter)
{
    std::mt19937 random(99);
    const std::string alphabet = "abAB -\",x";
    int claimed = 0;
    for (int round = 0; round < 20000; ++round) {
        const std::string wider = RandomText(random, alphabet, 6);
        const std::string narrower =
            random() % 2 ? wider + RandomText(random, alphabet, 3) : RandomText(random, alphabet, 7);
        const CompiledFilter a(narrower), b(wider);
        if (!a.Narrows(b)) {
            continue;
        }
        ++claimed;
        for (int t = 0; t < 10; ++t) {
            const std::string text = RandomText(random, alphabet, 12);
            ASSERT_FALSE(a.Matches(text, {}) && !b.Matches(text, {}))
                << "[" << narrower << "] narrows [" << wider << "] but [" << text << "] passes only the first";
        }
    }
    EXPECT_GT(claimed, 5000);
    EXPECT_TRUE(CompiledFilter("bike vintage").Narrows(CompiledFilter("bike vint")));
    EXPECT_TRUE(CompiledFilter("-re").Narrows(CompiledFilter("-red")));
    EXPECT_FALSE(CompiledFilter("-red").Narrows(CompiledFilter("-re")));
    EXPECT_FALSE(CompiledFilter("bik").Narrows(CompiledFilter("bike")));
}

} // namespace
} // namespace trawl

#include "results/QuickFilter.h"

#include "app/TextUtil.h"
#include "results/ResultStore.h"
#include "support/Doubles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <thread>

namespace trawl {
namespace {

using ::testing::ElementsAre;

// The plain rule, written from its description, for differential checks.
bool PlainMatches(const std::string& text, const std::string& filter)
{
    std::string normalised;
    bool inQuotes = false;
    for (char c : ToLowerAscii(filter)) {
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ' ') {
            normalised.push_back(inQuotes ? ' ' : ',');
        } else {
            normalised.push_back(c);
        }
    }
    const std::string t = ToLowerAscii(text);
    for (const std::string& part : SplitPlain(normalised)) {
        std::string term = TrimmedCopy(part);
        if (term.empty()) {
            continue;
        }
        if (term[0] == '-') {
            if (t.find(term.substr(1)) != std::string::npos) {
                return false;
            }
        } else if (t.find(term) == std::string::npos) {
            return false;
        }
    }
    return true;
}

TEST(MatchesFilterTest, terms_phrases_exclusions_and_case)
{
    EXPECT_TRUE(MatchesFilter("A red mountain bike", "red bike"));
    EXPECT_FALSE(MatchesFilter("A red mountain bike", "\"red bike\""));
    EXPECT_TRUE(MatchesFilter("my red bike", "\"red bike\""));
    EXPECT_TRUE(MatchesFilter("bike, fine", "bike -broken"));
    EXPECT_FALSE(MatchesFilter("bike, broken", "bike -broken"));
    EXPECT_TRUE(MatchesFilter("Red BIKE", "RED bike"));
    EXPECT_TRUE(MatchesFilter("anything", ""));
    EXPECT_TRUE(MatchesFilter("anything", " , ,"));
    EXPECT_FALSE(MatchesFilter("anything", "-")); // an empty excluded term occurs everywhere
    EXPECT_TRUE(MatchesFilter("caf\xC9", "caf\xC9")); // bytes of 128 and above compare as they are
    EXPECT_FALSE(MatchesFilter("caf\xC9", "caf\xE9"));
}

TEST(MatchesFilterTest, normalise_keeps_quoted_spaces_and_caches_safely)
{
    EXPECT_EQ(NormaliseFilter("a \"b c\" d"), "a,b c,d");
    EXPECT_EQ(NormaliseFilter("a \"b c\" d"), "a,b c,d"); // served from the cache
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < 2000; ++i) {
                const std::string in = (t % 2) ? "x \"y z\"" : "p q";
                const std::string expected = (t % 2) ? "x,y z" : "p,q";
                if (NormaliseFilter(in) != expected) {
                    ++wrong;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

TEST(MatchesFilterTest, agrees_with_the_plain_rule_on_random_text)
{
    std::mt19937 random(99);
    const std::string alphabet = "abAB -\",\xE9\xC9x";
    auto randomText = [&](int maxLength) {
        std::string s;
        const int length = static_cast<int>(random() % static_cast<unsigned>(maxLength + 1));
        for (int i = 0; i < length; ++i) {
            s.push_back(alphabet[random() % alphabet.size()]);
        }
        return s;
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string title = randomText(12);
        const std::string fullText = randomText(30);
        const std::string filter = randomText(8);
        const CompiledFilter compiled(filter);
        ASSERT_EQ(compiled.Matches(title, fullText), PlainMatches(title + fullText, filter))
            << "title [" << title << "] text [" << fullText << "] filter [" << filter << "]";
    }
}

TEST(ApplyQuickFilterTest, lists_matches_last_record_first_and_spans_title_and_text)
{
    test::RecordingStatusView view;
    test::RecordingPrompts prompts;
    ResultStore store(5000, view, prompts);
    {
        auto locked = store.Lock();
        locked.AppendLoaded({"2024-01-01", "Red bike", "C", "S", "l1", "", ""});
        locked.AppendLoaded({"2024-01-01", "Blue car", "C", "S", "l2", "", ""});
        locked.AppendLoaded({"2024-01-01", "Green bi", "C", "S", "l3", "ke for sale", ""});
    }
    const auto bikes = ApplyQuickFilter(store, "bike");
    EXPECT_THAT(bikes.records, ElementsAre(3, 1)); // "bi" + "ke" across the seam
    EXPECT_EQ(bikes.count, 2);
    EXPECT_EQ(ApplyQuickFilter(store, "").count, 3);
    EXPECT_EQ(ApplyQuickFilter(store, "-car").count, 2);
}

TEST(ApplyQuickFilterTest, empty_store_gives_nothing)
{
    test::RecordingStatusView view;
    test::RecordingPrompts prompts;
    ResultStore store(5000, view, prompts);
    const auto result = ApplyQuickFilter(store, "x");
    EXPECT_EQ(result.count, 0);
    EXPECT_TRUE(result.records.empty());
}

} // namespace
} // namespace trawl

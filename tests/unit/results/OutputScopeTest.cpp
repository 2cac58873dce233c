#include "results/OutputScope.h"

#include "OutputTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace trawl {
namespace {

using ::testing::ElementsAre;

struct ScopeChoice : test::OutputFixture {
    std::optional<OutputScope> Choose(std::vector<int> selected, OutputKind kind)
    {
        return ChooseOutputScope(store, selected, kind, prompts);
    }
    std::vector<int> Flagged()
    {
        std::vector<int> out;
        for (std::size_t k = 0; k < store.Selection().size(); ++k) {
            if (store.Selection()[k] != 0) {
                out.push_back(static_cast<int>(k + 1));
            }
        }
        return out;
    }
};

TEST_F(ScopeChoice, SeveralSelectedRowsMarkExactlyTheirRecords)
{
    AddMany(6, 2);
    Select({1, 2, 3}); // flags left over from an earlier output
    EXPECT_EQ(Choose({5, 2}, OutputKind::Csv), OutputScope::Selected);
    EXPECT_THAT(Flagged(), ElementsAre(2, 5));
    EXPECT_EQ(prompts.Count(), 0u);

    // A row number the store no longer has marks nothing and harms nothing.
    EXPECT_EQ(Choose({6, 0, -3, 7, 99999}, OutputKind::Html), OutputScope::Selected);
    EXPECT_THAT(Flagged(), ElementsAre(6));
}

TEST_F(ScopeChoice, OneSelectedRowAsksLikeNone)
{
    AddMany(5, 2); // 2 new, 3 old
    prompts.QueueAnswer(PromptAnswer::No);
    EXPECT_EQ(Choose({3}, OutputKind::Csv), OutputScope::All);
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Shown()[0].kind, PromptKind::ThreeWay);
    EXPECT_EQ(prompts.Shown()[0].caption, "Select Scope");
    EXPECT_EQ(
        prompts.Shown()[0].text,
        "Would you like to output only the 2 new records? (If not, everything will be included in the CSV file).");
}

TEST_F(ScopeChoice, AnswersGiveNewAllOrNothing)
{
    AddMany(4, 4); // 1 new, 3 old
    prompts.QueueAnswer(PromptAnswer::Yes);
    EXPECT_EQ(Choose({}, OutputKind::Html), OutputScope::New);
    EXPECT_EQ(prompts.Shown()[0].text,
              "Would you like to view only the 1 new record? (If not, everything will be included in the file).");

    prompts.QueueAnswer(PromptAnswer::No);
    EXPECT_EQ(Choose({}, OutputKind::Html), OutputScope::All);

    // HTML: cancelling says nothing more.
    prompts.QueueAnswer(PromptAnswer::Cancel);
    EXPECT_EQ(Choose({}, OutputKind::Html), std::nullopt);
    EXPECT_EQ(prompts.Count(), 3u);

    // CSV: cancelling tells that nothing was saved.
    prompts.QueueAnswer(PromptAnswer::Cancel);
    EXPECT_EQ(Choose({}, OutputKind::Csv), std::nullopt);
    ASSERT_EQ(prompts.Count(), 5u);
    EXPECT_EQ(prompts.Shown()[4].kind, PromptKind::Error);
    EXPECT_EQ(prompts.Shown()[4].caption, "Aborted");
    EXPECT_EQ(prompts.Shown()[4].text, "Save cancelled. CSV file has NOT been saved.");
}

TEST_F(ScopeChoice, OnlyNewOrOnlyOldWritesEverythingWithoutAsking)
{
    AddMany(3, 1); // all new
    EXPECT_EQ(Choose({}, OutputKind::Csv), OutputScope::All);
    store.Lock().Clear(5000);
    AddMany(1); // a single old record
    EXPECT_EQ(Choose({1}, OutputKind::Html), OutputScope::All);
    EXPECT_EQ(prompts.Count(), 0u);
}

TEST_F(ScopeChoice, EmptyStoreRefusesWithTheChickens)
{
    EXPECT_EQ(Choose({}, OutputKind::Csv), std::nullopt);
    EXPECT_EQ(Choose({1}, OutputKind::Html), std::nullopt);
    ASSERT_EQ(prompts.Count(), 2u);
    EXPECT_EQ(prompts.Shown()[0].kind, PromptKind::Error);
    EXPECT_EQ(prompts.Shown()[0].caption, "Aborted");
    EXPECT_EQ(prompts.Shown()[0].text,
              "There are no records to save. I can not count your chickens before they've hatched.");
    EXPECT_EQ(prompts.Shown()[1].text,
              "There are no records to view. I can not count your chickens before they've hatched.");
}

TEST_F(ScopeChoice, QuestionGroupsDigits)
{
    EXPECT_EQ(ScopeQuestionText(OutputKind::Csv, 1234),
              "Would you like to output only the 1,234 new records? (If not, everything will be included in the CSV "
              "file).");
    EXPECT_EQ(ScopeQuestionText(OutputKind::Html, 1234567),
              "Would you like to view only the 1,234,567 new records? (If not, everything will be included in the "
              "file).");
}

TEST_F(ScopeChoice, ScopeTestFollowsTheTable)
{
    const RecordView fresh{"2024-01-01", "Red", "C", "S", "u", "bike", "Yes"};
    const RecordView old{"2024-01-01", "Blue", "C", "S", "u", "car", ""};
    Select({2});
    const auto& flags = store.Selection();
    EXPECT_TRUE(ScopeTest(OutputScope::All, flags, "zzz").Includes(1, old));
    EXPECT_TRUE(ScopeTest(OutputScope::New, flags, "").Includes(1, fresh));
    EXPECT_FALSE(ScopeTest(OutputScope::New, flags, "").Includes(1, old));
    EXPECT_TRUE(ScopeTest(OutputScope::Selected, flags, "").Includes(2, old));
    EXPECT_FALSE(ScopeTest(OutputScope::Selected, flags, "").Includes(1, fresh));
    EXPECT_FALSE(ScopeTest(OutputScope::Selected, flags, "").Includes(0, fresh));
    EXPECT_TRUE(ScopeTest(OutputScope::Filtered, flags, "REDBIKE").Includes(1, fresh));
    EXPECT_FALSE(ScopeTest(OutputScope::Filtered, flags, "red -bike").Includes(1, fresh));
    EXPECT_TRUE(ScopeTest(OutputScope::Filtered, flags, "").Includes(1, old));
}

} // namespace
} // namespace trawl

#include "batch/BatchOptions.h"

#include "batch/OutputNames.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace trawl {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(BatchOptions, option_words_match_in_any_case_and_searches_keep_their_order)
{
    const BatchOptions o = ParseBatchArguments({"b.trawl", "-CSV", "-Html", "a.trawl", "-nEw", "-DEEP", "-DateName"});
    EXPECT_TRUE(o.csv);
    EXPECT_TRUE(o.html);
    EXPECT_TRUE(o.newOnly);
    EXPECT_TRUE(o.deep);
    EXPECT_TRUE(o.dateName);
    EXPECT_FALSE(o.demo);
    EXPECT_THAT(o.searches, ElementsAre("b.trawl", "a.trawl"));
    EXPECT_TRUE(o.unknownOptions.empty());
}

TEST(BatchOptions, the_alert_program_keeps_its_case_and_everything_after_the_equals_sign)
{
    EXPECT_EQ(ParseBatchArguments({"-ALERT=/home/Me/bin/tell me=now", "a.trawl"}).alertCommand,
              "/home/Me/bin/tell me=now");
    EXPECT_EQ(ParseBatchArguments({"-csv"}).alertCommand, "");
    EXPECT_THAT(ParseBatchArguments({"-alert"}).unknownOptions, ElementsAre("-alert"));
}

TEST(BatchOptions, only_csv_html_or_deep_enter_batch_mode)
{
    EXPECT_FALSE(ParseBatchArguments({}).Batch());
    EXPECT_FALSE(ParseBatchArguments({"-new", "-datename", "x.trawl"}).Batch());
    EXPECT_FALSE(ParseBatchArguments({"--demo"}).Batch());
    EXPECT_TRUE(ParseBatchArguments({"-csv"}).Batch());
    EXPECT_TRUE(ParseBatchArguments({"-html"}).Batch());
    EXPECT_TRUE(ParseBatchArguments({"-deep"}).Batch());
}

TEST(BatchOptions, demo_help_and_unknown_words)
{
    EXPECT_TRUE(ParseBatchArguments({"--demo"}).demo);
    EXPECT_TRUE(ParseBatchArguments({"-DEMO"}).demo);
    EXPECT_TRUE(ParseBatchArguments({"--help"}).help);
    EXPECT_TRUE(ParseBatchArguments({"-h"}).help);
    const BatchOptions o = ParseBatchArguments({"-cvs", "-", "--csv", ""});
    // "--csv" is not "-csv": only the demo and help words take two dashes.
    EXPECT_FALSE(o.csv);
    EXPECT_THAT(o.unknownOptions, ElementsAre("-cvs", "-", "--csv"));
    EXPECT_TRUE(o.searches.empty());
}

TEST(BatchOptions, usage_names_every_option)
{
    const std::string usage = UsageText();
    for (const char* word : {"-csv", "-html", "-deep", "-new", "-datename", "--demo", "TRAWLKIT_HOME"}) {
        EXPECT_THAT(usage, HasSubstr(word));
    }
}

TEST(OutputNames, base_name_drops_folders_and_one_trailing_extension)
{
    EXPECT_EQ(SearchBaseName("bikes.trawl"), "bikes");
    EXPECT_EQ(SearchBaseName("/home/me/searches/red bikes.trawl"), "red bikes");
    EXPECT_EQ(SearchBaseName("old.trawl.trawl"), "old.trawl");
    EXPECT_EQ(SearchBaseName("dir.trawl/plain"), "plain");
    EXPECT_EQ(SearchBaseName("a.trawlx"), "a.trawlx");
}

TEST(OutputNames, outputs_go_beside_the_search_file)
{
    const LocalDate today{2024, 3, 5};
    EXPECT_EQ(OutputPath("/data/bikes.trawl", ".csv", false, today), "/data/bikes.csv");
    EXPECT_EQ(OutputPath("bikes.trawl", ".html", false, today), "bikes.html");
    EXPECT_EQ(OutputPath("rel/dir/bikes.trawl", ".csv", true, today), "rel/dir/bikes-2024-03-05.csv");
    EXPECT_EQ(OutputPath("/d/x", ".html", true, LocalDate{2025, 12, 31}), "/d/x-2025-12-31.html");
}

} // namespace
} // namespace trawl

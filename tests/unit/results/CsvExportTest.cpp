#include "results/CsvExport.h"

#include "OutputTestSupport.h"
#include "app/AtomicFile.h"
#include "app/TextUtil.h"
#include "refdata/ReferenceTables.h"
#include "results/Escaping.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace trawl {
namespace {

using ::testing::HasSubstr;

struct CsvExport : test::OutputFixture {
    ReferenceTables tables;
    std::string path = dir.File("out.csv");

    CsvExport()
    {
        tables.CLStateTable = {{"http://austin.craigslist.org", "Texas", "TX"}};
        tables.KJCityTable = {{"Canada", "Quebec", "Montreal", "http://montreal.kijiji.ca"}};
    }
    void AddSample()
    {
        Add("2024-03-01", "Red bike", "Austin", "bicycles", "http://austin.craigslist.org/bik/1.html",
            "<!--RSS-->fast\r\nand light", true);
        Add("2024-02-28", "Sofa", "Montreal", "furniture", "http://montreal.kijiji.ca/c-sofa-W0QQAdIdZ2", "");
        Add("0000-00-00", "Gone", "Austin", "bicycles", "http://austin.craigslist.org/bik/3.html",
            "This posting has expired and will be removed shortly.", true);
    }
    OutputResult Export(OutputScope scope, CsvColumns columns = {}, std::string_view filter = {})
    {
        return ExportCsv(store, path, scope, filter, columns, tables, prompts);
    }
    std::string Written() { return test::ReadFile(path); }
    std::string LastMessage() { return prompts.Shown().back().text; }
};

TEST_F(CsvExport, WritesEveryRecordWithSixCellsIncludingExpiredOnes)
{
    AddSample();
    const OutputResult result = Export(OutputScope::All);
    ASSERT_TRUE(result.status.ok());
    EXPECT_EQ(result.count, 3);
    EXPECT_EQ(
        Written(),
        "\"Date\",\"Title\",\"City\",\"Section\",\"URI\",\"FullText\"\r\n"
        "\"2024-03-01\",\"Red bike\",\"Austin\",\"bicycles\",\"http://austin.craigslist.org/bik/1.html\","
        "\"<!--RSS-->fast\\nand light\"\r\n"
        "\"2024-02-28\",\"Sofa\",\"Montreal\",\"furniture\",\"http://montreal.kijiji.ca/c-sofa-W0QQAdIdZ2\",\"\"\r\n"
        "\"0000-00-00\",\"Gone\",\"Austin\",\"bicycles\",\"http://austin.craigslist.org/bik/3.html\","
        "\"This posting has expired and will be removed shortly.\"\r\n");
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Shown()[0].kind, PromptKind::Notice);
    EXPECT_EQ(prompts.Shown()[0].caption, "Save complete");
    EXPECT_EQ(LastMessage(), "CSV file saved to '" + path + "' with 3 records.");
}

TEST_F(CsvExport, OptionalStateAndSiteColumnsSitInTheirPlaces)
{
    AddSample();
    ASSERT_TRUE(Export(OutputScope::All, {true, true}).status.ok());
    EXPECT_EQ(
        Written(),
        "\"Date\",\"Title\",\"City\",\"StateCode\",\"Section\",\"URI\",\"SiteName\",\"FullText\"\r\n"
        "\"2024-03-01\",\"Red bike\",\"Austin\",\"TX\",\"bicycles\",\"http://austin.craigslist.org/bik/1.html\","
        "\"Craigslist\",\"<!--RSS-->fast\\nand light\"\r\n"
        "\"2024-02-28\",\"Sofa\",\"Montreal\",\"QC\",\"furniture\",\"http://montreal.kijiji.ca/c-sofa-W0QQAdIdZ2\","
        "\"Kijiji\",\"\"\r\n"
        "\"0000-00-00\",\"Gone\",\"Austin\",\"TX\",\"bicycles\",\"http://austin.craigslist.org/bik/3.html\","
        "\"Craigslist\",\"This posting has expired and will be removed shortly.\"\r\n");

    // Each column alone.
    EXPECT_EQ(CsvHeaderLine({true, false}),
              "\"Date\",\"Title\",\"City\",\"StateCode\",\"Section\",\"URI\",\"FullText\"\r\n");
    EXPECT_EQ(CsvHeaderLine({false, true}),
              "\"Date\",\"Title\",\"City\",\"Section\",\"URI\",\"SiteName\",\"FullText\"\r\n");
}

TEST_F(CsvExport, SiteIsCraigslistOnlyWithTheWordBetweenTwoDots)
{
    EXPECT_EQ(SiteNameOfLink("http://austin.craigslist.org/bik/1.html"), "Craigslist");
    EXPECT_EQ(SiteNameOfLink("http://craigslist.org/bik/1.html"), "Kijiji");
    EXPECT_EQ(SiteNameOfLink("http://boston.kijiji.com/?q=www.craigslistfan.org"), "Kijiji");
    EXPECT_EQ(SiteNameOfLink(""), "Kijiji");
}

TEST_F(CsvExport, QuotesBackslashesAndLineBreaksUseBackslashEscapes)
{
    Add("2024-01-01", "27\" wheel \\ \"new\"", "C\rity", "S", "http://x.craigslist.org/1", "a\nb\r\nc\fd");
    ASSERT_TRUE(Export(OutputScope::All).status.ok());
    EXPECT_EQ(Written(), CsvHeaderLine({}) + "\"2024-01-01\",\"27\\\" wheel \\\\ \\\"new\\\"\",\"C\\nity\",\"S\","
                                             "\"http://x.craigslist.org/1\",\"a\\nb\\nc\\nd\"\r\n");
    EXPECT_THAT(Written(), ::testing::Not(HasSubstr("\"\"new")));
}

TEST_F(CsvExport, ScopesPickTheirRecordsInStoreOrder)
{
    // 3 new (2, 4, 5) and 2 old records.
    Add("2024-01-01", "one red", "C", "S", "http://x.craigslist.org/1", "");
    Add("2024-01-02", "two", "C", "S", "http://x.craigslist.org/2", "red bike", true);
    Add("2024-01-03", "three", "C", "S", "http://x.craigslist.org/3", "blue");
    Add("2024-01-04", "four", "C", "S", "http://x.craigslist.org/4", "", true);
    Add("2024-01-05", "five", "C", "S", "http://x.craigslist.org/5", "red, broken", true);
    auto titles = [&] {
        std::string out;
        for (const std::string& line : SplitPlain(Written(), '\n')) {
            if (line.rfind("\"2024", 0) == 0) {
                out += ReadRecordField(line, 2) + ";";
            }
        }
        return out;
    };

    EXPECT_EQ(Export(OutputScope::New).count, 3);
    EXPECT_EQ(titles(), "two;four;five;");
    EXPECT_EQ(LastMessage(), "CSV file saved to '" + path + "' with 3 records.");

    Select({4, 1}); // whatever the order in the list
    EXPECT_EQ(Export(OutputScope::Selected).count, 2);
    EXPECT_EQ(titles(), "one red;four;");

    EXPECT_EQ(Export(OutputScope::Filtered, {}, "red -broken").count, 2);
    EXPECT_EQ(titles(), "one red;two;");
    // A filter term may run across the join of title and text.
    EXPECT_EQ(Export(OutputScope::Filtered, {}, "\"threeblue\"").count, 1);
    EXPECT_EQ(titles(), "three;");
}

TEST_F(CsvExport, ClosingMessageCountsWithSingularAndDigitGrouping)
{
    EXPECT_EQ(CsvSavedMessage("/a/b.csv", 0), "CSV file saved to '/a/b.csv' with 0 record.");
    EXPECT_EQ(CsvSavedMessage("/a/b.csv", 1), "CSV file saved to '/a/b.csv' with 1 record.");
    EXPECT_EQ(CsvSavedMessage("/a/b.csv", 2), "CSV file saved to '/a/b.csv' with 2 records.");

    AddMany(1234);
    EXPECT_EQ(Export(OutputScope::All).count, 1234);
    EXPECT_EQ(LastMessage(), "CSV file saved to '" + path + "' with 1,234 records.");
    const std::string written = Written();
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 1235);
}

TEST_F(CsvExport, SingleRecordAndFilterMatchingNothing)
{
    Add("2024-01-01", "Only", "C", "S", "http://x.craigslist.org/1", "text");
    EXPECT_EQ(Export(OutputScope::All).count, 1);
    EXPECT_EQ(LastMessage(), "CSV file saved to '" + path + "' with 1 record.");

    EXPECT_EQ(Export(OutputScope::Filtered, {}, "zebra").count, 0);
    EXPECT_EQ(Written(), CsvHeaderLine({}));
    EXPECT_EQ(LastMessage(), "CSV file saved to '" + path + "' with 0 record.");
}

TEST_F(CsvExport, EmptyStoreWritesTheHeaderAlone)
{
    const OutputResult result = Export(OutputScope::New, {true, true});
    ASSERT_TRUE(result.status.ok());
    EXPECT_EQ(result.count, 0);
    EXPECT_EQ(Written(), CsvHeaderLine({true, true}));
}

TEST_F(CsvExport, FailedWriteIsReportedInsteadOfTheClosingMessage)
{
    AddSample();
    path = dir.File("no-such-folder/out.csv");
    const OutputResult result = Export(OutputScope::All);
    EXPECT_FALSE(result.status.ok());
    ASSERT_EQ(prompts.Count(), 1u);
    const test::ShownPrompt shown = prompts.Shown()[0];
    EXPECT_EQ(shown.kind, PromptKind::Error);
    EXPECT_EQ(shown.caption, "CSV file not saved");
    EXPECT_THAT(shown.text, HasSubstr("CSV file has NOT been saved."));
    EXPECT_THAT(shown.text, HasSubstr("no-such-folder/out.csv"));
    EXPECT_FALSE(FileExists(path));
}

TEST_F(CsvExport, PathTakenByAFolderIsReportedAndTheFolderStays)
{
    AddSample();
    path = dir.File("taken");
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
    EXPECT_FALSE(Export(OutputScope::All).status.ok());
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Shown()[0].kind, PromptKind::Error);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
}

} // namespace
} // namespace trawl

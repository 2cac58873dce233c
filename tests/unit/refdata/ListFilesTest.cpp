#include "refdata/ListFiles.h"

#include "support/Doubles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace trawl {
namespace {

using test::TempDir;
using ::testing::ElementsAre;

std::vector<std::string> Lines(std::string_view text)
{
    std::istringstream in{std::string(text)};
    std::vector<std::string> lines;
    std::string line;
    while (ReadListLine(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

TEST(ListLines, LineFeedEndsALineAndOneCarriageReturnBeforeItIsDropped)
{
    EXPECT_THAT(Lines("a\r\nb\nc"), ElementsAre("a", "b", "c"));
    EXPECT_THAT(Lines("a\r\n\r\n"), ElementsAre("a", ""));
    EXPECT_THAT(Lines("a\r\r\nb\rc\r"), ElementsAre("a\r", "b\rc"));
    EXPECT_THAT(Lines(""), ElementsAre());
    EXPECT_THAT(Lines(std::string("x\0y\n", 4)), ElementsAre(std::string("x\0y", 3)));
}

TEST(ListLines, OverlongLineIsCutAndTheNextLineStillReads)
{
    const std::string text = std::string(kMaxListLineBytes + 5000, 'q') + "\r\nnext\r\n";
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), kMaxListLineBytes);
    EXPECT_EQ(lines[1], "next");
}

TEST(ListFields, QuotedUnquotedAndMissingFields)
{
    // Commas inside quotes belong to the field; text after the closing quote is ignored.
    EXPECT_THAT(ReadListFields(R"("Portland, OR","b")", 2), ElementsAre("Portland, OR", "b"));
    EXPECT_THAT(ReadListFields(R"(  "a"junk ,b  ,  c)", 3), ElementsAre("a", "b", "c"));
    EXPECT_THAT(ReadListFields(R"("a")", 3), ElementsAre("a", "", ""));
    EXPECT_THAT(ReadListFields("a,,", 4), ElementsAre("a", "", "", ""));
    EXPECT_THAT(ReadListFields("", 2), ElementsAre("", ""));
    EXPECT_THAT(ReadListFields("a,b,c,d", 2), ElementsAre("a", "b"));
    // A quote never closed runs to the end of the line.
    EXPECT_THAT(ReadListFields(R"("x","never, closed)", 3), ElementsAre("x", "never, closed", ""));
    EXPECT_THAT(ReadListFields(R"("x",")", 3), ElementsAre("x", "", ""));
}

TEST(ListFiles, CityListReadsBothLayouts)
{
    ReferenceTables tables;
    LoadListText(ListFile::CLCities,
                 std::string(kCLCityListHeader) +
                     "\r\n\"North America\",\"US\",\"United States\",\"OR\",\"Portland, OR\",\"http://portland."
                     "craigslist.org\"\r\n",
                 tables);
    ASSERT_EQ(tables.CLCityTable.size(), 1u);
    const CLCity& six = tables.CLCityTable[0];
    EXPECT_EQ(six.Region, "North America");
    EXPECT_EQ(six.CountryCode, "US");
    EXPECT_EQ(six.CountryName, "United States");
    EXPECT_EQ(six.CityName, "Portland, OR");
    EXPECT_EQ(six.CityURL, "http://portland.craigslist.org");

    LoadListText(ListFile::CLCities,
                 "\"Region\",\"CountryCode\",\"CountryName\",\"CityName\",\"CityURL\"\r\n"
                 "\"Europe\",\"FR\",\"France\",\"Paris\",\"http://paris.craigslist.org\"\r\n",
                 tables);
    ASSERT_EQ(tables.CLCityTable.size(), 1u); // replaced, not appended
    EXPECT_EQ(tables.CLCityTable[0].CityName, "Paris");
    EXPECT_EQ(tables.CLCityTable[0].CityURL, "http://paris.craigslist.org");
}

TEST(ListFiles, BlankLinesAndTrimmingDependOnTheFile)
{
    ReferenceTables tables;
    const std::string body = "\"a\",\"b\",\"c\",\"d\"\r\n\r\n   \r\n  \"e\",\"f\",\"g\",\"h\"  \r\n";
    LoadListText(ListFile::KJCities, "header\r\n" + body, tables);
    ASSERT_EQ(tables.KJCityTable.size(), 2u);
    EXPECT_EQ(tables.KJCityTable[1].URL, "h");

    LoadListText(ListFile::CLStates, "header\r\n" + body, tables);
    ASSERT_EQ(tables.CLStateTable.size(), 2u);

    LoadListText(ListFile::CLSections, "header\r\n" + body, tables);
    ASSERT_EQ(tables.CLSectionTable.size(), 4u);
    EXPECT_EQ(tables.CLSectionTable[1].MasterSectionCode, "");
    EXPECT_EQ(tables.CLSectionTable[1].SectionName, "");
    EXPECT_EQ(tables.CLSectionTable[3].SectionCode, "f");

    LoadListText(ListFile::KJSections, "header\r\n" + body, tables);
    EXPECT_EQ(tables.KJSectionTable.size(), 4u);
    LoadListText(ListFile::CLCities, "header\r\n" + body, tables);
    EXPECT_EQ(tables.CLCityTable.size(), 4u);
}

TEST(ListFiles, StateListIsNormalised)
{
    ReferenceTables tables;
    LoadListText(ListFile::CLStates, "h\r\n\"HTTP://Portland.Craigslist.ORG/\",\"Oregon\",\"or\"\r\n", tables);
    ASSERT_EQ(tables.CLStateTable.size(), 1u);
    EXPECT_EQ(tables.CLStateTable[0].CityURI, "http://portland.craigslist.org/");
    EXPECT_EQ(tables.CLStateTable[0].StateName, "Oregon");
    EXPECT_EQ(tables.CLStateTable[0].StateCode, "OR");
}

TEST(ListFiles, DamagedContentLoadsWhatItCan)
{
    ReferenceTables tables;
    LoadListText(ListFile::KJSections, "", tables);
    EXPECT_TRUE(tables.KJSectionTable.empty());
    LoadListText(ListFile::KJSections, std::string(kKJSectionListHeader) + "\r\n", tables);
    EXPECT_TRUE(tables.KJSectionTable.empty());

    // No header: the first line is discarded all the same.
    LoadListText(ListFile::CLSections, "\"ccc\",\"ccc\",\"community\"\r\n\"ccc\",\"act\",\"activities\"\r\n", tables);
    ASSERT_EQ(tables.CLSectionTable.size(), 1u);
    EXPECT_EQ(tables.CLSectionTable[0].SectionCode, "act");

    std::string junk = "h\n";
    for (int i = 0; i < 256; ++i) {
        junk += static_cast<char>(i);
    }
    junk += std::string("\n\"a\0b\",\"", 8) + std::string(3 * kMaxListLineBytes, '"') + "\n\"tail\"";
    for (ListFile which : kAllListFiles) {
        LoadListText(which, junk, tables);
    }
    ASSERT_EQ(tables.CLSectionTable.size(), 4u);
    EXPECT_EQ(tables.CLSectionTable[2].MasterSectionCode, std::string("a\0b", 3));
    EXPECT_EQ(tables.CLSectionTable[3].MasterSectionCode, "tail");
    EXPECT_EQ(tables.KJCityTable.back().Country, "tail");
}

TEST(ListFiles, RandomBytesNeverMakeMoreRowsThanLines)
{
    std::mt19937 random(20240315);
    const std::string alphabet = std::string("\"\", \r\n\nab\0\xE9", 11);
    ReferenceTables tables;
    for (int round = 0; round < 300; ++round) {
        std::string text(random() % 400, ' ');
        for (char& c : text) {
            c = alphabet[random() % alphabet.size()];
        }
        const auto lineFeeds = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        for (ListFile which : kAllListFiles) {
            LoadListText(which, text, tables);
        }
        // The header takes the first line; every other line makes at most one row.
        EXPECT_LE(tables.CLSectionTable.size(), lineFeeds);
        EXPECT_LE(tables.KJCityTable.size(), tables.CLSectionTable.size());
        EXPECT_EQ(tables.CLCityTable.size(), tables.CLSectionTable.size());
        EXPECT_EQ(tables.KJSectionTable.size(), tables.CLSectionTable.size());
        EXPECT_EQ(tables.CLStateTable.size(), tables.KJCityTable.size());
    }
}

TEST(ListFiles, TablesGrowPastTheirNominalSize)
{
    std::string text = std::string(kCLSectionListHeader) + "\r\n";
    for (std::size_t i = 0; i < kCLSectionCapacity + 20; ++i) {
        text += "\"sss\",\"s" + std::to_string(i) + "\",\"name\"\r\n";
    }
    ReferenceTables tables;
    LoadListText(ListFile::CLSections, text, tables);
    ASSERT_EQ(tables.CLSectionTable.size(), kCLSectionCapacity + 20);
    EXPECT_EQ(tables.CLSectionTable.back().SectionCode, "s519");
}

TEST(ListFiles, HardCeilingStopsAnEnormousFile)
{
    std::string text = "h\n" + std::string(kMaxListRows + 10, '\n');
    ReferenceTables tables;
    LoadListText(ListFile::CLSections, text, tables);
    EXPECT_EQ(tables.CLSectionTable.size(), kMaxListRows);
}

struct ListFolder : ::testing::Test {
    TempDir dir;

    void WriteAll()
    {
        ASSERT_TRUE(WriteListFile(dir.File("CLcitylist.csv"), kCLCityListHeader,
                                  {{"Europe", "GB", "United Kingdom", "--", "London", "http://london.craigslist.co.uk"},
                                   {"Asia", "JP", "Japan", "--", "Tokyo", "http://tokyo.craigslist.jp"}}));
        ASSERT_TRUE(WriteListFile(dir.File("CLsectlist.csv"), kCLSectionListHeader,
                                  {{"sss", "sss", "for sale (All)"}, {"sss", "bik", "bicycles"}}));
        ASSERT_TRUE(WriteListFile(dir.File("CLstatelist.csv"), kCLStateListHeader,
                                  {{"http://boston.craigslist.org", "Massachusetts", "MA"}}));
        ASSERT_TRUE(WriteListFile(dir.File("KJcitylist.csv"), kKJCityListHeader,
                                  {{"Canada", "Quebec", "Montreal", "http://montreal.kijiji.ca"}}));
        ASSERT_TRUE(WriteListFile(dir.File("KJsectlist.csv"), kKJSectionListHeader,
                                  {{"Cars & Vehicles", "27", "f-cars-vehicles", "Cars & Vehicles"}}));
    }
};

TEST_F(ListFolder, WrittenListsReadBackWithTheirHeadersAndCrLf)
{
    WriteAll();
    EXPECT_EQ(test::ReadFile(dir.File("CLsectlist.csv")), std::string(kCLSectionListHeader) +
                                                              "\r\n\"sss\",\"sss\",\"for sale (All)\"\r\n"
                                                              "\"sss\",\"bik\",\"bicycles\"\r\n");
    const ReferenceTables tables = LoadReferenceLists(dir.path());
    EXPECT_TRUE(ReferenceListsComplete(tables));
    ASSERT_EQ(tables.CLCityTable.size(), 2u);
    EXPECT_EQ(tables.CLCityTable[1].CityName, "Tokyo");
    EXPECT_EQ(tables.CLCityTable[1].CityURL, "http://tokyo.craigslist.jp");
    EXPECT_EQ(tables.CLSectionTable[1].SectionName, "bicycles");
    EXPECT_EQ(tables.CLStateTable[0].StateCode, "MA");
    EXPECT_EQ(tables.KJCityTable[0].State, "Quebec");
    EXPECT_EQ(KJSectionKey(tables.KJSectionTable[0]), "27\\f-cars-vehicles");
}

TEST_F(ListFolder, AnyOneMissingFileMakesTheListsIncomplete)
{
    WriteAll();
    for (ListFile which : kAllListFiles) {
        const std::string path = dir.File(std::string(ListFileName(which)));
        const std::string saved = test::ReadFile(path);
        ASSERT_EQ(std::remove(path.c_str()), 0);
        EXPECT_FALSE(ReferenceListsComplete(LoadReferenceLists(dir.path()))) << ListFileName(which);
        // A file holding only its header counts as missing too.
        test::WriteFile(path, std::string(ListFileHeader(which)) + "\r\n");
        EXPECT_FALSE(ReferenceListsComplete(LoadReferenceLists(dir.path()))) << ListFileName(which);
        test::WriteFile(path, saved);
    }
    EXPECT_TRUE(ReferenceListsComplete(LoadReferenceLists(dir.path())));
}

TEST(ListWriter, FieldsThatWouldBreakTheLineAreDefused)
{
    EXPECT_EQ(ListFileLine({"Say \"hi\"", "two\r\nlines", ""}), "\"Say 'hi'\",\"two  lines\",\"\"\r\n");
    const auto fields = ReadListFields(ListFileLine({"a, b", "c\"", "d"}), 3);
    EXPECT_THAT(fields, ElementsAre("a, b", "c'", "d"));
}

TEST(ListWriter, FailureIsReported)
{
    TempDir dir;
    const Status status = WriteListFile(dir.File("no-such-folder/CLsectlist.csv"), kCLSectionListHeader, {});
    EXPECT_FALSE(status.ok());
    EXPECT_FALSE(status.message().empty());
}

TEST_F(ListFolder, AFolderAPipeAnEndlessDeviceOrAHugeFileInAListsPlaceIsTakenForAMissingList)
{
    WriteAll();
    const std::string path = dir.File("CLcitylist.csv");
    const std::string saved = test::ReadFile(path);
    const auto replaceWith = [&](const std::function<int()>& make) {
        std::remove(path.c_str());
        ASSERT_EQ(make(), 0) << std::strerror(errno);
    };
    const std::vector<std::pair<std::string, std::function<int()>>> cases = {
        {"a folder", [&] { return ::mkdir(path.c_str(), 0700); }},
        {"a pipe nobody writes to", [&] { return ::mkfifo(path.c_str(), 0600); }},
        {"a link to /dev/zero", [&] { return ::symlink("/dev/zero", path.c_str()); }},
        {"a file past the bound", [&] {
             test::WriteFile(path, saved);
             return ::truncate(path.c_str(), static_cast<off_t>(kMaxListFileBytes + 1));
         }},
    };
    for (const auto& [what, make] : cases) {
        replaceWith(make);
        ReferenceTables tables;
        EXPECT_NO_THROW(tables = LoadReferenceLists(dir.path())) << what;
        EXPECT_TRUE(tables.CLCityTable.empty()) << what;
        EXPECT_FALSE(ReferenceListsComplete(tables)) << what;
        EXPECT_FALSE(tables.KJCityTable.empty()) << what; // the other lists are read as ever
        ::rmdir(path.c_str());
        std::remove(path.c_str());
    }
    test::WriteFile(path, saved);
    EXPECT_TRUE(ReferenceListsComplete(LoadReferenceLists(dir.path())));
}

} // namespace
} // namespace trawl

#include "app/AtomicFile.h"
#include "programrun/E2EFixture.h"
#include "refdata/ListFiles.h"
#include "results/Dates.h"

#include <gmock/gmock.h>

namespace trawl::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kCsvHeader = "\"Date\",\"Title\",\"City\",\"Section\",\"URI\",\"FullText\"\r\n";

int Count(const std::string& text, const std::string& part)
{
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) {
        ++n;
    }
    return n;
}

std::string SavedMessage(const std::string& kind, const std::string& path, std::size_t count)
{
    return kind + " file saved to '" + path + "' with " + std::to_string(count) + " record" + (count > 1 ? "s" : "") +
           ".\n";
}

TEST_F(E2EFixture, fresh_folder_downloads_the_lists_then_runs_both_sites_and_writes_every_output)
{
    WriteSettings();
    // Keys as the downloaded lists will hold them.
    const sitesim::SampleWorld& w = world.world;
    const auto& clGroup = w.clGroups.back();
    const std::string clCity = w.clCountryPages.front().cities.front().Link();
    const std::string clSection = clGroup.sections.front().code;
    const auto& kjGroup = w.kjGroups.front();
    const std::string kjCanada = w.kjProvinces.front().cities.front().Link();
    const std::string kjStates = w.kjStates.front().cities.front().Link();
    const std::string kjSection = kjGroup.sections.front().id + "\\" + kjGroup.sections.front().dir;
    const std::string search = work.File("both.trawl");
    WriteSearch(search, "both", clCity, clSection, "bike", kjCanada + "," + kjStates, kjSection);

    const ProgramResult run = Run({"-deep", "-csv", "-html", "both.trawl"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.err, "");
    for (ListFile list : kAllListFiles) {
        EXPECT_TRUE(FileExists(home.File(std::string(ListFileName(list))))) << ListFileName(list);
    }
    // The download's log comes first, on standard output.
    EXPECT_LT(run.out.find("Output written to KJcitylist.csv"), run.out.find("Search saved to"));

    const std::vector<std::string> saved = SplitCrLf(ReadFile(search));
    ASSERT_GT(saved.size(), 6u);
    const std::size_t records = saved.size() - 6;
    EXPECT_THAT(run.out, HasSubstr("Search saved to '" + search + "'.\n"));
    EXPECT_THAT(run.out, HasSubstr(SavedMessage("CSV", work.File("both.csv"), records)));
    EXPECT_THAT(run.out, HasSubstr(SavedMessage("HTML", work.File("both.html"), records)));

    // The CSV: the fixed header, then the saved records in the same order, each with its full text.
    const std::string csv = ReadFile(work.File("both.csv"));
    ASSERT_THAT(csv, StartsWith(kCsvHeader));
    const std::vector<std::string> csvLines = SplitCrLf(csv);
    ASSERT_EQ(csvLines.size(), records + 1);
    for (std::size_t i = 0; i < records; ++i) {
        EXPECT_EQ(csvLines[i + 1], saved[i + 6]) << "record " << i + 1;
    }
    // One known ad, byte for byte up to its full text: names from the downloaded lists.
    const ReferenceTables tables = LoadReferenceLists(home.path());
    std::string cityName, sectionName;
    for (const auto& c : tables.CLCityTable) {
        cityName = c.CityURL == clCity ? c.CityName : cityName;
    }
    for (const auto& s : tables.CLSectionTable) {
        sectionName = s.SectionCode == clSection ? s.SectionName : sectionName;
    }
    const std::string host = clCity.substr(7, clCity.size() - 8);
    const std::string feed = PageOf(host, "/search/" + clSection + "?query=bike&format=rss");
    const std::string item = feed.substr(feed.find("<item "));
    const auto cut = [&](const std::string& open, const std::string& close) {
        const auto from = item.find(open) + open.size();
        return item.substr(from, item.find(close, from) - from);
    };
    const std::string start = "\"" + cut("<dc:date>", "T") + "\",\"" + cut("<title>", "</title>") + "\",\"" + cityName +
                              "\",\"" + sectionName + "\",\"" + cut("<link>", "</link>") + "\",\"";
    EXPECT_THAT(csv, HasSubstr("\r\n" + start)) << start;

    // The HTML page through the default templates: one block per record, every one new.
    const std::string html = ReadFile(work.File("both.html"));
    EXPECT_THAT(html, StartsWith("<html>\r\n<head>\r\n <title>Trawlkit Search Results "));
    EXPECT_THAT(html, HasSubstr(" <h3>Trawlkit both Search Results "));
    EXPECT_EQ(Count(html, "class=\"lunchbox\""), static_cast<int>(records));
    EXPECT_EQ(Count(html, "<b>NEW</b>"), static_cast<int>(records));
    EXPECT_THAT(html, HasSubstr("<div id=\"lunch_" + std::to_string(records) + "\" class=\"lunchbox\">"));
}

TEST_F(E2EFixture, a_second_run_finds_nothing_new_so_new_only_outputs_hold_no_record)
{
    WriteLists();
    WriteSettings();
    const std::string path = WriteBikesSearch();
    const ProgramResult first = Run({"-deep", "-csv", "bikes.trawl"});
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string allCsv = ReadFile(home.File("bikes.csv"));

    const ProgramResult second = Run({"-CSV", "-HTML", "-New", "-DateName", "bikes.trawl"});
    ASSERT_EQ(second.status, 0) << second.err;
    const std::string date = FormatStoredDate(today.year, today.month, today.day);
    const std::string csvPath = home.File("bikes-" + date + ".csv");
    const std::string htmlPath = home.File("bikes-" + date + ".html");
    EXPECT_EQ(ReadFile(csvPath), kCsvHeader);
    EXPECT_THAT(second.out, HasSubstr("CSV file saved to '" + csvPath + "' with 0 record.\n"));
    EXPECT_THAT(second.out, HasSubstr("HTML file saved to '" + htmlPath + "' with 0 record.\n"));
    EXPECT_EQ(Count(ReadFile(htmlPath), "lunchbox\">"), 0);
    // The plain names were left alone; the records are all still there.
    EXPECT_EQ(ReadFile(home.File("bikes.csv")), allCsv);
    EXPECT_EQ(SplitCrLf(ReadFile(path)).size() - 6, SplitCrLf(allCsv).size() - 1);
}

TEST_F(E2EFixture, demo_runs_offline_in_its_own_folder_and_says_where_its_outputs_are)
{
    TempDir cache;
    const std::map<std::string, std::string> env{{"XDG_CACHE_HOME", cache.path() + "cache"},
                                                 {"TRAWLKIT_HOME", home.path()},
                                                 {"TRAWLKIT_CONNECT_TO", "*:80:127.0.0.1:1"}};
    const ProgramResult demo = RunTrawlkit({"--demo"}, env, work.path());
    ASSERT_EQ(demo.status, 0) << demo.out << demo.err;
    const std::string folder = cache.path() + "cache/trawlkit-demo/";
    EXPECT_THAT(demo.out, HasSubstr("program folder " + folder));
    EXPECT_THAT(demo.out, HasSubstr("Downloads complete"));
    EXPECT_THAT(demo.out, HasSubstr("Search saved to '" + folder + "demo.trawl'."));
    EXPECT_THAT(demo.out, HasSubstr("CSV file saved to '" + folder + "demo.csv' with "));
    EXPECT_THAT(demo.out, HasSubstr("HTML file saved to '" + folder + "demo.html' with "));
    EXPECT_THAT(ReadFile(folder + "demo.csv"), StartsWith(kCsvHeader));
    EXPECT_GT(SplitCrLf(ReadFile(folder + "demo.csv")).size(), 10u);
    // The demo's Craigslist is on HTTPS: its ads were found and deep-scanned over TLS.
    int overTls = 0;
    for (const std::string& line : SplitCrLf(ReadFile(folder + "demo.trawl"))) {
        if (line.find(",\"https://") != std::string::npos) {
            ++overTls;
            EXPECT_THAT(line, Not(HasSubstr("<!--RSS-->")));
            EXPECT_THAT(line, Not(HasSubstr(",\"\"")));
        }
    }
    EXPECT_GT(overTls, 10);
    EXPECT_THAT(demo.out, HasSubstr("(HTTPS on "));
    // Neither the program folder nor the connect rule of the environment was used.
    EXPECT_FALSE(FileExists(home.File("CLcitylist.csv")));

    // The second demo reuses its lists and its search, and finds the same ads again.
    const ProgramResult again = RunTrawlkit({"--demo", "-csv", "-new"}, env, work.path());
    ASSERT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_THAT(again.out, Not(HasSubstr("Downloads complete")));
    EXPECT_EQ(ReadFile(folder + "demo.csv"), kCsvHeader);
}

} // namespace
} // namespace trawl::test

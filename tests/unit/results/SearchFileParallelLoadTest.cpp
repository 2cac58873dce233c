// A search file loaded on several threads must leave the store exactly as reading it line by line
// does: the same records in the same order, the same duplicate index, the same overflow and the same
// words to the user, whatever the file holds and wherever the blocks are cut.

#include "SearchFileTestSupport.h"
#include "results/Escaping.h"

#include <gmock/gmock.h>
#include <random>

namespace trawl {
namespace {

using test::Records;

struct Loaded {
    LoadedSearch search;
    std::vector<ResultRecord> records;
    std::vector<std::string> prompts;
    std::vector<AddOutcome> linksAgain; // AddIfNew of every link of the file afterwards
};

class RandomSearchFile {
public:
    explicit RandomSearchFile(unsigned seed) : m_random(seed) {}

    std::string Make(int lines)
    {
        std::string file = Pick(3) == 0 ? "name\n\"old layout\n" : "name\r\nvancouver\r\nbik\r\nbike\r\nkj\r\nks\r\n";
        for (int i = 0; i < lines; ++i) {
            file += RecordLine();
        }
        switch (Pick(4)) {
        case 0: // a last line without LF
            file += "\"2024-05-05\",\"Last\",\"C\",\"S\",\"http://h/last\",\"\"";
            break;
        case 1: // a CR at the very end
            file += "\"2024-05-05\",\"Last\",\"C\",\"S\",\"http://h/last\",\"\"\r";
            break;
        default:
            break;
        }
        return file;
    }
    const std::vector<std::string>& Links() const { return m_links; }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    std::string Text(int longest)
    {
        static constexpr std::string_view kBytes = "ab Z,\"\\\r\t~\xc3\xa9";
        std::string text;
        for (int n = Pick(longest + 1); n > 0; --n) {
            text += kBytes[static_cast<std::size_t>(Pick(static_cast<int>(kBytes.size())))];
        }
        return text;
    }

    std::string RecordLine()
    {
        const int kind = Pick(20);
        if (kind == 0) {
            return std::string(static_cast<std::size_t>(200 + Pick(400)), 'x') + "\r\n"; // longer than kept
        }
        if (kind == 1) {
            return "\r\n";
        }
        if (kind == 2) {
            return Text(30) + "\n"; // damaged: no fields
        }
        const std::string link = "http://h/" + std::to_string(Pick(60)); // repeats, as duplicates do
        m_links.push_back(link);
        const std::string date =
            Pick(6) == 0 ? "2001-01-01" : (Pick(10) == 0 ? "" : "2024-03-0" + std::to_string(Pick(9)));
        const std::string title = Pick(8) == 0 ? "" : EscapeField(Text(20));
        std::string line = "\"" + date + "\",\"" + title + "\",\"City\",\"Sect\",\"" + link + "\",\"" +
                           EscapeField(Text(60)) + "\"" + (Pick(3) == 0 ? ",\"Yes\"" : "");
        return line + (Pick(2) == 0 ? "\r\n" : "\n");
    }

    std::mt19937 m_random;
    std::vector<std::string> m_links;
};

struct ParallelLoad : test::SearchFileFixture {
    Loaded LoadWith(const std::string& path, int capacity, bool discard, const SearchFileReading& reading,
                    const std::vector<std::string>& links)
    {
        test::RecordingPrompts shown;
        ResultStore store(capacity, view, shown);
        Loaded loaded;
        loaded.search = LoadSearch(path, false, discard, clock, store, shown, reading);
        loaded.records = Records(store);
        if (store.Count() + static_cast<int>(links.size()) <= capacity) {
            // The duplicate index must know every loaded link, and a link added now is new to it.
            for (const std::string& link : links) {
                loaded.linksAgain.push_back(store.AddIfNew(link, test::Record("2024-06-01", "again", link)));
            }
        }
        loaded.prompts = shown.Lines();
        return loaded;
    }
};

std::string_view Get(const ResultRecord& r, Field field)
{
    const RecordView view{r.Date, r.Title, r.City, r.Section, r.URI, r.FullText, r.NewMark};
    return view.Get(field);
}

void ExpectSame(const Loaded& parallel, const Loaded& serial)
{
    EXPECT_EQ(parallel.search.Found, serial.search.Found);
    EXPECT_EQ(parallel.search.Complete, serial.search.Complete);
    EXPECT_EQ(parallel.search.Definition, serial.search.Definition);
    ASSERT_EQ(parallel.records.size(), serial.records.size());
    for (std::size_t k = 0; k < serial.records.size(); ++k) {
        // Field by field, so a failure shows the record and field that differ.
        for (const Field field :
             {Field::Date, Field::Title, Field::City, Field::Section, Field::URI, Field::FullText, Field::NewMark}) {
            ASSERT_EQ(Get(parallel.records[k], field), Get(serial.records[k], field))
                << "record " << k + 1 << ", field " << static_cast<int>(field);
        }
    }
    EXPECT_EQ(parallel.prompts, serial.prompts);
    EXPECT_EQ(parallel.linksAgain, serial.linksAgain);
}

TEST_F(ParallelLoad, random_files_cut_into_any_blocks_load_as_line_by_line)
{
    for (unsigned seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        RandomSearchFile random(seed);
        const std::string path = dir.File("random.trawl");
        test::WriteFile(path, random.Make(static_cast<int>(seed * 7 % 300)));
        const bool discard = seed % 3 == 0;

        SearchFileReading serialReading;
        serialReading.threads = 1;
        serialReading.maxLineBytes = 300;
        serialReading.blockBytes = 64;
        const Loaded serial = LoadWith(path, 100000, discard, serialReading, random.Links());
        for (const int threads : {2, 4}) {
            SearchFileReading reading = serialReading;
            reading.threads = threads;
            // Blocks from smaller than one line to many lines each.
            reading.blockBytes = std::size_t{16} << (seed % 9);
            ExpectSame(LoadWith(path, 100000, discard, reading, random.Links()), serial);
        }
    }
}

TEST_F(ParallelLoad, overflow_at_and_around_max_results_keeps_the_same_first_records)
{
    RandomSearchFile random(77);
    const std::string path = dir.File("full.trawl");
    test::WriteFile(path, random.Make(400));
    SearchFileReading serialReading;
    serialReading.threads = 1;
    serialReading.maxLineBytes = 300;
    const int kept = static_cast<int>(LoadWith(path, 100000, false, serialReading, {}).records.size());
    ASSERT_GT(kept, 100);
    for (const int capacity : {1, kept / 2, kept - 1, kept, kept + 1}) {
        SCOPED_TRACE("capacity " + std::to_string(capacity));
        const Loaded serial = LoadWith(path, capacity, false, serialReading, {});
        SearchFileReading reading = serialReading;
        reading.threads = 4;
        reading.blockBytes = 200;
        const Loaded parallel = LoadWith(path, capacity, false, reading, {});
        ExpectSame(parallel, serial);
        EXPECT_EQ(parallel.search.Complete, capacity >= kept);
    }
}

} // namespace
} // namespace trawl

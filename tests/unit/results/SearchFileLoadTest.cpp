#include "SearchFileTestSupport.h"
#include "results/Escaping.h"

#include <gmock/gmock.h>
#include <random>

namespace trawl {
namespace {

using test::Definition;
using test::Fill;
using test::Record;
using test::Records;
using ::testing::ElementsAre;

using SearchFileLoad = test::SearchFileFixture;

const char* const kHeader = "my search\r\nvancouver\r\nbik\r\nbike\r\nb-vancouver/k0l1700287\r\n644\\b-bikes\r\n";

std::string Line(const std::string& date, const std::string& title, const std::string& uri = "u")
{
    return "\"" + date + "\",\"" + EscapeField(title) + "\",\"Vancouver\",\"bicycles\",\"" + uri + "\",\"\"\r\n";
}

TEST_F(SearchFileLoad, missing_file_warns_unless_quiet_and_changes_nothing)
{
    ResultStore store(5000, view, prompts);
    Fill(store, {Record("2024-03-01", "Keep me")});
    const std::string path = SearchFilePath(dir.path(), "my search 2");

    EXPECT_FALSE(Load(store, path, false, /*quiet=*/true).Found);
    EXPECT_EQ(prompts.Count(), 0u);

    const LoadedSearch read = Load(store, path);
    EXPECT_FALSE(read.Found);
    ASSERT_EQ(prompts.Count(), 1u);
    const auto shown = prompts.Shown().front();
    EXPECT_EQ(shown.kind, PromptKind::Warning);
    EXPECT_EQ(shown.caption, "Warning");
    EXPECT_EQ(shown.text, "\"my search 2\" can't be found. Perhaps it is a new search?");
    EXPECT_EQ(store.Count(), 1);
    EXPECT_EQ(view.RefillCount(), 0);
}

TEST_F(SearchFileLoad, reads_definition_and_records_and_tells_the_view)
{
    ResultStore saved(5000, view, prompts);
    Fill(saved, {Record("2024-03-01", "First", "http://v/1", "<!--RSS-->x", "Yes"), Record("2024-03-02", "Second")});
    const std::string path = dir.File("my search.trawl");
    ASSERT_TRUE(SaveSearch(path, Definition(), saved).ok());

    ResultStore store(5000, view, prompts);
    {
        auto locked = store.Lock();
        locked.AddResult(Record("2024-01-01", "Found by a search", "http://old"));
    }
    ASSERT_EQ(store.NewResultCount(), 1);
    const LoadedSearch read = Load(store, path);
    EXPECT_TRUE(read.Found);
    EXPECT_EQ(read.Definition, Definition());
    EXPECT_EQ(Records(store), (std::vector<ResultRecord>{Record("2024-03-01", "First", "http://v/1", "<!--RSS-->x"),
                                                         Record("2024-03-02", "Second")}));
    EXPECT_EQ(store.NewResultCount(), 0);
    EXPECT_TRUE(store.UnsavedResults()); // as the search left it: loading does not touch it
    EXPECT_EQ(view.NewResults(), 0);
    EXPECT_EQ(view.TotalResults(), 2);
    EXPECT_EQ(view.RefillCount(), 1);
    EXPECT_EQ(prompts.Count(), 0u);
    // The link index follows the loaded records.
    EXPECT_EQ(store.Lock().FindResultByLink("http://v/1"), 1);
    EXPECT_EQ(store.Lock().FindResultByLink("http://old"), 0);
}

TEST_F(SearchFileLoad, drops_blank_titles_and_results_older_than_the_cutoff)
{
    const std::string path = dir.File("s.trawl");
    test::WriteFile(path, std::string(kHeader) + Line("2024-01-14", "Too old") + Line("2024-01-15", "On the cut-off") +
                              Line("", "No date") + Line("2024-03-01", "") + "\"2024-03-01\",   ,\"c\"\r\n" +
                              Line("0000-00-00", "Expired"));
    clock.SetToday(LocalDate{2024, 3, 15});

    ResultStore store(5000, view, prompts);
    Load(store, path, /*discard=*/true);
    std::vector<std::string> titles;
    for (const auto& r : Records(store)) {
        titles.push_back(r.Title);
    }
    EXPECT_THAT(titles, ElementsAre("On the cut-off"));

    Load(store, path, /*discard=*/false);
    titles.clear();
    for (const auto& r : Records(store)) {
        titles.push_back(r.Title);
    }
    EXPECT_THAT(titles, ElementsAre("Too old", "On the cut-off", "Expired"));
    EXPECT_EQ(view.TotalResults(), 3);
}

TEST_F(SearchFileLoad, plain_key_list_on_line_two_is_the_six_line_layout)
{
    const std::string path = dir.File("s.trawl");
    test::WriteFile(path, std::string(kHeader) + Line("2024-03-01", "Bike"));
    ResultStore store(5000, view, prompts);
    const LoadedSearch read = Load(store, path);
    EXPECT_EQ(read.Definition,
              (SearchDefinition{"my search", "vancouver", "bik", "bike", "b-vancouver/k0l1700287", "644\\b-bikes"}));
    EXPECT_EQ(store.Count(), 1);
}

TEST_F(SearchFileLoad, old_layout_reads_records_from_line_five)
{
    const std::string path = dir.File("old.trawl");
    const std::string firstRecord = Line("2024-03-01", "First");
    test::WriteFile(path, "old search\r\n\"Vancouver\",\"Seattle\"\r\n\"bicycles\"\r\nbike\r\n" + firstRecord +
                              Line("2024-03-02", "Second"));
    ResultStore store(5000, view, prompts);
    const LoadedSearch read = Load(store, path);
    EXPECT_EQ(read.Definition.Name, "old search");
    EXPECT_EQ(read.Definition.CLCityKeys, "");
    EXPECT_EQ(read.Definition.CLSectionKeys, "");
    EXPECT_EQ(read.Definition.Terms, "bike");
    EXPECT_EQ(read.Definition.KJCityKeys, firstRecord.substr(0, firstRecord.size() - 2));
    EXPECT_EQ(read.Definition.KJSectionKeys, "");
    std::vector<std::string> titles;
    for (const auto& r : Records(store)) {
        titles.push_back(r.Title);
    }
    EXPECT_THAT(titles, ElementsAre("First", "Second"));
}

TEST_F(SearchFileLoad, a_merge_adds_the_files_records_the_list_lacks_in_file_order_and_says_when_they_do_not_fit)
{
    // The list holds one ad of the file and one of its own; another run saved three more.
    const std::string path = dir.File("merged.trawl");
    test::WriteFile(path, std::string(kHeader) + Line("2024-03-01", "Kept", "http://x/1.html") +
                              Line("2024-03-02", "Other one", "http://x/2.html") +
                              Line("2024-03-03", "", "http://x/4.html") +
                              Line("2024-03-04", "Other two", "http://x/5.html"));
    ResultStore store(5000, view, prompts);
    Fill(store, {Record("2024-03-01", "Kept", "http://x/1.html"), Record("2024-03-09", "Own", "http://x/9.html")});
    const MergedSearch merged = MergeSearchFile(path, store);
    EXPECT_TRUE(merged.status.ok()) << merged.status.message();
    EXPECT_EQ(merged.added, 2);
    std::vector<std::string> titles;
    for (const auto& r : Records(store)) {
        titles.push_back(r.Title);
    }
    EXPECT_THAT(titles, ElementsAre("Kept", "Own", "Other one", "Other two"));
    EXPECT_EQ(MergeSearchFile(path, store).added, 0);

    // A list that cannot take them all must not be saved over the file.
    ResultStore small(3, view, prompts);
    Fill(small, {Record("2024-03-09", "Own", "http://x/9.html")});
    const MergedSearch partial = MergeSearchFile(path, small);
    EXPECT_FALSE(partial.status.ok());
    EXPECT_EQ(partial.added, 2);
    EXPECT_FALSE(MergeSearchFile(dir.File("gone.trawl"), small).status.ok());
}

TEST_F(SearchFileLoad, short_files_load_with_missing_lines_empty)
{
    const std::string path = dir.File("s.trawl");
    ResultStore store(5000, view, prompts);
    Fill(store, {Record("2024-03-01", "Replaced")});
    test::WriteFile(path, "only a name\r\nvancouver");
    LoadedSearch read = Load(store, path);
    EXPECT_TRUE(read.Found);
    EXPECT_EQ(read.Definition, (SearchDefinition{"only a name", "vancouver", "", "", "", ""}));
    EXPECT_EQ(store.Count(), 0);

    test::WriteFile(path, "");
    read = Load(store, path);
    EXPECT_TRUE(read.Found);
    EXPECT_EQ(read.Definition, SearchDefinition{});
    EXPECT_EQ(view.TotalResults(), 0);
}

TEST_F(SearchFileLoad, overflow_keeps_the_first_passing_records_and_says_so_once)
{
    const std::string path = dir.File("s.trawl");
    std::string content = kHeader;
    content += Line("2024-03-01", "") + Line("2024-03-01", "A") + Line("", "no date") + Line("2024-03-01", "B");
    for (int i = 0; i < 10; ++i) {
        content += Line("2024-03-01", "C" + std::to_string(i));
    }
    test::WriteFile(path, content);
    ResultStore store(3, view, prompts);
    const LoadedSearch read = Load(store, path);
    std::vector<std::string> titles;
    for (const auto& r : Records(store)) {
        titles.push_back(r.Title);
    }
    EXPECT_THAT(titles, ElementsAre("A", "B", "C0"));
    EXPECT_EQ(read.Definition.Terms, "bike");
    EXPECT_EQ(read.Definition.KJSectionKeys, "644\\b-bikes");
    EXPECT_THAT(prompts.Lines(),
                ElementsAre("Error: The results list has overflowed (3 elements). Please increase max results in the "
                            "settings."));
    EXPECT_EQ(view.TotalResults(), 3);
}

TEST_F(SearchFileLoad, a_full_store_is_no_overflow_when_the_rest_would_be_dropped)
{
    const std::string path = dir.File("s.trawl");
    test::WriteFile(path, std::string(kHeader) + Line("2024-03-01", "A") + Line("2024-03-01", "B") + "\r\n" +
                              Line("2024-03-01", ""));
    ResultStore store(2, view, prompts);
    Load(store, path);
    EXPECT_EQ(store.Count(), 2);
    EXPECT_EQ(prompts.Count(), 0u);
}

// A caller that saves without asking (the batch front end) must know that the store holds only part
// of the file: saving it would throw the rest of the file away.
TEST_F(SearchFileLoad, only_a_file_read_whole_into_the_store_is_complete)
{
    const std::string path = dir.File("s.trawl");
    test::WriteFile(path, std::string(kHeader) + Line("2024-03-01", "A") + Line("2024-03-01", "B") +
                              Line("2024-03-01", "") + Line("2024-03-01", "C"));
    ResultStore roomy(3, view, prompts);
    EXPECT_TRUE(Load(roomy, path).Complete);
    EXPECT_EQ(roomy.Overflows(), 0);

    ResultStore tight(2, view, prompts);
    const LoadedSearch cut = Load(tight, path);
    EXPECT_TRUE(cut.Found);
    EXPECT_FALSE(cut.Complete);
    EXPECT_EQ(tight.Count(), 2);
    EXPECT_EQ(tight.Overflows(), 1);

    // A folder opens but cannot be read.
    const LoadedSearch unreadable = Load(roomy, dir.path());
    if (unreadable.Found) {
        EXPECT_FALSE(unreadable.Complete);
    }
    // A missing file is not found, and nothing is lost by leaving it.
    EXPECT_FALSE(Load(roomy, dir.File("none.trawl"), false, true).Found);
}

TEST_F(SearchFileLoad, damaged_files_load_what_they_can)
{
    const std::string path = dir.File("s.trawl");
    ResultStore store(100000, view, prompts);

    // Random bytes, NULs and all: whatever loads has a title.
    std::mt19937 rng(99);
    std::string junk(1 << 20, '\0');
    for (char& c : junk) {
        c = static_cast<char>(rng() % 7 == 0 ? "\",\\\n\r "[rng() % 6] : rng() % 256);
    }
    test::WriteFile(path, junk);
    EXPECT_TRUE(Load(store, path).Found);
    for (const auto& r : Records(store)) {
        ASSERT_FALSE(r.Title.empty());
        ASSERT_FALSE(r.Date.empty());
    }

    // No line end at all: one line, the name.
    test::WriteFile(path, std::string(100000, 'n'));
    LoadedSearch read = Load(store, path);
    EXPECT_EQ(read.Definition.Name.size(), 100000u);
    EXPECT_EQ(store.Count(), 0);

    // NUL bytes inside fields are kept; an unterminated quote runs to the end of the line; a 10 MB
    // text loads whole.
    const std::string big(10 << 20, 't');
    test::WriteFile(path, std::string(kHeader) + std::string("\"2024-03-01\",\"a\0b\",\"c\"\r\n", 24) +
                              "\"2024-03-02\",\"open, never closed\r\n" +
                              "\"2024-03-03\",\"Big\",\"c\",\"s\",\"u\",\"" + big + "\"\r\n");
    Load(store, path);
    const auto records = Records(store);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Title, std::string("a\0b", 3));
    EXPECT_EQ(records[1].Title, "open, never closed");
    EXPECT_EQ(records[1].City, "");
    EXPECT_EQ(records[2].FullText, big);
    EXPECT_EQ(prompts.Count(), 0u);
}

} // namespace
} // namespace trawl

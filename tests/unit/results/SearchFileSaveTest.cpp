#include "SearchFileTestSupport.h"

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <gmock/gmock.h>
#include <sys/resource.h>

namespace trawl {
namespace {

using test::Definition;
using test::Fill;
using test::Record;
using ::testing::HasSubstr;

using SearchFileSave = test::SearchFileFixture;

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(d)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(CleanSearchName, blanks_the_six_characters_then_deletes_space_pairs)
{
    EXPECT_EQ(CleanSearchName("my.search/2"), "my search 2");
    EXPECT_EQ(CleanSearchName("a b"), "a b");
    EXPECT_EQ(CleanSearchName("a  b"), "ab");
    EXPECT_EQ(CleanSearchName("a...b"), "a b");
    EXPECT_EQ(CleanSearchName("a....b"), "ab");
    EXPECT_EQ(CleanSearchName("x*y?z\\w\"v"), "x y z w v");
    EXPECT_EQ(CleanSearchName("..\\..\\etc/passwd"), "etc passwd");
    EXPECT_EQ(CleanSearchName(""), "");
}

TEST_F(SearchFileSave, cleaned_name_gives_a_file_in_the_program_folder)
{
    const std::string name = CleanSearchName("my.search/2");
    const std::string path = SearchFilePath(dir.path(), name);
    EXPECT_EQ(path, dir.path() + "my search 2.trawl");
    ResultStore store(5000, view, prompts);
    ASSERT_TRUE(SaveSearch(path, Definition(), store).ok());
    EXPECT_THAT(FolderEntries(dir.path()), ::testing::ElementsAre("my search 2.trawl"));
}

TEST_F(SearchFileSave, writes_header_and_records_byte_for_byte)
{
    ResultStore store(5000, view, prompts);
    Fill(store, {
                    Record("2024-03-01", "Bike", "http://v/1.html", "<!--RSS-->nice bike", "Yes"),
                    Record("2024-03-02", "Say \"hi\" \\ now\r\nplease", "http://s/2.html", "line1\nline2"),
                    Record("0000-00-00", "Expired ad", "http://v/3.html"),
                    Record("2024-03-03", "   ", "http://v/4.html"),
                    Record("2024-03-04", "", "http://v/5.html"),
                    Record("", "No date", "u"),
                });
    const std::string path = dir.File("my search.trawl");
    ASSERT_TRUE(SaveSearch(path, Definition(), store).ok());
    EXPECT_EQ(test::ReadFile(path),
              "my search\r\n"
              "vancouver,seattle\r\n"
              "bik,sss\r\n"
              "red bike, blue bike\r\n"
              "b-vancouver/k0l1700287\r\n"
              "644\\b-bikes\r\n"
              "\"2024-03-01\",\"Bike\",\"Vancouver\",\"bicycles\",\"http://v/1.html\",\"<!--RSS-->nice bike\"\r\n"
              "\"2024-03-02\",\"Say \\\"hi\\\" \\\\ now\\nplease\",\"Vancouver\",\"bicycles\",\"http://s/2.html\","
              "\"line1\\nline2\"\r\n"
              "\"\",\"No date\",\"Vancouver\",\"bicycles\",\"u\",\"\"\r\n");
}

TEST_F(SearchFileSave, success_marks_results_saved)
{
    ResultStore store(5000, view, prompts);
    Fill(store, {Record("2024-03-01", "Bike")});
    store.SetUnsavedResults(true);
    ASSERT_TRUE(SaveSearch(dir.File("s.trawl"), Definition(), store).ok());
    EXPECT_FALSE(store.UnsavedResults());
    EXPECT_EQ(prompts.Count(), 0u);
}

TEST_F(SearchFileSave, unwritable_places_fail_and_keep_results_unsaved)
{
    ResultStore store(5000, view, prompts);
    Fill(store, {Record("2024-03-01", "Bike")});
    test::WriteFile(dir.File("plain"), "a regular file");
    for (const std::string& path : {dir.File("no such folder/s.trawl"), dir.File("plain/s.trawl")}) {
        store.SetUnsavedResults(true);
        const Status status = SaveSearch(path, Definition(), store);
        EXPECT_FALSE(status.ok()) << path;
        EXPECT_THAT(status.message(), HasSubstr(path));
        EXPECT_TRUE(store.UnsavedResults()) << path;
    }
    EXPECT_EQ(test::ReadFile(dir.File("plain")), "a regular file");
    EXPECT_THAT(FolderEntries(dir.path()), ::testing::ElementsAre("plain"));
}

// A disk that fills up half way (the file size limit stands in for it; it holds even for root).
TEST_F(SearchFileSave, failed_write_keeps_the_old_file_and_leaves_no_temporary)
{
    const std::string path = dir.File("s.trawl");
    test::WriteFile(path, "the old search\r\n");
    ResultStore store(5000, view, prompts);
    std::vector<ResultRecord> many;
    for (int i = 0; i < 200; ++i) {
        many.push_back(Record("2024-03-01", "Bike " + std::to_string(i), "u", std::string(2000, 'x')));
    }
    Fill(store, many);
    store.SetUnsavedResults(true);

    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status status = SaveSearch(path, Definition(), store);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(status.ok());
    EXPECT_EQ(test::ReadFile(path), "the old search\r\n");
    EXPECT_TRUE(store.UnsavedResults());
    EXPECT_THAT(FolderEntries(dir.path()), ::testing::ElementsAre("s.trawl"));

    EXPECT_FALSE(ReportSaveSearchFailure(status, prompts));
    ASSERT_EQ(prompts.Count(), 1u);
    const auto shown = prompts.Shown().front();
    EXPECT_EQ(shown.kind, PromptKind::Error);
    EXPECT_EQ(shown.caption, "Error");
    EXPECT_THAT(shown.text, HasSubstr("The search could not be saved."));
    EXPECT_THAT(shown.text, HasSubstr(status.message()));
    EXPECT_TRUE(ReportSaveSearchFailure(Status::Ok(), prompts));
    EXPECT_EQ(prompts.Count(), 1u);
}

TEST_F(SearchFileSave, line_breaks_in_header_values_do_not_shift_the_layout)
{
    ResultStore store(5000, view, prompts);
    Fill(store, {Record("2024-03-01", "Bike")});
    SearchDefinition definition = Definition();
    definition.Terms = "red\r\nbike\nblue";
    const std::string path = dir.File("s.trawl");
    ASSERT_TRUE(SaveSearch(path, definition, store).ok());

    ResultStore loaded(5000, view, prompts);
    const LoadedSearch read = Load(loaded, path);
    EXPECT_EQ(read.Definition.Terms, "red  bike blue");
    EXPECT_EQ(read.Definition.KJSectionKeys, Definition().KJSectionKeys);
    EXPECT_EQ(loaded.Count(), 1);
}

TEST_F(SearchFileSave, every_field_survives_a_save_and_load)
{
    // Titles and texts the escapes must carry, and links and names that hold quotes, commas and
    // line breaks (a feed can hand over anything).
    std::vector<ResultRecord> records = {
        {"2024-03-01", "Say \"hi\" \\ now\r\nplease", "Van, BC", "bikes", "http://v/1?a=\"b\"", "one\rtwo\nthree\ffour",
         ""},
        {"2024-03-02", "C:\\", "City\\", "Sec\"tion", "http://v/2\n", "ends in \\", ""},
        {"2024-03-03", "C:\\new folder \xff", "  padded  ", "s", "u", "", ""},
    };
    ResultStore store(5000, view, prompts);
    Fill(store, records);
    const std::string path = dir.File("s.trawl");
    ASSERT_TRUE(SaveSearch(path, Definition(), store).ok());

    ResultStore loaded(5000, view, prompts);
    const LoadedSearch read = Load(loaded, path);
    EXPECT_EQ(read.Definition, Definition());
    records[0].FullText = "one\r\ntwo\r\nthree\r\nfour";
    records[1].URI = "http://v/2\r\n";
    EXPECT_EQ(test::Records(loaded), records);
}

} // namespace
} // namespace trawl

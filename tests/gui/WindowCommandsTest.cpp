// The commands on a list of results: sorting by a header, Delete, Clear, the two outputs with their
// scope question, and Load and Save through the file dialogs.

#include "GuiSupport.h"
#include "app/FileLock.h"
#include "app/TextUtil.h"
#include "results/ResultStore.h"
#include "ui/DiagnosticsPage.h"
#include "ui/ResultsPage.h"
#include "ui/SearchSettingsPage.h"

#include <QHeaderView>
#include <QTest>

using namespace trawl;
using namespace trawl::gui;
using trawl::ui::MainWindow;

namespace {

const std::string k50(50, 'x');
const std::string k51(51, 'x');

// Five stored ads, in this store order.
std::vector<StoredAd> FiveAds()
{
    return {
        {"2024-03-02", "bravo bike", "Toronto", "Bikes", "http://toronto.craigslist.ca/bik/2.html", k51},
        {"2024-03-05", "Alpha bike", "Ottawa", "Bikes", "http://ottawa.kijiji.ca/c-bikes-W0QQAdIdZ5", k50},
        {"2024-03-01", "delta bike", "Toronto", "Bikes", "http://toronto.craigslist.ca/bik/4.html", "<!--RSS-->" + k51},
        {"2024-03-04", "charlie bike", "Ottawa", "Bikes", "http://ottawa.kijiji.ca/c-bikes-W0QQAdIdZ3", ""},
        {"2024-03-03", "echo bike", "Toronto", "Bikes", "http://toronto.craigslist.ca/bik/1.html", ""},
    };
}

QStringList Column(MainWindow& window, int column)
{
    QStringList texts;
    for (int row = 0; row < window.model().rowCount(); ++row) {
        texts << window.model().index(row, column).data().toString();
    }
    return texts;
}

void ClickHeader(MainWindow& window, int column)
{
    QHeaderView* header = &window.resultsPage().header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
    QVERIFY(WaitUntil([&] { return !window.Rebuilding(); }));
}

void SelectRows(MainWindow& window, std::initializer_list<int> rows)
{
    auto* selection = window.resultsPage().list.selectionModel();
    selection->clear();
    for (const int row : rows) {
        selection->select(window.model().index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

WindowHarness LoadedHarness(std::vector<std::string> settings = {})
{
    settings.insert(settings.end(), {"CurrentSearchName: bikes", "DiscardSearches: 0"});
    return WindowHarness(settings);
}

} // namespace

class WindowCommandsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stored_results_show_in_store_order_with_their_full_text_cells();
    void header_sort_delete_and_clear_rebuild_the_list();
    void outputs_write_the_selected_rows_or_ask_about_new_ones();
    void save_and_load_go_through_the_program_folder_by_name();
    void saving_over_a_file_another_run_saved_keeps_that_runs_results();
};

void WindowCommandsTest::stored_results_show_in_store_order_with_their_full_text_cells()
{
    WindowHarness harness = LoadedHarness();
    WriteSearchFile(harness.home.path(), "bikes", FiveAds());
    MainWindow& window = harness.Open();
    QCOMPARE(window.model().rowCount(), 5);
    QCOMPARE(Column(window, 1), QStringList({"bravo bike", "Alpha bike", "delta bike", "charlie bike", "echo bike"}));
    // Over 50 characters of text: "Yes", or "RSS" for a feed's text; exactly 50 shows nothing.
    QCOMPARE(Column(window, 4), QStringList({"Yes", "", "RSS", "", ""}));
    QCOMPARE(window.searchName().text(), QStringLiteral("bikes"));
    QCOMPARE(window.searchPage().terms.text(), QStringLiteral("bike"));
    QCOMPARE(window.diagnosticsPage().total.text(), QStringLiteral("5"));
    QCOMPARE(window.diagnosticsPage().newResults.text(), QStringLiteral("0"));
    QVERIFY(FindItem(window.searchPage().clCities, {"North America", "Canada", "Toronto"})->checkState(0) ==
            Qt::Checked);
    QVERIFY(FindItem(window.searchPage().kjCities, {"Canada", "Quebec", "Montreal"})->checkState(0) == Qt::Unchecked);
    QVERIFY(!window.store().UnsavedResults());
}

void WindowCommandsTest::header_sort_delete_and_clear_rebuild_the_list()
{
    WindowHarness harness = LoadedHarness();
    WriteSearchFile(harness.home.path(), "bikes", FiveAds());
    MainWindow& window = harness.Open();

    ClickHeader(window, 1); // Title, letters without regard to case
    QCOMPARE(Column(window, 1), QStringList({"Alpha bike", "bravo bike", "charlie bike", "delta bike", "echo bike"}));
    QCOMPARE(Column(window, 4), QStringList({"", "Yes", "", "RSS", ""})); // cells move with their records
    ClickHeader(window, 0);                                               // Date, newest first
    QCOMPARE(Column(window, 0), QStringList({"2024-03-05", "2024-03-04", "2024-03-03", "2024-03-02", "2024-03-01"}));
    ClickHeader(window, 4); // Full Text: nothing happens
    QCOMPARE(Column(window, 0).first(), QStringLiteral("2024-03-05"));
    QCOMPARE(harness.prompts.Count(), 0u);

    SelectRows(window, {1, 3});
    window.resultsPage().list.setFocus();
    QTest::keyClick(&window.resultsPage().list, Qt::Key_Delete);
    QVERIFY(WaitUntil([&] { return !window.Rebuilding(); }));
    QCOMPARE(Column(window, 1), QStringList({"Alpha bike", "echo bike", "delta bike"}));
    QCOMPARE(window.store().Count(), 3);
    QCOMPARE(harness.prompts.Count(), 0u); // Delete asks nothing

    harness.prompts.QueueAnswer(PromptAnswer::No);
    QTest::mouseClick(&window.resultsPage().clear, Qt::LeftButton);
    QCOMPARE(harness.prompts.Lines().back(),
             std::string("Warning: Are you sure you want to premanently delete your search results?"));
    QCOMPARE(window.model().rowCount(), 3);
    harness.prompts.QueueAnswer(PromptAnswer::Yes);
    QTest::mouseClick(&window.resultsPage().clear, Qt::LeftButton);
    QVERIFY(WaitUntil([&] { return !window.Rebuilding(); }));
    QCOMPARE(window.model().rowCount(), 0);
    QCOMPARE(window.store().Count(), 0);
    QCOMPARE(window.diagnosticsPage().total.text(), QStringLiteral("5")); // Clear leaves the counters
    const std::size_t asked = harness.prompts.Count();
    QTest::mouseClick(&window.resultsPage().clear, Qt::LeftButton);
    QCOMPARE(harness.prompts.Count(), asked); // an empty list is cleared without a question
}

void WindowCommandsTest::outputs_write_the_selected_rows_or_ask_about_new_ones()
{
    WindowHarness harness = LoadedHarness({"MaxThreads: 2"});
    WriteSearchFile(harness.home.path(), "bikes", FiveAds());
    MainWindow& window = harness.Open();
    const std::string csv = harness.home.File("out.csv");

    // Only stored records: no question, everything; one selected row counts as none.
    SelectRows(window, {2});
    harness.files.Answer(csv);
    QTest::mouseClick(&window.resultsPage().outputCsv, Qt::LeftButton);
    QCOMPARE(SplitPlain(test::ReadFile(csv), '\n').size(), 7u); // header, five lines, the end
    const ui::FileRequest& request = harness.files.requests.back();
    QVERIFY(request.save);
    QCOMPARE(request.title, QStringLiteral("Please select a CSV file"));
    QCOMPARE(request.filterDescription, QStringLiteral("All CSV files (*.csv)"));
    QCOMPARE(request.initialName, QStringLiteral("bikes.csv"));
    QCOMPARE(request.defaultSuffix, QStringLiteral("csv"));
    QCOMPARE(request.initialFolder.toStdString(), harness.home.path());

    // Two rows: exactly their records.
    SelectRows(window, {0, 4});
    harness.files.Answer(csv);
    QTest::mouseClick(&window.resultsPage().outputCsv, Qt::LeftButton);
    const std::string two = test::ReadFile(csv);
    QVERIFY(two.find("bravo bike") != std::string::npos && two.find("echo bike") != std::string::npos);
    QCOMPARE(SplitPlain(two, '\n').size(), 4u);

    // A cancelled CSV dialog says so; a cancelled HTML dialog says nothing.
    harness.files.Answer("");
    QTest::mouseClick(&window.resultsPage().outputCsv, Qt::LeftButton);
    QCOMPARE(harness.prompts.Lines().back(), std::string("Aborted: Save cancelled. CSV file has NOT been saved."));
    const std::size_t before = harness.prompts.Count();
    harness.files.Answer("");
    QTest::mouseClick(&window.resultsPage().viewHtml, Qt::LeftButton);
    QCOMPARE(harness.prompts.Count(), before);

    // New records beside old ones: the question, and Yes keeps the new ones only.
    window.searchPage().selection().ClearAllCities();
    Tick(window.searchPage().clCities, {"North America", "Canada", "Toronto"});
    QVERIFY(RunSearch(window, QStringLiteral("table")));
    const int added = window.store().Count() - 5;
    QVERIFY(added > 1);
    window.resultsPage().list.clearSelection();
    harness.prompts.QueueAnswer(PromptAnswer::Yes);
    const std::string html = harness.home.File("page.html");
    harness.files.Answer(html);
    QTest::mouseClick(&window.resultsPage().viewHtml, Qt::LeftButton);
    QCOMPARE(harness.prompts.Shown().back().caption, std::string("Select Scope"));
    QCOMPARE(harness.prompts.Shown().back().text, "Would you like to view only the " + std::to_string(added) +
                                                      " new records? (If not, everything will be included in the "
                                                      "file).");
    QCOMPARE(harness.shell.Opened().back(), html);
    const std::string page = test::ReadFile(html);
    QVERIFY(page.find("bravo bike") == std::string::npos);
    QCOMPARE(harness.files.requests.back().title, QStringLiteral("Please select an HTML file"));

    harness.prompts.QueueAnswer(PromptAnswer::Cancel);
    QTest::mouseClick(&window.resultsPage().outputCsv, Qt::LeftButton);
    QCOMPARE(harness.prompts.Lines().back(), std::string("Aborted: Save cancelled. CSV file has NOT been saved."));
}

void WindowCommandsTest::save_and_load_go_through_the_program_folder_by_name()
{
    WindowHarness harness = LoadedHarness();
    WriteSearchFile(harness.home.path(), "bikes", FiveAds());
    WriteSearchFile(harness.home.path(), "tables", {FiveAds().front()}, "table");
    MainWindow& window = harness.Open();

    // A name chosen in another folder is saved in the program folder under its cleaned name.
    harness.files.Answer("/somewhere/else/my.search.trawl");
    QTest::mouseClick(&window.saveButton(), Qt::LeftButton);
    QCOMPARE(window.searchName().text(), QStringLiteral("my search"));
    const std::string saved = test::ReadFile(harness.home.File("my search.trawl"));
    QVERIFY(saved.starts_with("my search\r\nhttp://toronto.craigslist.ca/\r\nbik\r\nbike\r\n"));
    QCOMPARE(SplitPlain(saved, '\n').size(), 12u);
    QVERIFY(test::ReadFile(harness.home.File("trawlkit.ini")).find("CurrentSearchName: my search\r\n") !=
            std::string::npos);
    QCOMPARE(harness.files.requests.back().title, QStringLiteral("Please select a search file"));
    QCOMPARE(harness.files.requests.back().filterDescription, QStringLiteral("All Trawlkit Searches (*.trawl)"));
    QCOMPARE(harness.files.requests.back().initialName, QStringLiteral("bikes.trawl"));

    harness.files.Answer("");
    QTest::mouseClick(&window.saveButton(), Qt::LeftButton);
    QCOMPARE(harness.prompts.Lines().back(), std::string("Aborted: Save cancelled. Searches have NOT been saved."));

    // Unsaved results: Load asks first, and No keeps them.
    QVERIFY(RunSearch(window, QStringLiteral("table")));
    QVERIFY(window.store().UnsavedResults());
    const int searched = window.store().Count();
    harness.prompts.QueueAnswer(PromptAnswer::No);
    QTest::mouseClick(&window.loadButton(), Qt::LeftButton);
    QCOMPARE(harness.prompts.Shown().back().caption, std::string("Warning"));
    QCOMPARE(window.store().Count(), searched);

    harness.prompts.QueueAnswer(PromptAnswer::Yes);
    harness.files.Answer("/another/folder/tables.trawl");
    QTest::mouseClick(&window.loadButton(), Qt::LeftButton);
    QVERIFY(WaitUntil([&] { return !window.Rebuilding(); }));
    QCOMPARE(window.searchName().text(), QStringLiteral("tables"));
    QCOMPARE(window.model().rowCount(), 1);
    QCOMPARE(window.searchPage().terms.text(), QStringLiteral("table"));
    QCOMPARE(window.diagnosticsPage().newResults.text(), QStringLiteral("0"));

    // A name without a file: the warning, and nothing changes. (Loading leaves the results unsaved,
    // so the question comes again.)
    harness.prompts.QueueAnswer(PromptAnswer::Yes);
    harness.files.Answer(harness.home.File("nothing here.trawl"));
    QTest::mouseClick(&window.loadButton(), Qt::LeftButton);
    QVERIFY(WaitUntil([&] { return !window.Rebuilding(); }));
    QCOMPARE(harness.prompts.Lines().back(),
             std::string("Warning: \"nothing here\" can't be found. Perhaps it is a new search?"));
    QCOMPARE(window.model().rowCount(), 1);
}

void WindowCommandsTest::saving_over_a_file_another_run_saved_keeps_that_runs_results()
{
    WindowHarness harness = LoadedHarness();
    WriteSearchFile(harness.home.path(), "bikes", FiveAds());
    MainWindow& window = harness.Open();
    QCOMPARE(window.model().rowCount(), 5);
    QVERIFY(RunSearch(window, QStringLiteral("bike")));
    const int searched = window.store().Count();
    QVERIFY(searched > 5);

    // Meanwhile a batch run saved two ads of its own to the file, and another one holds it now.
    std::vector<StoredAd> batch = FiveAds();
    batch.push_back({"2024-03-06", "foxtrot bike", "Toronto", "Bikes", "http://toronto.craigslist.ca/bik/6.html", ""});
    batch.push_back({"2024-03-07", "golf bike", "Toronto", "Bikes", "http://toronto.craigslist.ca/bik/7.html", ""});
    WriteSearchFile(harness.home.path(), "bikes", batch);
    const std::string path = harness.home.File("bikes.trawl");
    const std::string batchSaved = test::ReadFile(path);
    FileLock other;
    const std::atomic<int> never{0};
    QVERIFY(other.Acquire(path, *harness.clock, 0, never).ok());

    harness.files.Answer(path);
    QTest::mouseClick(&window.saveButton(), Qt::LeftButton);
    QCOMPARE(harness.prompts.Lines().back(),
             "Error: The search could not be saved.\n\n'" + path +
                 "' is in use by another run of Trawlkit. Save again once it has finished.");
    QCOMPARE(test::ReadFile(path), batchSaved);
    QVERIFY(window.store().UnsavedResults());

    // Once it has let go, the save takes the batch run's two ads in (before, it wrote the window's list
    // over them), and a second save has nothing more to take in.
    other.Release();
    harness.files.Answer(path);
    QTest::mouseClick(&window.saveButton(), Qt::LeftButton);
    QCOMPARE(window.store().Count(), searched + 2);
    QCOMPARE(window.model().rowCount(), searched + 2);
    const std::string saved = test::ReadFile(path);
    QVERIFY(saved.find("/bik/6.html") != std::string::npos && saved.find("/bik/7.html") != std::string::npos);
    QCOMPARE(SplitPlain(saved, '\n').size(), static_cast<std::size_t>(6 + searched + 2 + 1));
    QVERIFY(!window.store().UnsavedResults());
    harness.files.Answer(path);
    QTest::mouseClick(&window.saveButton(), Qt::LeftButton);
    QCOMPARE(window.store().Count(), searched + 2);
}

QTEST_MAIN(WindowCommandsTest)
#include "WindowCommandsTest.moc"

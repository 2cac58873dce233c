// The window doing the main job: ticked trees to a filled list, the Diagnostics page while it runs,
// abort, deep scan, and what the list does with the results afterwards.

#include "GuiSupport.h"
#include "app/AtomicFile.h"
#include "app/WaitFlag.h"
#include "results/ResultStore.h"
#include "ui/DiagnosticsPage.h"
#include "ui/ResultsPage.h"
#include "ui/SearchSettingsPage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTest>

using namespace trawl;
using namespace trawl::gui;
using trawl::ui::MainWindow;

namespace {

// Toronto on Craigslist and Ottawa on Kijiji, the bikes sections of both (the Kijiji one follows the
// Craigslist one by the sites' sync).
void TickBikesInTwoCities(MainWindow& window)
{
    ui::SearchSettingsPage& page = window.searchPage();
    window.tabs().setCurrentIndex(MainWindow::SearchSettingsTab);
    QTest::mouseClick(&page.clearAllCities, Qt::LeftButton);
    Tick(page.clCities, {QStringLiteral("North America"), QStringLiteral("Canada"), QStringLiteral("Toronto")});
    Tick(page.kjCities, {QStringLiteral("Canada"), QStringLiteral("Ontario"), QStringLiteral("Ottawa")});
    Tick(page.clSections, {QStringLiteral("For Sale (All)"), QStringLiteral("Bikes")});
}

} // namespace

class WindowSearchTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void search_from_ticked_trees_fills_the_list_newest_first_and_counts_on_diagnostics();
    void sites_that_answer_without_saying_anything_are_told_on_their_rows_and_in_the_status();
    void new_ads_found_while_the_window_is_away_are_told_by_a_notification_that_brings_it_back();
    void a_watched_search_repeats_by_itself_saves_after_each_run_and_stops_when_the_window_closes();
};

void WindowSearchTest::search_from_ticked_trees_fills_the_list_newest_first_and_counts_on_diagnostics()
{
    WindowHarness harness({"MaxThreads: 4"});
    MainWindow& window = harness.Open();
    TickBikesInTwoCities(window);
    ui::SearchSettingsPage& page = window.searchPage();
    QVERIFY2(
        FindItem(page.kjSections, {QStringLiteral("Buy And Sell (All)"), QStringLiteral("Bikes")})->checkState(0) ==
            Qt::Checked,
        "the Kijiji section followed the Craigslist one");
    page.terms.setText(QStringLiteral("bike,table"));
    SaveScreenshot(window, QStringLiteral("page2-search-settings"));

    QTest::mouseClick(&page.go, Qt::LeftButton);
    QCOMPARE(window.tabs().currentIndex(), int(MainWindow::ResultsTab));
    QCOMPARE(window.resultsPage().go.text(), QStringLiteral("Abort"));
    QVERIFY(!window.loadButton().isEnabled());
    QVERIFY(!page.clCities.isEnabled());
    QVERIFY(WaitUntil([&] { return window.flags().SearchRunning.load() == 0; }));
    QVERIFY(WaitUntil([&] { return window.resultsPage().go.text() == QStringLiteral("Go!"); }));
    QVERIFY(window.loadButton().isEnabled());
    QVERIFY(page.clCities.isEnabled());

    // Two cities x two sections (each site its own) x two terms: four feeds, every ad a row.
    const int count = window.store().Count();
    QVERIFY(count > 10);
    QCOMPARE(window.model().rowCount(), count);
    QCOMPARE(window.model().RecordOfRow(0), count); // the last added is on top
    QCOMPARE(window.model().RecordOfRow(count - 1), 1);
    const QString topTitle = RowTexts(window, 0).at(1);
    {
        auto locked = window.store().Lock();
        QCOMPARE(topTitle, QString::fromStdString(std::string(locked.Get(count, Field::Title))));
    }
    ui::DiagnosticsPage& diagnostics = window.diagnosticsPage();
    QCOMPARE(diagnostics.total.text(), QString::number(count));
    QCOMPARE(diagnostics.newResults.text(), QString::number(count));
    QVERIFY(diagnostics.bytes.text() != QStringLiteral("0"));
    QCOMPARE(window.progress().value(), 1000);
    QVERIFY(window.store().UnsavedResults());
    SaveScreenshot(window, QStringLiteral("page1-search-results"));
    window.tabs().setCurrentIndex(MainWindow::DiagnosticsTab);
    SaveScreenshot(window, QStringLiteral("page4-diagnostics"));
}

void WindowSearchTest::sites_that_answer_without_saying_anything_are_told_on_their_rows_and_in_the_status()
{
    WindowHarness harness({"MaxThreads: 4"});
    // Craigslist blocks us; Kijiji answers with a page of a layout the program does not know.
    harness.server.AddRoute("toronto.craigslist.ca", "*", [](const sitesim::SimRequest&) {
        sitesim::SimResponse refused = sitesim::SimResponse::Page("<html>Blocked</html>");
        refused.status = 403;
        refused.reason = "Forbidden";
        return refused;
    });
    harness.server.AddRoute("ottawa.kijiji.ca", "*", [](const sitesim::SimRequest&) {
        return sitesim::SimResponse::Page("<html>We changed our pages</html>");
    });
    MainWindow& window = harness.Open();
    TickBikesInTwoCities(window);
    QVERIFY(RunSearch(window, QStringLiteral("bike")));
    QCOMPARE(window.store().Count(), 0);

    // The status strip says which site gave nothing and why, whatever page is shown ...
    QVERIFY(window.progress().isTextVisible());
    QCOMPARE(window.progress().format(), QStringLiteral("Craigslist: 1 of 1 feed failed (1 refused by the site).   "
                                                        "Kijiji: 1 of 1 feed failed (1 layout not recognised)."));
    // ... and the workers' rows keep saying it, in red.
    ui::DiagnosticsPage& diagnostics = window.diagnosticsPage();
    QStringList rows{diagnostics.row(1).searchDetail.text(), diagnostics.row(2).searchDetail.text()};
    rows.sort();
    QCOMPARE(rows, (QStringList{QStringLiteral("Layout not recognised (Ottawa)"),
                                QStringLiteral("Refused by the site (Toronto)")}));
    window.tabs().setCurrentIndex(MainWindow::DiagnosticsTab);
    SaveScreenshot(window, QStringLiteral("page4-diagnostics-silent-sites"));
}

void WindowSearchTest::new_ads_found_while_the_window_is_away_are_told_by_a_notification_that_brings_it_back()
{
    WindowHarness harness({"MaxThreads: 4", "AutoDeepScan: 1", "MaxThreads2: 4"});
    MainWindow& window = harness.Open();
    TickBikesInTwoCities(window);
    // The user works in another window meanwhile.
    QWidget elsewhere;
    elsewhere.show();
    const auto goElsewhere = [&] {
        QApplication::setActiveWindow(&elsewhere);
        return WaitUntil([&] { return !window.isActiveWindow(); });
    };
    QVERIFY(goElsewhere());
    QVERIFY(RunSearch(window, QStringLiteral("bike")));
    QVERIFY(WaitUntil([&] { return window.flags().ScanRunning.load() == 0; }));
    // One notification for the run, once its deep scan has fetched the ads too.
    QVERIFY(WaitUntil([&] { return !harness.notifier.shown.empty(); }));
    QCOMPARE(harness.notifier.shown.size(), std::size_t{1});
    const int found = window.store().Count();
    QVERIFY(found > 1);
    QCOMPARE(harness.notifier.shown[0].title, std::string("Trawlkit"));
    QCOMPARE(harness.notifier.shown[0].text, "The search default found " + std::to_string(found) + " new ads.");
    harness.notifier.shown[0].activated();
    QVERIFY(WaitUntil([&] { return window.isActiveWindow(); }));

    // Found while the user looks at the window, or nothing new: nothing to tell.
    QVERIFY(RunSearch(window, QStringLiteral("table")));
    QVERIFY(WaitUntil([&] { return window.flags().ScanRunning.load() == 0; }));
    QVERIFY(goElsewhere());
    QVERIFY(RunSearch(window, QStringLiteral("bike")));
    QVERIFY(WaitUntil([&] { return window.flags().ScanRunning.load() == 0; }));
    QTest::qWait(100);
    QCOMPARE(harness.notifier.shown.size(), std::size_t{1});

    // A desktop without a notification service: nothing is shown and nothing breaks.
    harness.notifier.available = false;
    QVERIFY(RunSearch(window, QStringLiteral("lamp")));
    QVERIFY(WaitUntil([&] { return window.flags().ScanRunning.load() == 0; }));
    QVERIFY(window.store().Count() > found);
    QCOMPARE(harness.notifier.shown.size(), std::size_t{1});
}

void WindowSearchTest::a_watched_search_repeats_by_itself_saves_after_each_run_and_stops_when_the_window_closes()
{
    test::FakeClock clock; // the ten minutes between runs pass on virtual time
    WindowHarness harness({"MaxThreads: 4", "WatchMinutes: 10"});
    harness.clock = &clock;
    MainWindow& window = harness.Open();
    TickBikesInTwoCities(window);
    QVERIFY(RunSearch(window, QStringLiteral("bike")));
    window.tabs().setCurrentIndex(MainWindow::DiagnosticsTab);
    const std::size_t perRun = harness.server.RequestCount();
    QVERIFY(perRun > 0);
    // Runs start by themselves, each saved as Save would save it, without a dialog.
    const std::string file = harness.home.File("default.trawl");
    QVERIFY(WaitUntil([&] { return harness.server.RequestCount() >= 3 * perRun && FileExists(file); }));
    QVERIFY(harness.files.requests.empty());
    QCOMPARE(window.tabs().currentIndex(), int(MainWindow::DiagnosticsTab)); // the user's page stays
    QVERIFY(test::ReadFile(file).find("\r\nbike\r\n") != std::string::npos);
    // Closing ends the watch and any run under way; nothing is left running.
    harness.Close();
    const std::size_t afterClose = harness.server.RequestCount();
    QTest::qWait(300);
    QCOMPARE(harness.server.RequestCount(), afterClose);

    // On the real clock the page says when the next run starts; a close during the wait ends it at once.
    WindowHarness waiting({"MaxThreads: 4", "WatchMinutes: 15"});
    MainWindow& second = waiting.Open();
    TickBikesInTwoCities(second);
    QVERIFY(RunSearch(second, QStringLiteral("bike")));
    second.tabs().setCurrentIndex(MainWindow::DiagnosticsTab);
    const TimeOfDay now = waiting.systemClock.Now();
    QStringList expected; // planned this minute, or in the one before if a minute has just begun
    for (const int back : {0, 1}) {
        const int at = (now.hour * 60 + now.minute + 15 - back + 24 * 60) % (24 * 60);
        expected << QStringLiteral("Watching default: the next run starts at %1:%2.")
                        .arg(at / 60, 2, 10, QLatin1Char('0'))
                        .arg(at % 60, 2, 10, QLatin1Char('0'));
    }
    QVERIFY2(expected.contains(second.diagnosticsPage().watchStatus.text()),
             qPrintable(second.diagnosticsPage().watchStatus.text()));
    SaveScreenshot(second, QStringLiteral("page4-diagnostics-watching"));
    QElapsedTimer closing;
    closing.start();
    waiting.Close();
    QVERIFY(closing.elapsed() < 1000);
}

QTEST_MAIN(WindowSearchTest)
#include "WindowSearchTest.moc"

// The window's life around a search: abort, deep scan, resizing, the tree rule, focus, and closing
// while a worker waits on a message box.

#include "GuiSupport.h"
#include "net/NameResolver.h"
#include "support/LoopbackNameServer.h"
#include "results/ResultStore.h"
#include "ui/DiagnosticsPage.h"
#include "ui/PageLayout.h"
#include "ui/QtPrompts.h"
#include "ui/ResultsPage.h"
#include "ui/SearchSettingsPage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace trawl;
using namespace trawl::gui;
using trawl::ui::MainWindow;

namespace {

void TickTorontoBikes(MainWindow& window)
{
    ui::SearchSettingsPage& page = window.searchPage();
    page.selection().ClearAllCities();
    Tick(page.clCities, {"North America", "Canada", "Toronto"});
    Tick(page.clSections, {"For Sale (All)", "Bikes"});
}

} // namespace

class WindowLifecycleTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void abort_keeps_abort_until_the_workers_have_ended();
    void deep_scan_fills_the_full_text_column_and_says_when_nothing_is_left();
    void a_narrow_window_grows_to_the_minimum_and_snaps_back_when_dragged_smaller();
    void with_one_site_off_its_trees_are_hidden_and_the_others_fill_the_page();
    void focus_comes_back_to_its_control_when_the_window_is_active_again();
    void closing_during_a_search_answers_the_box_a_worker_waits_on();
    void closing_while_a_worker_waits_on_a_dead_name_server_ends_at_once();
    void the_update_check_starts_with_the_window_and_offers_a_newer_version();
};

void WindowLifecycleTest::abort_keeps_abort_until_the_workers_have_ended()
{
    WindowHarness harness({"MaxThreads: 2"});
    sitesim::Knobs slow;
    slow.latencyMs = 300;
    harness.server.SetGlobalKnobs(slow);
    MainWindow& window = harness.Open();
    const std::size_t requestsBefore = harness.server.RequestCount();
    TickTorontoBikes(window);
    window.searchPage().terms.setText(QStringLiteral("a,b,c,d,e,f,g,h,i,j,k,l"));
    QTest::mouseClick(&window.searchPage().go, Qt::LeftButton);
    ui::DiagnosticsPage& diagnostics = window.diagnosticsPage();
    QVERIFY(WaitUntil([&] { return !diagnostics.row(2).searchDetail.text().isEmpty(); }));
    window.tabs().setCurrentIndex(MainWindow::DiagnosticsTab);
    SaveScreenshot(window, QStringLiteral("page4-diagnostics-searching"));
    QVERIFY(diagnostics.row(1).searchDetail.text().contains(QStringLiteral("Toronto")));
    QVERIFY(diagnostics.row(3).searchDetail.text().isEmpty()); // MaxThreads 2: slot 3 never works

    QTest::mouseClick(&window.resultsPage().go, Qt::LeftButton); // Abort
    QCOMPARE(window.tabs().currentIndex(), int(MainWindow::ResultsTab));
    QCOMPARE(window.flags().StopSearchRequested.load(), 1);
    QCOMPARE(window.resultsPage().go.text(), QStringLiteral("Abort")); // the workers are still out
    QVERIFY(WaitUntil([&] { return window.resultsPage().go.text() == QStringLiteral("Go!"); }));
    QCOMPARE(window.flags().SearchRunning.load(), 0);
    QVERIFY(window.searchPage().terms.isEnabled());
    QVERIFY(window.progress().value() < 1000);
    QVERIFY(harness.server.RequestCount() - requestsBefore < 12); // twelve jobs, most never asked
    QVERIFY(diagnostics.row(1).searchDetail.text().isEmpty());
}

void WindowLifecycleTest::deep_scan_fills_the_full_text_column_and_says_when_nothing_is_left()
{
    WindowHarness harness({"MaxThreads2: 3"});
    MainWindow& window = harness.Open();
    TickTorontoBikes(window);
    QVERIFY(RunSearch(window, QStringLiteral("bike")));
    const int count = window.store().Count();
    QVERIFY(count > 3);
    sitesim::Knobs slow; // slow enough to see the scan at work
    slow.latencyMs = 100;
    harness.server.SetGlobalKnobs(slow);

    QTest::mouseClick(&window.resultsPage().deepScan, Qt::LeftButton);
    QCOMPARE(window.diagnosticsPage().slotView(), SlotKind::Scan);
    QCOMPARE(window.diagnosticsPage().row(1).label.text(), QStringLiteral("Scan 01:"));
    QVERIFY(WaitUntil([&] { return window.resultsPage().deepScan.text() == QStringLiteral("Abort DS"); }));
    QVERIFY(WaitUntil([&] { return window.flags().ScanRunning.load() == 0; }));
    QVERIFY(WaitUntil([&] { return window.resultsPage().deepScan.text() == QStringLiteral("Deep Scan"); }));
    QVERIFY(WaitUntil([&] { return window.model().CellTextOfRow(count - 1) == QStringLiteral("Yes"); }));
    for (int row = 0; row < count; ++row) {
        QCOMPARE(window.model().CellTextOfRow(row), QStringLiteral("Yes"));
    }
    window.tabs().setCurrentIndex(MainWindow::DiagnosticsTab);
    SaveScreenshot(window, QStringLiteral("page4-diagnostics-scan-view"));

    QTest::mouseClick(&window.resultsPage().deepScan, Qt::LeftButton);
    QCOMPARE(harness.prompts.Lines().back(),
             std::string("No worries: Everything has already been downloaded, so there's no need to do a deep scan."));
    QTest::mouseClick(&window.diagnosticsPage().viewSearch, Qt::LeftButton);
    QCOMPARE(window.diagnosticsPage().row(12).label.text(), QStringLiteral("Search 12:"));
}

void WindowLifecycleTest::a_narrow_window_grows_to_the_minimum_and_snaps_back_when_dragged_smaller()
{
    WindowHarness harness({"Width: 300", "Height: 504"});
    MainWindow& window = harness.Open();
    QCOMPARE(harness.settings.Width, 398);
    QCOMPARE(harness.settings.Height, 500); // the file's height is 4 above the window's
    const ui::DialogUnits& units = window.units();

    window.resize(units.x(200), units.y(100));
    QVERIFY(WaitUntil([&] { return harness.settings.Width == 398 && harness.settings.Height == 313; }));
    QCOMPARE(window.width(), units.x(398 - MainWindow::kFrameWidth));
    QCOMPARE(window.height(), units.y(313 - MainWindow::kFrameHeight));
    // Everything still fits: the last button's right edge inside the list's page.
    ui::ResultsPage& results = window.resultsPage();
    QVERIFY(results.go.geometry().right() < results.width());
    QVERIFY(results.go.geometry().bottom() < results.height());
    QVERIFY(results.deepScan.geometry().left() > results.viewHtml.geometry().right());
    SaveScreenshot(window, QStringLiteral("page1-at-minimum-size"));
    window.tabs().setCurrentIndex(MainWindow::DiagnosticsTab);
    SaveScreenshot(window, QStringLiteral("page4-at-minimum-size"));
    window.tabs().setCurrentIndex(MainWindow::SearchSettingsTab);
    SaveScreenshot(window, QStringLiteral("page2-at-minimum-size"));

    window.resize(units.x(500 - MainWindow::kFrameWidth), units.y(420 - MainWindow::kFrameHeight));
    QVERIFY(WaitUntil([&] { return harness.settings.Width == 500; }));
    QCOMPARE(harness.settings.Height, 420);
    // Title column: W - 253 dialog units.
    QCOMPARE(results.list.columnWidth(ui::ResultListModel::TitleColumn),
             units.x(ui::PageSize::Of(results, units).W - 253));
    harness.Close();
    const std::string ini = test::ReadFile(harness.home.File("trawlkit.ini"));
    QVERIFY(ini.find("Width: 500\r\n") != std::string::npos);
    QVERIFY(ini.find("Height: 424\r\n") != std::string::npos);
    // Opened again, the window has the size it was closed at (it does not grow by 4 units each time).
    harness.Open();
    QCOMPARE(harness.settings.Width, 500);
    QCOMPARE(harness.settings.Height, 420);
}

void WindowLifecycleTest::with_one_site_off_its_trees_are_hidden_and_the_others_fill_the_page()
{
    WindowHarness harness({"SearchCraigslist: 0"});
    MainWindow& window = harness.Open();
    window.tabs().setCurrentIndex(MainWindow::SearchSettingsTab);
    ui::SearchSettingsPage& page = window.searchPage();
    QVERIFY(!page.clCities.isVisible());
    QVERIFY(!page.clSections.isVisible());
    QVERIFY(page.kjCities.isVisible());
    QVERIFY(page.kjSections.isVisible());
    const ui::DialogUnits& units = window.units();
    const ui::PageSize size = ui::PageSize::Of(page, units);
    QCOMPARE(page.kjCities.geometry(), units.rect(2, 5, (size.W - 20) / 2 - 10, size.H - 145));
    QCOMPARE(page.kjSections.geometry().left(), units.x((size.W - 20) / 2));
    SaveScreenshot(window, QStringLiteral("page2-kijiji-only"));

    // Go! takes only the cities of a site that is on.
    page.selection().ClearAllCities();
    Tick(page.clCities, {"North America", "Canada", "Toronto"});
    Tick(page.kjSections, {"Buy And Sell (All)", "Bikes"});
    page.terms.setText(QStringLiteral("bike"));
    QTest::mouseClick(&page.go, Qt::LeftButton);
    QCOMPARE(harness.prompts.Lines().back(),
             std::string("Error: You have not selected any cities or regions to search. Please do that first."));
    QCOMPARE(window.tabs().currentIndex(), int(MainWindow::SearchSettingsTab));
    QCOMPARE(window.flags().SearchRunning.load(), 0);
}

void WindowLifecycleTest::focus_comes_back_to_its_control_when_the_window_is_active_again()
{
    WindowHarness harness;
    MainWindow& window = harness.Open();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.tabs().setCurrentIndex(MainWindow::SearchSettingsTab);
    window.searchPage().terms.setFocus();
    QVERIFY(WaitUntil([&] { return window.focusWidget() == &window.searchPage().terms; }));

    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    window.searchName().setFocus(); // moved while inactive: does not count
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(WaitUntil([&] { return QApplication::focusWidget() == &window.searchPage().terms; }));
}

void WindowLifecycleTest::closing_during_a_search_answers_the_box_a_worker_waits_on()
{
    WindowHarness harness({"MaxThreads: 1"});
    test::FakeClock fakeClock; // the retry countdowns pass at once
    harness.clock = &fakeClock;
    harness.boxes = std::make_unique<ui::QtPrompts>();
    MainWindow& window = harness.Open();
    TickTorontoBikes(window);
    harness.server.Stop(); // every connection is refused: after its retries the worker asks a box

    bool sawBox = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, &closer, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && box->text().startsWith(QStringLiteral("I'm having trouble connecting"))) {
            sawBox = true;
            closer.stop();
            SaveScreenshot(*box, QStringLiteral("box-worker-error"));
            window.close(); // from inside the box's own loop, as a close from the desktop comes
        }
    });
    closer.start(20);
    window.searchPage().terms.setText(QStringLiteral("bike"));
    QTest::mouseClick(&window.searchPage().go, Qt::LeftButton);
    QVERIFY(WaitUntil([&] { return sawBox && !window.isVisible(); }));
    QVERIFY(WaitUntil([&] { return QApplication::activeModalWidget() == nullptr; }));
    QCOMPARE(window.flags().SearchRunning.load(), 0); // the worker was answered and the run ended
    QVERIFY(harness.boxes->IsShutDown());
    harness.window.reset(); // nothing is left to wait for
}

void WindowLifecycleTest::closing_while_a_worker_waits_on_a_dead_name_server_ends_at_once()
{
    WindowHarness harness({"MaxThreads: 1"});
    // The sites are reached through a name that a name server which never answers is asked for.
    test::LoopbackNameServer dead;
    harness.connector = std::make_unique<SocketConnector>(
        std::vector<ConnectToRule>{ConnectToRule{"*", 80, "sites.test", harness.server.port()}},
        std::make_unique<AresResolver>(dead.address()));
    MainWindow& window = harness.Open();
    TickTorontoBikes(window);
    window.searchPage().terms.setText(QStringLiteral("bike"));
    QTest::mouseClick(&window.searchPage().go, Qt::LeftButton);
    QVERIFY(WaitUntil([&] { return dead.queries() > 0; }));

    // The close waits for the worker; the worker gives its look-up up at once rather than at the
    // bound (5.5 s).
    QElapsedTimer closing;
    closing.start();
    harness.Close();
    QVERIFY2(closing.elapsed() < 2000, qPrintable(QString::number(closing.elapsed())));
}

void WindowLifecycleTest::the_update_check_starts_with_the_window_and_offers_a_newer_version()
{
    WindowHarness harness({"CheckForUpdates: 1"});
    harness.world.sites.updateVersion = "2.09"; // the maker's page names a newer version
    sitesim::ServeDemoWorld(harness.server, harness.world);
    harness.prompts.QueueAnswer(PromptAnswer::Yes);
    harness.Open();
    QVERIFY(WaitUntil([&] { return !harness.shell.Opened().empty(); }));
    QCOMPARE(harness.prompts.Lines().front(),
             std::string("Update Available: A new version exists (2.09). Would you like to visit the software's "
                         "homepage?"));
    QCOMPARE(harness.shell.Opened().front(), std::string("http://www.brackenly.com/blog/trawlkit/"));
}

QTEST_MAIN(WindowLifecycleTest)
#include "WindowLifecycleTest.moc"

// The window doing the main job: ticked trees to a filled list, the Diagnostics page while it runs,
// abort, deep scan, and what the list does with the results afterwards.

#include "GuiSupport.h"
#include "app/WaitFlag.h"
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

QTEST_MAIN(WindowSearchTest)
#include "WindowSearchTest.moc"

// Start-up with windows: the first-run setup dialog from an empty program folder into the window,
// its cancel and close paths, and the one-copy rule.

#include "GuiSupport.h"
#include "app/AtomicFile.h"
#include "app/InstanceLock.h"
#include "refdata/ListFiles.h"
#include "ui/Images.h"
#include "ui/QtPrompts.h"
#include "ui/SearchSettingsPage.h"
#include "ui/SetupDialog.h"
#include "ui/WindowStartup.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

using namespace trawl;
using namespace trawl::gui;
using trawl::ui::MainWindow;
using trawl::ui::SetupDialog;

namespace {

// Runs `drive` on the setup dialog once it is on screen (from inside its own loop).
void WhenSetupShows(std::function<void(SetupDialog&)> drive)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, drive = std::move(drive)] {
        if (auto* dialog = qobject_cast<SetupDialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            drive(*dialog);
        }
    });
    timer->start(10);
}

ui::WindowStartup StartupOver(WindowHarness& harness, const std::string& lockPath)
{
    ui::WindowStartupInputs inputs;
    inputs.folder = harness.home.path();
    inputs.instanceLockPath = lockPath;
    return ui::WindowStartup(inputs, ui::WindowSeams{harness.prompts, harness.shell, *harness.clock, *harness.connector,
                                                     harness.files, nullptr, &harness.notifier});
}

bool AnyListFile(const std::string& folder)
{
    for (const ListFile which : kAllListFiles) {
        if (FileExists(folder + std::string(ListFileName(which)))) {
            return true;
        }
    }
    return false;
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void setup_dialog_downloads_the_lists_and_the_window_opens_on_them();
    void cancel_before_the_download_opens_no_window_and_writes_nothing();
    void closing_the_dialog_during_a_run_stops_it_and_leaves_every_list_whole();
    void a_second_copy_ends_with_already_running_when_copies_are_not_allowed();
    void yes_to_the_start_menu_offer_writes_a_desktop_entry_and_is_not_asked_again();
};

void StartupTest::setup_dialog_downloads_the_lists_and_the_window_opens_on_them()
{
    WindowHarness harness({}, false);
    sitesim::Knobs slow; // slow enough to see the run at work
    slow.latencyMs = 15;
    harness.server.SetGlobalKnobs(slow);
    test::TempDir locks;
    ui::WindowStartup startup = StartupOver(harness, locks.File("lock"));
    bool sawSteps = false;
    bool sawFrames = false;
    WhenSetupShows([&](SetupDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Download Sections and Cities"));
        QCOMPARE(dialog.log.toPlainText(), SetupDialog::WarningText());
        QCOMPARE(dialog.begin.text(), QStringLiteral("Begin Download"));
        SaveScreenshot(dialog, QStringLiteral("setup-before"));
        QTest::mouseClick(&dialog.begin, Qt::LeftButton);
        QVERIFY(!dialog.begin.isEnabled() && !dialog.cancel.isEnabled());
        QVERIFY(WaitUntil([&] { return dialog.begin.text() == QStringLiteral("Grabbing CL States"); }));
        sawSteps = true;
        const int firstFrame = dialog.AnimationFrame();
        QVERIFY(WaitUntil([&] { return dialog.AnimationFrame() != firstFrame && dialog.AnimationSite() == 1; }));
        sawFrames = true;
        // The newest line is in sight while the log grows.
        QScrollBar* bar = dialog.log.verticalScrollBar();
        QVERIFY(WaitUntil([&] { return bar->maximum() > 0; }));
        QCOMPARE(bar->value(), bar->maximum());
        SaveScreenshot(dialog, QStringLiteral("setup-during"));
        QVERIFY(WaitUntil([&] { return dialog.begin.text() == QStringLiteral("Start"); }, 60000));
        QVERIFY(dialog.begin.isEnabled());
        QVERIFY(!dialog.cancel.isEnabled());
        QCOMPARE(dialog.DownloadResult(), 1);
        QVERIFY(dialog.log.toPlainText().contains(QStringLiteral("Downloads complete")));
        QCOMPARE(dialog.AnimationSite(), 0); // the picture stops with a finished run
        QCOMPARE(dialog.picture.pixmap().cacheKey(), ui::ImageNamed("HARDLYTHERE").cacheKey());
        QCOMPARE(bar->value(), bar->maximum());
        SaveScreenshot(dialog, QStringLiteral("setup-after"));
        QTest::mouseClick(&dialog.begin, Qt::LeftButton);
    });
    std::unique_ptr<MainWindow> window = startup.OpenWindow();
    QVERIFY(sawSteps && sawFrames);
    QVERIFY(window != nullptr);
    QVERIFY(startup.tables().Complete());
    window->show();
    QVERIFY(FindItem(window->searchPage().clCities, {"North America", "Canada", "Toronto"}) != nullptr);
    QVERIFY(FindItem(window->searchPage().kjSections, {"Buy And Sell (All)", "Bikes"}) != nullptr);
    window->tabs().setCurrentIndex(MainWindow::SearchSettingsTab);
    SaveScreenshot(*window, QStringLiteral("window-after-setup"));
    window.reset();
}

void StartupTest::cancel_before_the_download_opens_no_window_and_writes_nothing()
{
    WindowHarness harness({}, false);
    test::TempDir locks;
    ui::WindowStartup startup = StartupOver(harness, locks.File("lock"));
    WhenSetupShows([](SetupDialog& dialog) { QTest::mouseClick(&dialog.cancel, Qt::LeftButton); });
    QVERIFY(startup.OpenWindow() == nullptr);
    QVERIFY(!AnyListFile(harness.home.path()));
}

void StartupTest::closing_the_dialog_during_a_run_stops_it_and_leaves_every_list_whole()
{
    WindowHarness harness({}, false);
    sitesim::Knobs slow;
    slow.latencyMs = 50;
    harness.server.SetGlobalKnobs(slow);
    test::TempDir locks;
    ui::WindowStartup startup = StartupOver(harness, locks.File("lock"));
    std::size_t requestsAtClose = 0;
    WhenSetupShows([&](SetupDialog& dialog) {
        QTest::mouseClick(&dialog.begin, Qt::LeftButton);
        QVERIFY(WaitUntil([&] { return dialog.begin.text() == QStringLiteral("Grabbing CL Cities"); }));
        requestsAtClose = harness.server.RequestCount();
        dialog.close(); // the close box
    });
    QVERIFY(startup.OpenWindow() == nullptr);
    // The run stopped: at most the request under way when the dialog closed came after it.
    QTest::qWait(300);
    QVERIFY(harness.server.RequestCount() <= requestsAtClose + 1);
    // Finished steps left whole files; the rest were never written.
    const ReferenceTables tables = LoadReferenceLists(harness.home.path());
    QVERIFY(!tables.CLSectionTable.empty());
    QVERIFY(!tables.CLStateTable.empty());
    QVERIFY(!FileExists(harness.home.File("KJsectlist.csv")));
    QVERIFY(!FileExists(harness.home.File("KJcitylist.csv")));
}

void StartupTest::a_second_copy_ends_with_already_running_when_copies_are_not_allowed()
{
    WindowHarness harness({"AllowMultipleInstances: 0"});
    test::TempDir locks;
    InstanceLock first(locks.File("lock"));
    ui::WindowStartup second = StartupOver(harness, locks.File("lock"));
    QVERIFY(second.OpenWindow() == nullptr);
    QCOMPARE(harness.prompts.Lines(),
             std::vector<std::string>{std::string(kAlreadyRunningCaption) + ": " + kAlreadyRunningText});
    first.Release();
    ui::WindowStartup third = StartupOver(harness, locks.File("lock"));
    QVERIFY(third.OpenWindow() != nullptr);
}

void StartupTest::yes_to_the_start_menu_offer_writes_a_desktop_entry_and_is_not_asked_again()
{
    WindowHarness harness({"StartMenu: later"});
    test::TempDir data;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.path()));
    test::TempDir locks;
    harness.prompts.QueueAnswer(PromptAnswer::Yes);
    ui::WindowStartup startup = StartupOver(harness, locks.File("lock"));
    std::unique_ptr<MainWindow> window = startup.OpenWindow();
    QVERIFY(window != nullptr);
    QCOMPARE(harness.prompts.Shown().front().caption, std::string("Start Menu?"));
    const std::string entry = test::ReadFile(data.File("applications/trawlkit.desktop"));
    QVERIFY(entry.starts_with("[Desktop Entry]"));
    QVERIFY(entry.find("Comment=Run the Brackenly Trawlkit") != std::string::npos);
    QCOMPARE(startup.settings().StartMenu, std::string("done"));
    window->close(); // the answer reaches the settings file with the window's close
    window.reset();
    QVERIFY(test::ReadFile(harness.home.File("trawlkit.ini")).find("StartMenu: done\r\n") != std::string::npos);
    qunsetenv("XDG_DATA_HOME");
}

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"

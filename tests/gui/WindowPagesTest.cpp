// The settings page, the template page, context help and the About box.

#include "GuiSupport.h"
#include "app/DefaultTemplates.h"
#include "ui/AboutBox.h"
#include "ui/ContextHelp.h"
#include "ui/DiagnosticsPage.h"
#include "ui/ResultsPage.h"
#include "ui/SearchSettingsPage.h"
#include "ui/SettingsPage.h"
#include "ui/TemplatePage.h"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QLabel>
#include <QTest>
#include <QWhatsThis>
#include <filesystem>

using namespace trawl;
using namespace trawl::gui;
using trawl::ui::MainWindow;

namespace {

std::string Ini(WindowHarness& harness)
{
    return test::ReadFile(harness.home.File("trawlkit.ini"));
}

// The settings file can no longer be replaced: a folder stands where it would go.
void BlockSettingsFile(WindowHarness& harness)
{
    std::filesystem::remove(harness.home.File("trawlkit.ini"));
    std::filesystem::create_directory(harness.home.File("trawlkit.ini"));
}

// Asks for help on `control` as a person does: help mode, then a click on it.
QLabel* HelpOn(MainWindow& window, QWidget& control)
{
    QWhatsThis::enterWhatsThisMode();
    const QPoint at = control.mapToGlobal(QPoint(4, 4));
    QCursor::setPos(at);
    QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(4, 4));
    QWhatsThis::leaveWhatsThisMode();
    QLabel* shown = window.contextHelp().shown();
    if (shown != nullptr && shown->pos() != at + QPoint(25, 25)) {
        qWarning("help shown at %d,%d for a click at %d,%d", shown->x(), shown->y(), at.x(), at.y());
        return nullptr;
    }
    return shown;
}

} // namespace

class WindowPagesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void apply_normalises_flags_bounds_numbers_and_lays_the_trees_out_again();
    void edits_not_applied_are_dropped_when_another_page_is_chosen();
    void a_settings_file_that_cannot_be_written_is_reported_and_nothing_changes();
    void template_save_cancel_and_reset();
    void context_help_shows_each_controls_text_and_nothing_for_a_label();
    void about_box_opens_its_links_and_closes_with_the_window();
};

void WindowPagesTest::apply_normalises_flags_bounds_numbers_and_lays_the_trees_out_again()
{
    WindowHarness harness;
    MainWindow& window = harness.Open();
    window.tabs().setCurrentIndex(MainWindow::TrawlkitSettingsTab);
    ui::SettingsPage& page = window.settingsPage();
    SaveScreenshot(window, QStringLiteral("page3-trawlkit-settings"));
    page.Box(&Settings::SearchCraigslist).setChecked(false);
    page.Box(&Settings::SearchKijiji).setChecked(false);
    page.Box(&Settings::ConfirmSpawn).setChecked(true);
    page.maxResults.setText(QStringLiteral("100"));
    page.maxThreads.setText(QStringLiteral("99"));
    page.maxThreads2.setText(QStringLiteral("letters"));
    page.hostPause.setText(QStringLiteral("90000"));
    page.watch.setText(QStringLiteral("5"));
    page.userAgent.setText(QStringLiteral("  Agent/1.0\nX-Injected: yes"));
    window.searchName().setText(QStringLiteral("renamed"));
    QTest::mouseClick(&page.apply, Qt::LeftButton);

    QVERIFY(page.Box(&Settings::SearchCraigslist).isChecked()); // both off leaves Craigslist on
    QCOMPARE(harness.settings.SearchCraigslist, 1);
    QCOMPARE(harness.settings.SearchKijiji, 0);
    QCOMPARE(harness.settings.ConfirmSpawn, 1);
    QCOMPARE(page.maxResults.text(), QStringLiteral("5000"));
    QCOMPARE(page.maxThreads.text(), QStringLiteral("12"));
    QCOMPARE(page.maxThreads2.text(), QStringLiteral("1"));
    QCOMPARE(harness.settings.MaxThreads2, 1);
    QCOMPARE(page.hostPause.text(), QStringLiteral("60000"));
    QCOMPARE(harness.settings.HostPauseMs, 60000);
    QCOMPARE(page.watch.text(), QStringLiteral("10")); // never more often than every ten minutes
    QCOMPARE(harness.settings.WatchMinutes, 10);
    // As typed, spaces and all, but on one line in the file and in every request.
    QCOMPARE(harness.settings.UserAgent, std::string("  Agent/1.0 X-Injected: yes"));
    QCOMPARE(window.http().UserAgent(), harness.settings.UserAgent);
    QCOMPARE(harness.settings.CurrentSearchName, std::string("renamed"));
    const std::string ini = Ini(harness);
    QVERIFY(ini.find("MaxResults: 5000\r\nMaxThreads: 12\r\nMaxThreads2: 1\r\n") != std::string::npos);
    QVERIFY(ini.find("UserAgent:   Agent/1.0 X-Injected: yes\r\n") != std::string::npos);
    QVERIFY(ini.find("SearchKijiji: 0\r\n") != std::string::npos);
    QVERIFY(ini.find("\r\nHostPauseMs: 60000\r\n") != std::string::npos);
    QCOMPARE(window.store().Capacity(), 25000); // a new size takes effect at the next start or Clear

    window.tabs().setCurrentIndex(MainWindow::SearchSettingsTab);
    QVERIFY(WaitUntil([&] { return window.searchPage().clCities.isVisible(); }));
    QVERIFY(!window.searchPage().kjCities.isVisible());
}

void WindowPagesTest::edits_not_applied_are_dropped_when_another_page_is_chosen()
{
    WindowHarness harness;
    MainWindow& window = harness.Open();
    window.tabs().setCurrentIndex(MainWindow::TrawlkitSettingsTab);
    ui::SettingsPage& page = window.settingsPage();
    page.Box(&Settings::AutoSync).setChecked(false);
    page.maxThreads.setText(QStringLiteral("7"));
    window.tabs().setCurrentIndex(MainWindow::DiagnosticsTab);
    window.tabs().setCurrentIndex(MainWindow::TrawlkitSettingsTab);
    QVERIFY(page.Box(&Settings::AutoSync).isChecked());
    QCOMPARE(page.maxThreads.text(), QStringLiteral("4"));
    page.maxThreads.setText(QStringLiteral("7"));
    QTest::mouseClick(&page.cancel, Qt::LeftButton);
    QCOMPARE(page.maxThreads.text(), QStringLiteral("4"));
    QCOMPARE(harness.settings.MaxThreads, 4);

    // A search disables what it depends on, Apply and Cancel among them.
    window.searchPage().selection().ClearAllCities();
    Tick(window.searchPage().clCities, {"North America", "Canada", "Toronto"});
    Tick(window.searchPage().clSections, {"For Sale (All)", "Bikes"});
    sitesim::Knobs slow;
    slow.latencyMs = 200;
    harness.server.SetGlobalKnobs(slow);
    window.searchPage().terms.setText(QStringLiteral("bike"));
    QTest::mouseClick(&window.searchPage().go, Qt::LeftButton);
    QVERIFY(!page.apply.isEnabled() && !page.cancel.isEnabled());
    QVERIFY(!page.Box(&Settings::SearchKijiji).isEnabled() && !page.Box(&Settings::AutoDeepScan).isEnabled());
    QVERIFY(page.Box(&Settings::AutoSync).isEnabled());
    QVERIFY(WaitUntil([&] { return window.flags().SearchRunning.load() == 0 && page.apply.isEnabled(); }));
    QVERIFY(page.Box(&Settings::AutoDeepScan).isEnabled());
}

void WindowPagesTest::a_settings_file_that_cannot_be_written_is_reported_and_nothing_changes()
{
    WindowHarness harness;
    MainWindow& window = harness.Open();
    BlockSettingsFile(harness);
    window.settingsPage().maxThreads.setText(QStringLiteral("9"));
    QTest::mouseClick(&window.settingsPage().apply, Qt::LeftButton);
    QCOMPARE(harness.prompts.Shown().back().caption, std::string(kSettingsSaveFailureCaption));
    QCOMPARE(harness.settings.MaxThreads, 4); // the settings in force are still those of the file

    window.templatePage().header.setPlainText(QStringLiteral("<html>**ITEM**</html>"));
    QTest::mouseClick(&window.templatePage().save, Qt::LeftButton);
    QCOMPARE(harness.prompts.Shown().back().caption, std::string(kSettingsSaveFailureCaption));
    QCOMPARE(harness.settings.HTMLheader, DefaultTemplate(1));
    std::filesystem::remove(harness.home.File("trawlkit.ini"));
}

void WindowPagesTest::template_save_cancel_and_reset()
{
    WindowHarness harness({"CurrentSearchName: bikes", "DiscardSearches: 0"});
    WriteSearchFile(harness.home.path(), "bikes", {{"2024-03-02", "bravo bike", "Toronto", "Bikes", "http://x/1", ""}});
    MainWindow& window = harness.Open();
    ui::TemplatePage& page = window.templatePage();
    window.tabs().setCurrentIndex(MainWindow::HtmlTemplateTab);
    SaveScreenshot(window, QStringLiteral("page5-html-template"));
    QCOMPARE(page.HeaderText(), DefaultTemplate(1)); // shown and read back byte for byte

    // Enter breaks the line; the template keeps CR LF line ends.
    page.header.setPlainText(QStringLiteral("<html><body>"));
    page.header.moveCursor(QTextCursor::End);
    page.header.setFocus();
    QTest::keyClick(&page.header, Qt::Key_Return);
    QTest::keyClicks(&page.header, QStringLiteral("**ITEM**</body></html>"));
    QCOMPARE(page.HeaderText(), std::string("<html><body>\r\n**ITEM**</body></html>"));

    // Not saved: never used for output, and it survives a tab switch.
    const std::string html = harness.home.File("page.html");
    harness.files.Answer(html);
    QTest::mouseClick(&window.resultsPage().viewHtml, Qt::LeftButton);
    QVERIFY(test::ReadFile(html).starts_with("<html>\r\n<head>"));
    window.tabs().setCurrentIndex(MainWindow::HtmlTemplateTab);
    QCOMPARE(page.HeaderText(), std::string("<html><body>\r\n**ITEM**</body></html>"));

    QTest::mouseClick(&page.save, Qt::LeftButton);
    QCOMPARE(harness.prompts.Lines().back(),
             std::string("Save complete: Your HTML template has been saved and will be used from now on."));
    QCOMPARE(harness.settings.HTMLheader, std::string("<html><body>\r\n**ITEM**</body></html>"));
    QVERIFY(Ini(harness).find("HTMLheader: <html><body>\\n**ITEM**</body></html>\r\n") != std::string::npos);

    page.item.setPlainText(QStringLiteral("edited"));
    harness.prompts.QueueAnswer(PromptAnswer::No);
    QTest::mouseClick(&page.cancel, Qt::LeftButton);
    QCOMPARE(harness.prompts.Shown().back().caption, std::string("Revert Template?"));
    QCOMPARE(page.item.toPlainText(), QStringLiteral("edited"));
    harness.prompts.QueueAnswer(PromptAnswer::Yes);
    QTest::mouseClick(&page.cancel, Qt::LeftButton);
    QCOMPARE(page.ItemText(), DefaultTemplate(2));

    harness.prompts.QueueAnswer(PromptAnswer::Yes);
    QTest::mouseClick(&page.reset, Qt::LeftButton);
    QCOMPARE(harness.prompts.Shown().back().text,
             std::string("Do you want to discard your current HTML template and replace it with the default?"));
    QCOMPARE(page.HeaderText(), DefaultTemplate(1));
    QCOMPARE(harness.settings.HTMLheader, DefaultTemplate(1));
    QVERIFY(Ini(harness).find("HTMLheader: <html>\\n<head>") != std::string::npos); // written at once
}

void WindowPagesTest::context_help_shows_each_controls_text_and_nothing_for_a_label()
{
    WindowHarness harness;
    MainWindow& window = harness.Open();
    window.tabs().setCurrentIndex(MainWindow::SearchSettingsTab);
    // A click inside the tree lands on its viewport: the tree's text is shown.
    QLabel* shown = HelpOn(window, *window.searchPage().clSections.viewport());
    QVERIFY(shown != nullptr);
    QCOMPARE(shown->text(),
             QStringLiteral("This lets you select which Craigslist sections will be searched. Selecting a "
                            "parent section automatically  searches all sections within it."));
    QCOMPARE(shown->palette().color(QPalette::Window), QColor(255, 255, 224));
    SaveScreenshot(*shown, QStringLiteral("context-help"));
    shown->close();

    window.tabs().setCurrentIndex(MainWindow::TrawlkitSettingsTab);
    shown = HelpOn(window, window.settingsPage().Box(&Settings::AutoSync));
    QVERIFY(shown != nullptr);
    QCOMPARE(shown->text(), QStringLiteral("Check this box to have the software automatically attempt to synchronize "
                                           "your city and search sections between Craigslist and Kijiji. It's not "
                                           "perfect, but it will save you time and is recommended."));
    shown->close();
    QVERIFY(HelpOn(window, window.settingsPage().maxThreadsLabel) == nullptr); // a label has no text ...
    QVERIFY(QApplication::activePopupWidget() == nullptr);                     // ... and shows nothing

    window.tabs().setCurrentIndex(MainWindow::DiagnosticsTab);
    shown = HelpOn(window, window.diagnosticsPage().newLabel);
    QVERIFY(shown != nullptr);
    QCOMPARE(shown->text(), QStringLiteral("This tells you how many new results have been retrieved in this session."));
    shown->close();
}

void WindowPagesTest::about_box_opens_its_links_and_closes_with_the_window()
{
    WindowHarness harness;
    MainWindow& window = harness.Open();
    window.tabs().setCurrentIndex(MainWindow::TrawlkitSettingsTab);
    QTest::mouseClick(&window.settingsPage().about, Qt::LeftButton);
    ui::AboutBox* about = window.aboutBox();
    QVERIFY(about != nullptr && about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("About Trawlkit"));
    QVERIFY(!about->isModal());
    QCOMPARE(about->mail.cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(about->web.cursor().shape(), Qt::PointingHandCursor);
    SaveScreenshot(*about, QStringLiteral("about-box"));

    Q_EMIT about->mail.linkActivated(QStringLiteral("mailto:") + QString::fromLatin1(ui::AboutBox::kMailAddress));
    Q_EMIT about->web.linkActivated(QStringLiteral("http://www.brackenly.com"));
    QTest::mouseClick(&about->visit, Qt::LeftButton);
    QCOMPARE(harness.shell.Opened(),
             (std::vector<std::string>{"mailto:trawlkit@brackenly.com", "http://www.brackenly.com",
                                       "http://www.brackenly.com/blog/trawlkit/"}));
    QTest::mouseClick(&about->cool, Qt::LeftButton);
    QVERIFY(WaitUntil([&] { return window.aboutBox() == nullptr; }));

    // The window stays usable while the box is open, and its close takes the box with it.
    QTest::mouseClick(&window.settingsPage().about, Qt::LeftButton);
    QVERIFY(window.aboutBox() != nullptr);
    window.tabs().setCurrentIndex(MainWindow::ResultsTab);
    QCOMPARE(window.tabs().currentIndex(), int(MainWindow::ResultsTab));
    QPointer<ui::AboutBox> open = window.aboutBox();
    harness.Close();
    QVERIFY(WaitUntil([&] { return open == nullptr || !open->isVisible(); }));
}

QTEST_MAIN(WindowPagesTest)
#include "WindowPagesTest.moc"

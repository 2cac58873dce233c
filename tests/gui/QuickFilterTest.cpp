// The quick-filter dialog: what it lists and counts as the user types, its outputs, the view of one
// ad, and typing that comes faster than the filter.

#include "results/QuickFilter.h"

#include "GuiSupport.h"
#include "app/TextUtil.h"
#include "results/ResultStore.h"
#include "ui/QuickFilterDialog.h"
#include "ui/ResultsPage.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

using namespace trawl;
using namespace trawl::gui;
using trawl::ui::MainWindow;
using trawl::ui::QuickFilterDialog;

namespace {

std::vector<StoredAd> Ads()
{
    return {
        {"2024-03-01", "Red bike", "Toronto", "Bikes", "http://toronto.craigslist.ca/bik/1.html", "almost new"},
        {"2024-03-02", "Blue bike", "Toronto", "Bikes", "http://toronto.craigslist.ca/bik/2.html", "broken chain"},
        {"2024-03-03", "Table", "Ottawa", "Bikes", "http://ottawa.kijiji.ca/c-W0QQAdIdZ3", "a red bike stands by"},
        {"2024-03-04", "red", "Ottawa", "Bikes", "http://ottawa.kijiji.ca/c-W0QQAdIdZ4", "bike"},
        {"2024-03-05", "Lamp", "Ottawa", "Bikes", "http://ottawa.kijiji.ca/c-W0QQAdIdZ5", "no match here"},
    };
}

QStringList Titles(QuickFilterDialog& dialog)
{
    QStringList titles;
    QAbstractItemModel* model = dialog.titles.model();
    for (int row = 0; row < model->rowCount(); ++row) {
        titles << model->index(row, 0).data().toString();
    }
    return titles;
}

// Types `text` into the box as a person does and waits for the list to answer its last key.
bool TypeAndWait(QuickFilterDialog& dialog, const QString& text)
{
    dialog.filter.clear();
    QTest::keyClicks(&dialog.filter, text);
    return WaitUntil([&] { return dialog.Answered() == dialog.runner().Requested(); });
}

// Runs `drive` on the dialog once it is open (from inside its own loop), then closes it.
void WhenFilterOpens(MainWindow& window, std::function<void(QuickFilterDialog&)> drive)
{
    QTimer::singleShot(0, &window, [&window, drive = std::move(drive)] {
        QuickFilterDialog* dialog = window.quickFilter();
        QVERIFY(dialog != nullptr);
        QVERIFY(WaitUntil([&] { return dialog->Answered() == dialog->runner().Requested(); }));
        drive(*dialog);
        QTest::mouseClick(&dialog->close, Qt::LeftButton);
    });
}

} // namespace

class QuickFilterTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void terms_exclusions_and_phrases_list_the_matches_last_record_first();
    void outputs_hold_exactly_the_matches_and_a_title_opens_its_ad();
    void a_keystroke_during_a_slow_filter_abandons_it_for_the_newest();
    void opens_only_with_two_results();
    void answers_stay_right_while_the_index_is_built_and_after_records_change();
};

void QuickFilterTest::terms_exclusions_and_phrases_list_the_matches_last_record_first()
{
    WindowHarness harness({"CurrentSearchName: bikes", "DiscardSearches: 0"});
    WriteSearchFile(harness.home.path(), "bikes", Ads());
    MainWindow& window = harness.Open();
    bool drove = false;
    WhenFilterOpens(window, [&](QuickFilterDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Search inside search results"));
        QVERIFY(dialog.isModal());
        QCOMPARE(Titles(dialog), QStringList({"Lamp", "red", "Table", "Blue bike", "Red bike"}));
        QCOMPARE(dialog.count.text(), QStringLiteral("5"));
        SaveScreenshot(dialog, QStringLiteral("quick-filter"));

        QVERIFY(TypeAndWait(dialog, QStringLiteral("RED bike")));
        // Title and text joined: "red" + "bike" match across the two.
        QCOMPARE(Titles(dialog), QStringList({"red", "Table", "Red bike"}));
        QCOMPARE(dialog.count.text(), QStringLiteral("3"));
        QVERIFY(TypeAndWait(dialog, QStringLiteral("bike -broken")));
        QCOMPARE(Titles(dialog), QStringList({"red", "Table", "Red bike"}));
        QVERIFY(TypeAndWait(dialog, QStringLiteral("\"red bike\"")));
        QCOMPARE(Titles(dialog), QStringList({"Table", "Red bike"}));
        QVERIFY(TypeAndWait(dialog, QString()));
        QCOMPARE(dialog.count.text(), QStringLiteral("5"));
        drove = true;
    });
    QTest::mouseClick(&window.resultsPage().filter, Qt::LeftButton);
    QVERIFY(drove);
    QVERIFY(window.quickFilter() == nullptr);
}

void QuickFilterTest::outputs_hold_exactly_the_matches_and_a_title_opens_its_ad()
{
    WindowHarness harness({"CurrentSearchName: bikes", "DiscardSearches: 0", "ConfirmSpawn: 1"});
    WriteSearchFile(harness.home.path(), "bikes", Ads());
    MainWindow& window = harness.Open();
    const std::string csv = harness.home.File("matches.csv");
    const std::string html = harness.home.File("matches.html");
    WhenFilterOpens(window, [&](QuickFilterDialog& dialog) {
        QVERIFY(TypeAndWait(dialog, QStringLiteral("bike -red")));
        QCOMPARE(Titles(dialog), QStringList({"Blue bike"}));
        harness.files.Answer(csv);
        QTest::mouseClick(&dialog.outputCsv, Qt::LeftButton);
        harness.files.Answer(html);
        QTest::mouseClick(&dialog.viewHtml, Qt::LeftButton);
        harness.files.Answer("");
        QTest::mouseClick(&dialog.outputCsv, Qt::LeftButton);

        // The question of the quick-filter view names city and title, not the link.
        harness.prompts.QueueAnswer(PromptAnswer::Yes);
        dialog.titles.setCurrentIndex(dialog.titles.model()->index(0, 0));
        Q_EMIT dialog.titles.doubleClicked(dialog.titles.currentIndex());
        QCOMPARE(harness.prompts.Shown().back().text,
                 std::string("View this Toronto ad in your browser?\r\n\r\nBlue bike"));
    });
    QTest::mouseClick(&window.resultsPage().filter, Qt::LeftButton);
    const std::vector<std::string> lines = SplitPlain(test::ReadFile(csv), '\n');
    QCOMPARE(lines.size(), std::size_t{3}); // the header, one record, the end
    QVERIFY(lines[1].find("Blue bike") != std::string::npos);
    const std::string page = test::ReadFile(html);
    QVERIFY(page.find("Blue bike") != std::string::npos && page.find("Lamp") == std::string::npos);
    QCOMPARE(harness.shell.Opened(), (std::vector<std::string>{html, "http://toronto.craigslist.ca/bik/2.html"}));
    QCOMPARE(harness.prompts.Lines()[harness.prompts.Count() - 2],
             std::string("Aborted: Save cancelled. CSV file has NOT been saved."));
}

void QuickFilterTest::a_keystroke_during_a_slow_filter_abandons_it_for_the_newest()
{
    // Enough long texts that a filter takes a while, so keys come while one runs.
    std::vector<StoredAd> many;
    const std::string text(4000, 'x');
    for (int n = 0; n < 20000; ++n) {
        many.push_back({"2024-03-01", "ad " + std::to_string(n) + (n % 7 == 0 ? " bike" : ""), "Toronto", "Bikes",
                        "http://toronto.craigslist.ca/bik/" + std::to_string(n) + ".html", text});
    }
    WindowHarness harness({"CurrentSearchName: many", "DiscardSearches: 0"});
    WriteSearchFile(harness.home.path(), "many", many);
    MainWindow& window = harness.Open();
    QCOMPARE(window.store().Count(), 20000);
    WhenFilterOpens(window, [&](QuickFilterDialog& dialog) {
        std::vector<long> answered;
        QObject::connect(&dialog.runner(), &ui::FilterRunner::Filtered, &dialog,
                         [&](long request, const QuickFilterResult&) { answered.push_back(request); });
        const long before = dialog.runner().Requested();
        // Every key at once, without waiting: "zz" (nothing), "zzq", ... then "bike".
        for (const QString& typed : {QStringLiteral("zz"), QStringLiteral("zzq"), QStringLiteral("zzqq"),
                                     QStringLiteral("bik"), QStringLiteral("bike")}) {
            dialog.filter.setText(typed);
        }
        QCOMPARE(dialog.runner().Requested(), before + 5);
        QVERIFY(WaitUntil([&] { return dialog.Answered() == before + 5; }));
        QCOMPARE(dialog.Shown(), 20000 / 7 + 1);
        QCOMPARE(answered, std::vector<long>{before + 5}); // the stale ones never reached the list
    });
    QTest::mouseClick(&window.resultsPage().filter, Qt::LeftButton);
}

void QuickFilterTest::opens_only_with_two_results()
{
    WindowHarness harness({"CurrentSearchName: bikes", "DiscardSearches: 0"});
    WriteSearchFile(harness.home.path(), "bikes", {Ads().front()});
    MainWindow& window = harness.Open();
    QTest::mouseClick(&window.resultsPage().filter, Qt::LeftButton); // one result: nothing opens
    QVERIFY(window.quickFilter() == nullptr);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

// The dialog indexes the texts behind the typing; whether a key finds the index caught up, part built,
// or gone stale because a record changed (as a deep scan changes them), the list is the plain answer.
void QuickFilterTest::answers_stay_right_while_the_index_is_built_and_after_records_change()
{
    const std::vector<std::string> words = {"Bike", "vintage", "red", "frame", "9 speed", "caf\xc3\xa9", "-"};
    std::vector<StoredAd> ads;
    for (int n = 0; n < 3000; ++n) {
        std::string text;
        for (int k = 0; k < 6; ++k) {
            text += words[static_cast<std::size_t>((n * 7 + k * 3 + n / 11) % 7)] + (k % 2 ? "" : " ");
        }
        ads.push_back({"2024-03-01", words[static_cast<std::size_t>(n % 7)] + " " + std::to_string(n), "Toronto",
                       "Bikes", "http://toronto.craigslist.ca/bik/" + std::to_string(n) + ".html", text});
    }
    WindowHarness harness({"CurrentSearchName: many", "DiscardSearches: 0"});
    WriteSearchFile(harness.home.path(), "many", ads);
    MainWindow& window = harness.Open();
    bool drove = false;
    WhenFilterOpens(window, [&](QuickFilterDialog& dialog) {
        const auto showsPlain = [&](const QString& typed) {
            const QuickFilterResult plain =
                ApplyQuickFilter(window.store(), ToLowerAscii(TrimSpaces(typed.toStdString())));
            QCOMPARE(dialog.Shown(), plain.count);
            QStringList titles;
            {
                auto locked = window.store().ReadLock();
                for (const int record : plain.records) {
                    titles << QString::fromStdString(std::string(locked.View(record).Title));
                }
            }
            QCOMPARE(Titles(dialog), titles);
        };
        const auto expectPlain = [&](const QString& typed) {
            QVERIFY(TypeAndWait(dialog, typed));
            showsPlain(typed);
        };
        expectPlain(QStringLiteral("bike vin")); // typed at once: the index may be anywhere in its build
        QVERIFY(WaitUntil([&] { return dialog.runner().Indexed(); }));
        for (const QString& typed : {QStringLiteral("bike"), QStringLiteral("bike vintage -red"), QStringLiteral("9 s"),
                                     QStringLiteral("\"red bike\""), QStringLiteral("-e"), QStringLiteral("caf")}) {
            expectPlain(typed);
        }
        // A key at a time with a pause after each, so each key is answered from what the pause learnt
        // of the term before it.
        QVERIFY(TypeAndWait(dialog, QString()));
        for (const QChar key : QStringLiteral("bike vintage -re 9 sp")) {
            QTest::keyClicks(&dialog.filter, QString(key));
            QVERIFY(WaitUntil([&] { return dialog.Answered() == dialog.runner().Requested(); }));
            showsPlain(dialog.filter.text());
            QVERIFY(WaitUntil([&] { return dialog.runner().Rested() == dialog.runner().Requested(); }));
        }
        window.store().Lock().Set(5, Field::FullText, "now a vintage bike"); // the index is stale now
        window.store().Lock().Set(6, Field::Title, "red bike");
        expectPlain(QStringLiteral("vintage bike"));
        QVERIFY(WaitUntil([&] { return dialog.runner().Indexed(); })); // built again after that key
        expectPlain(QStringLiteral("red bike"));
        expectPlain(QStringLiteral("red bike -vintage"));
        drove = true;
    });
    QTest::mouseClick(&window.resultsPage().filter, Qt::LeftButton);
    QVERIFY(drove);
}

QTEST_MAIN(QuickFilterTest)
#include "QuickFilterTest.moc"

// The window's parts that stand between the workers and the widgets: the status view that batches
// the workers' calls, the model's row order, the shell's rule for what it opens, and the pictures.

#include "GuiSupport.h"
#include "results/ResultStore.h"
#include "ui/DbusNotifier.h"
#include "ui/Images.h"
#include "ui/QtShell.h"
#include "ui/QtStatusView.h"
#include "ui/ResultListModel.h"

#include <QPainter>
#include <QTest>
#include <thread>

using namespace trawl;
using namespace trawl::gui;

namespace {

// Keeps what reached the GUI thread, in order.
class RecordingSink final : public ui::StatusSink {
public:
    void ShowCounters(std::int64_t total, std::int64_t newResults, std::int64_t) override
    {
        lastTotal = total;
        lastNew = newResults;
    }
    void ShowSlot(SlotKind kind, int slot, const std::string& text, Light, SiteIcon) override
    {
        if (kind == SlotKind::Search) {
            slotTexts[slot] = text;
        }
    }
    void ShowProgress(int permille) override { progress = permille; }
    void ShowSlotView(SlotKind) override {}
    void ShowGoCaption(const std::string& caption) override { goCaption = caption; }
    void ShowDeepScanCaption(const std::string&) override {}
    void ShowWindowTitle(const std::string&) override {}
    void ShowSiteReport(const std::string&) override {}
    void ShowSearchIdle() override { ++idle; }
    void RowsAdded(const std::vector<ui::RowChange>& rows) override
    {
        ++insertions;
        for (const ui::RowChange& row : rows) {
            added.push_back(row.record);
        }
    }
    void CellsMarked(const std::vector<ui::RowChange>& rows) override { marked += static_cast<int>(rows.size()); }
    void RowsRefilled(int count) override { refills.push_back(count); }

    std::int64_t lastTotal = 0, lastNew = 0;
    std::map<int, std::string> slotTexts;
    int progress = -1;
    std::string goCaption;
    int idle = 0;
    int insertions = 0;
    std::vector<int> added;
    int marked = 0;
    std::vector<int> refills;
};

} // namespace

class WindowPartsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void status_view_hands_many_workers_calls_over_in_order_and_in_batches();
    void model_rows_are_the_refilled_records_with_later_adds_on_top();
    void shell_opens_web_and_mail_addresses_and_files_but_no_other_scheme();
    void every_picture_is_drawn();
    void notifications_without_a_notification_service_show_nothing();
};

void WindowPartsTest::notifications_without_a_notification_service_show_nothing()
{
    // A session bus that is not there (the first use of the bus reads the address).
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/trawlkit-test-bus");
    ui::DbusNotifier notifier;
    bool activated = false;
    QVERIFY(!notifier.Notify("Trawlkit", "The search x found 3 new ads.", [&] { activated = true; }));
    QVERIFY(!activated);
}

void WindowPartsTest::status_view_hands_many_workers_calls_over_in_order_and_in_batches()
{
    RecordingSink sink;
    std::atomic<int> records{0};
    ui::QtStatusView view(sink, [&] { return records.load(); });
    std::mutex storeLock; // the workers report while they hold the store's lock, as AddResult does
    constexpr int kWorkers = 12;
    constexpr int kAdds = 500;
    std::vector<std::thread> workers;
    for (int w = 1; w <= kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < kAdds; ++i) {
                {
                    std::lock_guard lock(storeLock);
                    const int record = records.fetch_add(1) + 1;
                    view.SetTotalResults(record);
                    view.ResultAdded(record, "RSS");
                }
                view.SetSlotText(SlotKind::Search, w, "job " + std::to_string(i));
                view.SetProgress(i);
            }
            view.SetSlotText(SlotKind::Search, w, "");
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    view.SetGoCaption("Go!");
    view.SearchIdle();
    QVERIFY(WaitUntil([&] { return sink.idle == 1; }));

    constexpr int kTotal = kWorkers * kAdds;
    QCOMPARE(int(sink.added.size()), kTotal);
    for (int i = 0; i < kTotal; ++i) {
        QCOMPARE(sink.added[static_cast<std::size_t>(i)], i + 1); // in the order they were added
    }
    QCOMPARE(sink.lastTotal, std::int64_t{kTotal});
    QCOMPARE(sink.goCaption, std::string("Go!"));
    for (int w = 1; w <= kWorkers; ++w) {
        QCOMPARE(sink.slotTexts[w], std::string()); // the last word of every slot
    }
    QVERIFY(sink.insertions < kTotal / 10); // batched, not one insertion per row
    QVERIFY(view.Flushes() < kTotal / 10);

    // A refill covers the records there are when it is reported; adds after it come on top.
    records.store(10);
    view.ResultsRefilled();
    view.ResultAdded(11, "");
    view.FullTextMarked(3, "Yes");
    QCOMPARE(sink.refills, std::vector<int>{10});
    QCOMPARE(sink.added.back(), 11);
    QCOMPARE(sink.marked, 1);
}

void WindowPartsTest::model_rows_are_the_refilled_records_with_later_adds_on_top()
{
    NullStatusView quiet;
    test::RecordingPrompts prompts;
    ResultStore store(100, quiet, prompts);
    for (int n = 1; n <= 5; ++n) {
        store.Lock().AddResult(
            {"2024-01-0" + std::to_string(n), "ad " + std::to_string(n), "", "", "l" + std::to_string(n), "", ""});
    }
    ui::ResultListModel model(store);
    model.Refill(3); // records 1 to 3 in store order ...
    model.AddRows({{4, ui::FullTextCell::Rss}, {5, ui::FullTextCell::Empty}, {2, ui::FullTextCell::Yes}});
    // ... then 4 and 5 on top, newest first; 2 was already shown.
    QCOMPARE(model.rowCount(), 5);
    std::vector<int> order;
    for (int row = 0; row < model.rowCount(); ++row) {
        order.push_back(model.RecordOfRow(row));
        QCOMPARE(model.RowOfRecord(model.RecordOfRow(row)), row);
    }
    QCOMPARE(order, (std::vector<int>{5, 4, 1, 2, 3}));
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("ad 5"));
    QCOMPARE(model.CellTextOfRow(1), QStringLiteral("RSS"));
    model.MarkCells({{1, ui::FullTextCell::Yes}});
    QCOMPARE(model.CellTextOfRow(2), QStringLiteral("Yes"));
    QVERIFY(model.MemoryBytes() <= std::size_t{16} * 5); // within the per-row budget
}

void WindowPartsTest::shell_opens_web_and_mail_addresses_and_files_but_no_other_scheme()
{
    std::vector<QUrl> opened;
    ui::QtShell shell([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    QVERIFY(shell.Open("http://toronto.craigslist.ca/bik/1.html"));
    QVERIFY(shell.Open("https://www.kijiji.ca/v-bikes/2"));
    QVERIFY(shell.Open("toronto.craigslist.ca/bik/3.html")); // a link without its scheme is a web address
    QVERIFY(shell.Open("mailto:someone@example.org"));
    QVERIFY(shell.Open("/tmp/results page.html"));
    for (const char* hostile : {"javascript:alert(1)", "file:///etc/passwd", "ssh://host/", "vbscript:x", ""}) {
        QVERIFY2(!shell.Open(hostile), hostile);
    }
    QCOMPARE(opened.size(), std::size_t{5});
    QCOMPARE(opened[2].toString(), QStringLiteral("http://toronto.craigslist.ca/bik/3.html"));
    QVERIFY(opened[4].isLocalFile());
    QCOMPARE(opened[4].toLocalFile(), QStringLiteral("/tmp/results page.html"));

    // From a worker thread the GUI thread does the opening.
    std::thread([&] { shell.Open("http://www.brackenly.com/blog/trawlkit/"); }).join();
    QVERIFY(WaitUntil([&] { return opened.size() == 6; }));
}

void WindowPartsTest::every_picture_is_drawn()
{
    std::vector<std::string> names{"0L", "HARDLYTHERE", "ICONDARK", "ICONGREEN", "ICONRED", "CRAIGSLIST", "KIJIJI"};
    for (const char* set : {"ICONCRAIGSMAG", "ICONKIJIJIMAG"}) {
        for (int frame = 1; frame <= ui::kMagnifierFrames; ++frame) {
            names.push_back(set + std::string(frame < 10 ? "0" : "") + std::to_string(frame));
        }
    }
    // A sheet of them all, two rows of frames under the icons, for a person to look at.
    QWidget sheet;
    sheet.resize(40 * 12, 40 * 3);
    QPixmap canvas(sheet.size());
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const QPixmap picture = ui::ImageNamed(names[i]);
        QVERIFY2(!picture.isNull(), names[i].c_str());
        const int row = i < 7 ? 0 : (i < 18 ? 1 : 2);
        const int column = i < 7 ? static_cast<int>(i) : static_cast<int>((i - 7) % 11);
        painter.drawPixmap(4 + column * 40, 4 + row * 40, picture);
    }
    QVERIFY(ui::ImageNamed("ICONCRAIGSMAG00").isNull()); // frame 00 is never shown
    QVERIFY(ui::MagnifierFrame(1, 3).toImage() != ui::MagnifierFrame(1, 4).toImage());
    QVERIFY(ui::MagnifierFrame(1, 3).toImage() != ui::MagnifierFrame(2, 3).toImage());
    painter.drawPixmap(4 + 8 * 40, 4, ui::ProgramIcon().pixmap(32, 32));
    painter.end();
    QLabel label;
    label.setPixmap(canvas);
    label.resize(canvas.size());
    SaveScreenshot(label, QStringLiteral("images"));
}

QTEST_MAIN(WindowPartsTest)
#include "WindowPartsTest.moc"

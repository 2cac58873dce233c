#include "ui/QtStatusView.h"

#include <QThread>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace trawl::ui {

FullTextCell CellOfText(std::string_view cellText)
{
    if (cellText == "RSS") {
        return FullTextCell::Rss;
    }
    if (cellText == "Yes") {
        return FullTextCell::Yes;
    }
    return FullTextCell::Empty;
}

const char* CellText(FullTextCell cell)
{
    switch (cell) {
    case FullTextCell::Rss:
        return "RSS";
    case FullTextCell::Yes:
        return "Yes";
    default:
        return "";
    }
}

QtStatusView::QtStatusView(StatusSink& sink, std::function<int()> countOf, QObject* parent)
    : QObject(parent), m_sink(sink), m_countOf(std::move(countOf))
{
}

template <typename Change> void QtStatusView::Note(Change&& change)
{
    if (QThread::currentThread() == thread()) {
        {
            std::lock_guard lock(m_mutex);
            change(m_pending);
        }
        FlushNow();
        return;
    }
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        change(m_pending);
        wake = !m_wakeAsked;
        m_wakeAsked = true;
    }
    if (wake) {
        // By name: the call carries nothing of the worker's; what changed travels under m_mutex.
        QMetaObject::invokeMethod(this, "Flush", Qt::QueuedConnection);
    }
}

QtStatusView::SlotState& QtStatusView::SlotOf(Pending& pending, SlotKind kind, int slot)
{
    const std::size_t row = static_cast<std::size_t>(std::clamp(slot, 1, 12) - 1);
    SlotState& state = pending.slotStates[kind == SlotKind::Search ? 0 : 1][row];
    state.dirty = true;
    pending.slotsDirty = true;
    return state;
}

void QtStatusView::SetTotalResults(std::int64_t count)
{
    Note([&](Pending& p) {
        p.total = count;
        p.countersDirty = true;
    });
}

void QtStatusView::SetNewResults(std::int64_t count)
{
    Note([&](Pending& p) {
        p.newResults = count;
        p.countersDirty = true;
    });
}

void QtStatusView::SetBytesDownloaded(std::int64_t count)
{
    Note([&](Pending& p) {
        p.bytes = count;
        p.countersDirty = true;
    });
}

void QtStatusView::SetSlotText(SlotKind kind, int slot, const std::string& text)
{
    Note([&](Pending& p) { SlotOf(p, kind, slot).text = text; });
}

void QtStatusView::SetSlotLight(SlotKind kind, int slot, Light light)
{
    Note([&](Pending& p) { SlotOf(p, kind, slot).light = light; });
}

void QtStatusView::SetSlotSite(SlotKind kind, int slot, SiteIcon icon)
{
    Note([&](Pending& p) { SlotOf(p, kind, slot).site = icon; });
}

void QtStatusView::SetProgress(int permille)
{
    Note([&](Pending& p) { p.progress = permille; });
}

void QtStatusView::ShowSlotView(SlotKind kind)
{
    Note([&](Pending& p) { p.slotView = kind; });
}

void QtStatusView::SetGoCaption(const std::string& caption)
{
    Note([&](Pending& p) { p.goCaption = caption; });
}

void QtStatusView::SetDeepScanCaption(const std::string& caption)
{
    Note([&](Pending& p) { p.deepScanCaption = caption; });
}

void QtStatusView::SetWindowTitle(const std::string& title)
{
    Note([&](Pending& p) { p.title = title; });
}

void QtStatusView::SetSiteReport(const std::string& report)
{
    Note([&](Pending& p) { p.siteReport = report; });
}

void QtStatusView::SearchIdle()
{
    Note([&](Pending& p) { ++p.idle; });
}

void QtStatusView::ResultAdded(int record, const std::string& fullTextCell)
{
    const FullTextCell cell = CellOfText(fullTextCell);
    Note([&](Pending& p) { p.rows.push_back({RowEvent::Kind::Added, record, cell}); });
}

void QtStatusView::FullTextMarked(int record, const std::string& cell)
{
    const FullTextCell marked = CellOfText(cell);
    Note([&](Pending& p) { p.rows.push_back({RowEvent::Kind::Marked, record, marked}); });
}

void QtStatusView::ResultsRefilled()
{
    // The rows are the records there are now; adds reported after this call come on top of them.
    const int count = m_countOf ? m_countOf() : 0;
    Note([&](Pending& p) { p.rows.push_back({RowEvent::Kind::Refilled, count, FullTextCell::FromStore}); });
}

void QtStatusView::Flush()
{
    // Batches no closer than kMinFlushMs: the event loop stays free for the user however fast the
    // workers report. The wake-up stays asked for until the batch is taken.
    if (m_sinceFlush.isValid() && m_sinceFlush.elapsed() < kMinFlushMs) {
        QTimer::singleShot(static_cast<int>(kMinFlushMs - m_sinceFlush.elapsed()), this, &QtStatusView::Flush);
        return;
    }
    FlushNow();
}

void QtStatusView::FlushNow()
{
    Pending batch;
    {
        std::lock_guard lock(m_mutex);
        m_wakeAsked = false;
        batch.total = m_pending.total;
        batch.newResults = m_pending.newResults;
        batch.bytes = m_pending.bytes;
        batch.countersDirty = std::exchange(m_pending.countersDirty, false);
        if (std::exchange(m_pending.slotsDirty, false)) {
            batch.slotsDirty = true;
            for (std::size_t k = 0; k < 2; ++k) {
                for (std::size_t s = 0; s < 12; ++s) {
                    SlotState& slot = m_pending.slotStates[k][s];
                    if (slot.dirty) {
                        batch.slotStates[k][s] = slot;
                        slot.dirty = false;
                    }
                }
            }
        }
        batch.progress = std::exchange(m_pending.progress, std::nullopt);
        batch.slotView = std::exchange(m_pending.slotView, std::nullopt);
        batch.goCaption = std::exchange(m_pending.goCaption, std::nullopt);
        batch.deepScanCaption = std::exchange(m_pending.deepScanCaption, std::nullopt);
        batch.title = std::exchange(m_pending.title, std::nullopt);
        batch.siteReport = std::exchange(m_pending.siteReport, std::nullopt);
        batch.idle = std::exchange(m_pending.idle, 0);
        batch.rows.swap(m_pending.rows);
    }
    Apply(batch);
    m_sinceFlush.restart();
    m_flushes.fetch_add(1);
}

void QtStatusView::Apply(Pending& batch)
{
    if (batch.countersDirty) {
        m_sink.ShowCounters(batch.total, batch.newResults, batch.bytes);
    }
    if (batch.slotsDirty) {
        for (std::size_t k = 0; k < 2; ++k) {
            for (std::size_t s = 0; s < 12; ++s) {
                const SlotState& slot = batch.slotStates[k][s];
                if (slot.dirty) {
                    m_sink.ShowSlot(k == 0 ? SlotKind::Search : SlotKind::Scan, static_cast<int>(s) + 1, slot.text,
                                    slot.light, slot.site);
                }
            }
        }
    }
    // Rows in the order they came: runs of adds become one insertion, runs of marks one change.
    std::vector<RowChange> run;
    RowEvent::Kind runKind = RowEvent::Kind::Added;
    const auto endRun = [&] {
        if (!run.empty()) {
            if (runKind == RowEvent::Kind::Added) {
                m_sink.RowsAdded(run);
            } else {
                m_sink.CellsMarked(run);
            }
            run.clear();
        }
    };
    for (const RowEvent& event : batch.rows) {
        if (event.kind == RowEvent::Kind::Refilled) {
            endRun();
            m_sink.RowsRefilled(event.record);
            continue;
        }
        if (event.kind != runKind) {
            endRun();
            runKind = event.kind;
        }
        run.push_back({event.record, event.cell});
    }
    endRun();
    if (batch.progress) {
        m_sink.ShowProgress(*batch.progress);
    }
    if (batch.slotView) {
        m_sink.ShowSlotView(*batch.slotView);
    }
    if (batch.title) {
        m_sink.ShowWindowTitle(*batch.title);
    }
    if (batch.siteReport) {
        m_sink.ShowSiteReport(*batch.siteReport);
    }
    if (batch.goCaption) {
        m_sink.ShowGoCaption(*batch.goCaption);
    }
    if (batch.deepScanCaption) {
        m_sink.ShowDeepScanCaption(*batch.deepScanCaption);
    }
    for (int i = 0; i < batch.idle; ++i) {
        m_sink.ShowSearchIdle();
    }
}

} // namespace trawl::ui

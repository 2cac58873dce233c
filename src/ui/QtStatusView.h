#pragma once

#include "app/StatusView.h"
#include "ui/StatusSink.h"

#include <QElapsedTimer>
#include <QObject>
#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

namespace trawl::ui {

// The StatusView of the window. Workers call it from their threads, often while they hold the
// store's lock, so a call only notes what changed (under a mutex of its own, held for a few
// instructions) and, when nothing was waiting yet, asks the GUI thread to apply the changes. The GUI
// thread applies everything that came in since, at most every kMinFlushMs: a counter that changed a
// thousand times is shown once, a thousand added rows are one insertion. Calls made on the GUI thread
// are applied at once (after what was waiting), so the window's own commands see their effect.
class QtStatusView final : public QObject, public StatusView {
    Q_OBJECT

public:
    static constexpr int kMinFlushMs = 20;

    // `countOf` tells the store's record count when a refill is reported (the rows it covers).
    QtStatusView(StatusSink& sink, std::function<int()> countOf, QObject* parent = nullptr);

    void SetTotalResults(std::int64_t count) override;
    void SetNewResults(std::int64_t count) override;
    void SetBytesDownloaded(std::int64_t count) override;
    void SetSlotText(SlotKind kind, int slot, const std::string& text) override;
    void SetSlotLight(SlotKind kind, int slot, Light light) override;
    void SetSlotSite(SlotKind kind, int slot, SiteIcon icon) override;
    void SetProgress(int permille) override;
    void ShowSlotView(SlotKind kind) override;
    void SetGoCaption(const std::string& caption) override;
    void SetDeepScanCaption(const std::string& caption) override;
    void SetWindowTitle(const std::string& title) override;
    void SearchIdle() override;
    void SetSiteReport(const std::string& report) override;
    void ResultAdded(int record, const std::string& fullTextCell) override;
    void FullTextMarked(int record, const std::string& cell) override;
    void ResultsRefilled() override;

    // Applies everything waiting now (GUI thread).
    void FlushNow();
    // How many times the GUI thread applied a batch (for measurements).
    long Flushes() const { return m_flushes.load(); }

private Q_SLOTS:
    void Flush();

private:
    struct SlotState {
        std::string text;
        Light light = Light::Dark;
        SiteIcon site = SiteIcon::None;
        bool dirty = false;
    };
    struct RowEvent {
        enum class Kind { Added, Marked, Refilled } kind;
        int record;
        FullTextCell cell;
    };
    struct Pending {
        std::int64_t total = 0, newResults = 0, bytes = 0;
        bool countersDirty = false;
        std::array<std::array<SlotState, 12>, 2> slotStates;
        bool slotsDirty = false;
        std::optional<int> progress;
        std::optional<SlotKind> slotView;
        std::optional<std::string> goCaption, deepScanCaption, title, siteReport;
        int idle = 0;
        std::vector<RowEvent> rows;
    };

    // Notes a change: `change` runs under the mutex; the GUI thread is woken once per batch.
    template <typename Change> void Note(Change&& change);
    SlotState& SlotOf(Pending& pending, SlotKind kind, int slot);
    void Apply(Pending& batch);

    StatusSink& m_sink;
    std::function<int()> m_countOf;
    std::mutex m_mutex;
    Pending m_pending;          // guarded by m_mutex
    bool m_wakeAsked = false;   // guarded by m_mutex
    QElapsedTimer m_sinceFlush; // GUI thread
    std::atomic<long> m_flushes{0};
};

} // namespace trawl::ui

#pragma once

#include "results/GramIndex.h"
#include "results/QuickFilter.h"

#include <QObject>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace trawl {
class ResultStore;
}

namespace trawl::ui {

// Runs the quick filter off the GUI thread, so typing never waits for it. Only the newest filter
// counts: a new request cancels the one running, and a result that is not the newest request's is
// never handed on. Each result reaches the GUI thread through Filtered. The filter runs on both
// cores and narrows from the previous answer while the store stays the same. Between requests the
// thread notes where the answer's newest term lies in each match (PrepareForNextKey), then indexes the
// records' texts a step at a time (a request cancels either), and the filter looks terms up there
// first.
class FilterRunner final : public QObject {
    Q_OBJECT

public:
    static constexpr int kThreads = 2;

    explicit FilterRunner(ResultStore& store, QObject* parent = nullptr);
    // Cancels what runs and waits for the thread.
    ~FilterRunner() override;

    // Filters for `text` (as normalised by the dialog). Returns at once.
    void Request(const std::string& text);
    // Requests handed out so far; Filtered carries the number of the one it answers.
    long Requested() const { return m_requested; }
    // Hands back the records of an answer no longer shown: the next answer is written into them.
    void Recycle(std::vector<int> records);
    // Whether the index has caught up with the records (as of its last step).
    bool Indexed() const { return m_indexed.load(); }
    // The newest request after which the thread found nothing left to do: the next key's groundwork
    // for its answer laid and the index caught up (0 before the first).
    long Rested() const { return m_rested.load(); }

Q_SIGNALS:
    // Sent on the GUI thread, connected directly: a receiver may take the records (a million of them
    // are not copied).
    void Filtered(long request, trawl::QuickFilterResult& result);

private Q_SLOTS:
    void Deliver();

private:
    void Run();

    // Rows of the index built in one step between two looks for a request.
    static constexpr int kRowsPerStep = 256;

    ResultStore& m_store;
    QuickFilterMemo m_memo; // the filter thread's only
    GramIndex m_index;      // the filter thread's only
    bool m_indexing = true; // guarded by m_mutex: the index may have records to catch up with
    std::atomic<bool> m_indexed{false};
    std::atomic<long> m_rested{0};
    long m_lastJob = 0; // the filter thread's only
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<std::pair<long, std::string>> m_wanted;     // guarded by m_mutex
    std::optional<std::pair<long, QuickFilterResult>> m_done; // guarded by m_mutex
    bool m_quit = false;                                      // guarded by m_mutex
    std::vector<int> m_room;                                  // guarded by m_mutex
    std::atomic<int> m_cancel{0};
    long m_requested = 0; // GUI thread
    std::thread m_thread;
};

} // namespace trawl::ui

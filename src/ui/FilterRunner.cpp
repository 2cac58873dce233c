#include "ui/FilterRunner.h"

namespace trawl::ui {

FilterRunner::FilterRunner(ResultStore& store, QObject* parent) : QObject(parent), m_store(store)
{
    m_thread = std::thread(&FilterRunner::Run, this);
}

FilterRunner::~FilterRunner()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_cancel.store(1);
    m_wake.notify_all();
    m_thread.join();
}

void FilterRunner::Request(const std::string& text)
{
    {
        std::lock_guard lock(m_mutex);
        m_wanted = std::make_pair(++m_requested, text);
        m_cancel.store(1); // whatever runs is stale now (under the mutex: never the run it starts next)
    }
    m_wake.notify_all();
}

void FilterRunner::Recycle(std::vector<int> records)
{
    std::lock_guard lock(m_mutex);
    if (records.capacity() > m_room.capacity()) {
        m_room.swap(records);
    }
}

void FilterRunner::Run()
{
    while (true) {
        std::optional<std::pair<long, std::string>> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_quit || m_wanted.has_value() || m_indexing; });
            if (m_quit) {
                return;
            }
            job.swap(m_wanted);
            m_cancel.store(0);
        }
        if (!job && m_memo.Unprepared()) {
            // First what makes the next key quick, then the index.
            PrepareForNextKey(m_store, m_memo, QuickFilterRun{kThreads, &m_cancel});
            continue;
        }
        if (!job) {
            const GramIndex::Step step = m_index.Extend(m_store, kRowsPerStep, kThreads, &m_cancel);
            m_indexed.store(step == GramIndex::Step::Whole);
            if (step == GramIndex::Step::Whole || step == GramIndex::Step::Stale) {
                // Caught up, or the records keep changing: the next request looks again.
                std::lock_guard lock(m_mutex);
                m_indexing = false;
                m_rested.store(m_lastJob);
            }
            continue;
        }
        m_lastJob = job->first;
        std::vector<int> room;
        {
            std::lock_guard lock(m_mutex);
            room.swap(m_room);
        }
        QuickFilterResult result =
            ApplyQuickFilter(m_store, job->second, m_memo, QuickFilterRun{kThreads, &m_cancel, &m_index, &room});
        std::lock_guard lock(m_mutex);
        m_indexing = true;
        if (result.cancelled) {
            m_room.swap(room); // untouched: the next run writes into it
        }
        if (result.cancelled || m_wanted.has_value()) {
            continue; // a newer request is waiting
        }
        const bool wake = !m_done.has_value();
        m_done = std::make_pair(job->first, std::move(result));
        if (wake) {
            // By name: the call carries nothing of this thread's; the result travels under m_mutex.
            QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
        }
    }
}

void FilterRunner::Deliver()
{
    std::optional<std::pair<long, QuickFilterResult>> done;
    {
        std::lock_guard lock(m_mutex);
        done.swap(m_done);
    }
    if (done && done->first == m_requested) {
        Q_EMIT Filtered(done->first, done->second);
    }
}

} // namespace trawl::ui

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

void FilterRunner::Run()
{
    while (true) {
        std::pair<long, std::string> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_quit || m_wanted.has_value(); });
            if (m_quit) {
                return;
            }
            job = std::move(*m_wanted);
            m_wanted.reset();
            m_cancel.store(0);
        }
        QuickFilterResult result = ApplyQuickFilter(m_store, job.second, m_memo, QuickFilterRun{kThreads, &m_cancel});
        if (result.cancelled) {
            continue; // a newer request is waiting
        }
        std::lock_guard lock(m_mutex);
        if (m_wanted.has_value()) {
            continue; // came in too late to be cancelled: the newer one follows
        }
        const bool wake = !m_done.has_value();
        m_done = std::make_pair(job.first, std::move(result));
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

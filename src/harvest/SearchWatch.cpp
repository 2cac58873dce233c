#include "harvest/SearchWatch.h"

#include "app/Clock.h"

#include <algorithm>

namespace trawl {

namespace {

constexpr std::int64_t kSliceMs = 1000;

} // namespace

SearchWatch::SearchWatch(Clock& clock, std::function<void()> due)
    : m_clock(clock), m_due(std::move(due)), m_thread(&SearchWatch::Run, this)
{
}

SearchWatch::~SearchWatch()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop.store(1);
    }
    m_changed.notify_all();
    m_thread.join();
}

void SearchWatch::Arm(int minutes)
{
    const std::int64_t ms = std::int64_t{std::clamp(minutes, kMinWatchMinutes, kMaxWatchMinutes)} * 60 * 1000;
    {
        std::lock_guard lock(m_mutex);
        m_dueAtMs = m_clock.MonotonicMs() + ms;
    }
    m_changed.notify_all();
}

void SearchWatch::Disarm()
{
    {
        std::lock_guard lock(m_mutex);
        m_dueAtMs.reset();
    }
    m_changed.notify_all();
}

std::optional<std::int64_t> SearchWatch::RemainingMs() const
{
    std::lock_guard lock(m_mutex);
    if (!m_dueAtMs) {
        return std::nullopt;
    }
    return std::max<std::int64_t>(0, *m_dueAtMs - m_clock.MonotonicMs());
}

void SearchWatch::Run()
{
    while (true) {
        std::int64_t waitMs = 0;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop.load() != 0 || m_dueAtMs.has_value(); });
            if (m_stop.load() != 0) {
                return;
            }
            waitMs = *m_dueAtMs - m_clock.MonotonicMs();
            if (waitMs <= 0) {
                m_dueAtMs.reset();
            }
        }
        if (waitMs <= 0) {
            m_due();
            continue;
        }
        // One slice at a time: a stop ends the wait at once, a new time at the next slice.
        m_clock.WaitFor(static_cast<int>(std::min(waitMs, kSliceMs)), m_stop);
    }
}

} // namespace trawl

#pragma once

#include "app/Settings.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace trawl {

class Clock;

// The timer of a watched search: once armed, `due` runs on the watch's own thread when the minutes
// have passed (the window then starts the run on its own thread). Waits on the clock in slices, so
// tests run it on virtual time; the destructor stops and joins it, at once whatever it waits for.
class SearchWatch {
public:
    SearchWatch(Clock& clock, std::function<void()> due);
    ~SearchWatch();
    SearchWatch(const SearchWatch&) = delete;
    SearchWatch& operator=(const SearchWatch&) = delete;

    // Due `minutes` (kMinWatchMinutes to kMaxWatchMinutes) from now, once; again replaces an earlier time.
    void Arm(int minutes);
    void Disarm();
    // How long until it is due, in milliseconds; nullopt when it is not armed.
    std::optional<std::int64_t> RemainingMs() const;

private:
    void Run();

    Clock& m_clock;
    std::function<void()> m_due;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<std::int64_t> m_dueAtMs; // guarded by m_mutex
    std::atomic<int> m_stop{0};
    std::thread m_thread;
};

} // namespace trawl

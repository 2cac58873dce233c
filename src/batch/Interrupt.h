#pragma once

#include <atomic>

namespace trawl {

// Ctrl-C (SIGINT) and SIGTERM during a batch run: the first one raises a flag that the run polls
// (it stops the search, saves what was found and ends); the handler then steps aside, so a second
// Ctrl-C ends the program at once. The handlers are in place for the guard's lifetime.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    const std::atomic<int>& flag() const;
};

} // namespace trawl

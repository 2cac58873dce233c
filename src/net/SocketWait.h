#pragma once

#include <atomic>
#include <chrono>

namespace trawl {

using SteadyClock = std::chrono::steady_clock;

// The shorter of the single wait and what is left of the exchange.
int WaitBudget(int waitMs, SteadyClock::time_point deadline);

bool Stopped(const std::atomic<int>* stop);

// Waits up to `waitMs` (and never past `deadline`) for `events` on the socket, looking at `stop`
// every slice: a stop ends the wait at once. True when the socket is ready.
bool WaitForSocket(int fd, short events, int waitMs, SteadyClock::time_point deadline, const std::atomic<int>* stop);

} // namespace trawl

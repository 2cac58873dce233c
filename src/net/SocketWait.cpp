#include "net/SocketWait.h"

#include "net/NameResolver.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>

namespace trawl {

// The shorter of the single wait and what is left of the exchange.
int WaitBudget(int waitMs, SteadyClock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, waitMs));
}

bool Stopped(const std::atomic<int>* stop)
{
    return stop != nullptr && stop->load() != 0;
}

bool WaitForSocket(int fd, short events, int waitMs, SteadyClock::time_point deadline, const std::atomic<int>* stop)
{
    pollfd waiter{fd, events, 0};
    const auto until = SteadyClock::now() + std::chrono::milliseconds(WaitBudget(waitMs, deadline));
    for (;;) {
        const int left = WaitBudget(waitMs, until);
        if (left == 0 || Stopped(stop)) {
            return false;
        }
        const int ready = ::poll(&waiter, 1, stop != nullptr ? std::min(left, kStopSliceMs) : left);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready != 0) {
            return ready > 0;
        }
    }
}

} // namespace trawl

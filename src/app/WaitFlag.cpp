#include "app/WaitFlag.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace trawl {

namespace {

// The kernel waits on the flag's own word: a waiter sleeps only while the word still holds 0, and a
// wake after the store cannot be missed (the kernel compares and sleeps as one step).
static_assert(sizeof(std::atomic<int>) == sizeof(int) && std::atomic<int>::is_always_lock_free);

int* Word(const std::atomic<int>& flag) { return const_cast<int*>(reinterpret_cast<const int*>(&flag)); }

} // namespace

void RaiseFlag(std::atomic<int>& flag, int value)
{
    flag.store(value);
    ::syscall(SYS_futex, Word(flag), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

bool WaitOnFlag(const std::atomic<int>& flag, int ms)
{
    using Steady = std::chrono::steady_clock;
    const auto end = Steady::now() + std::chrono::milliseconds(ms);
    while (true) {
        if (flag.load() != 0) {
            return true;
        }
        const auto now = Steady::now();
        if (now >= end) {
            return false;
        }
        // Short slices, so a flag set by a plain store is seen soon as well.
        const auto slice = std::min<Steady::duration>(end - now, std::chrono::milliseconds(kUnsignalledFlagLatencyMs));
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(slice).count();
        timespec timeout{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        ::syscall(SYS_futex, Word(flag), FUTEX_WAIT_PRIVATE, 0, &timeout, nullptr, 0);
    }
}

} // namespace trawl

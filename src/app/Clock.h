#pragma once

#include <atomic>
#include <cstdint>

namespace trawl {

struct LocalDate {
    int year = 0;
    int month = 0; // 1 to 12
    int day = 0;   // 1 to 31
};

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Every pause of the program goes through this seam, so tests run retries and countdowns on
// virtual time. Waits are interruptible through a stop flag that other threads set.
class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDate Today() = 0;
    virtual TimeOfDay Now() = 0;
    // Waits about `ms` milliseconds; returns early with true as soon as `stop` holds a non-zero value.
    virtual bool WaitFor(int ms, const std::atomic<int>& stop) = 0;
    // Waits `ms` milliseconds without looking at any flag.
    virtual void Sleep(int ms) = 0;
    // A pseudo-random whole number from 0 to `maxInclusive`, uniform (retry jitter).
    virtual int RandomUpTo(int maxInclusive) = 0;
    // Milliseconds from some fixed moment, never going back (for pauses between requests).
    virtual std::int64_t MonotonicMs() = 0;
};

// The real clock: local time from the system; waits sleep on the flag (see app/WaitFlag.h).
class SystemClock final : public Clock {
public:
    LocalDate Today() override;
    TimeOfDay Now() override;
    bool WaitFor(int ms, const std::atomic<int>& stop) override;
    void Sleep(int ms) override;
    int RandomUpTo(int maxInclusive) override;
    std::int64_t MonotonicMs() override;
};

} // namespace trawl

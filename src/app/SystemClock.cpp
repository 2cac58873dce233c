#include "app/Clock.h"

#include <chrono>
#include <ctime>
#include <random>
#include <thread>

namespace trawl {

namespace {

std::tm LocalNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

} // namespace

LocalDate SystemClock::Today()
{
    const std::tm t = LocalNow();
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday};
}

TimeOfDay SystemClock::Now()
{
    const std::tm t = LocalNow();
    return {t.tm_hour, t.tm_min, t.tm_sec};
}

bool SystemClock::WaitFor(int ms, const std::atomic<int>& stop)
{
    // Look at the flag every millisecond: a stop is seen well within the 100 ms the program promises,
    // and a waiter woken by the flag (the search scheduler when a worker frees its slot) loses well
    // under a millisecond; at 10 ms a 50 ms job lost a tenth of the throughput of its slot.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (true) {
        if (stop.load() != 0) {
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(1)));
    }
}

void SystemClock::Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int SystemClock::RandomUpTo(int maxInclusive)
{
    thread_local std::mt19937 generator{std::random_device{}()};
    return std::uniform_int_distribution<int>(0, maxInclusive)(generator);
}

} // namespace trawl

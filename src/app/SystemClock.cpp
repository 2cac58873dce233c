#include "app/Clock.h"
#include "app/WaitFlag.h"

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
    return WaitOnFlag(stop, ms);
}

void SystemClock::Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::int64_t SystemClock::MonotonicMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int SystemClock::RandomUpTo(int maxInclusive)
{
    thread_local std::mt19937 generator{std::random_device{}()};
    return std::uniform_int_distribution<int>(0, maxInclusive)(generator);
}

} // namespace trawl

#pragma once

#include "app/Status.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace trawl {

// How a look-up ended. Only Found carries addresses.
enum class LookupEnd { Found, NotFound, TimedOut, Stopped };

struct LookupAnswer {
    LookupEnd end = LookupEnd::NotFound;
    std::vector<std::uint32_t> addresses; // IPv4, network byte order, in the order given
};

// One look-up under way. Step waits for it at most `ms` milliseconds and says whether it has ended;
// answer() is its outcome once it has.
class PendingLookup {
public:
    virtual ~PendingLookup() = default;
    virtual bool Step(int ms) = 0;
    virtual LookupAnswer answer() const = 0;
};

// Milliseconds on a steady clock (a test's own in virtual time).
using MillisecondClock = std::function<std::int64_t()>;
std::int64_t SteadyMilliseconds();

// Drives `lookup` until it ends, `boundMs` pass or `stop` (when given) holds a non-zero value, looking
// at the flag at least every kStopSliceMs: a name server that never answers frees its worker within
// the bound, and a stop within a slice.
inline constexpr int kStopSliceMs = 50;
LookupAnswer WaitForLookup(PendingLookup& lookup, const MillisecondClock& now, int boundMs,
                           const std::atomic<int>* stop);

// Turns a host name into IPv4 addresses within a bound.
class NameResolver {
public:
    virtual ~NameResolver() = default;
    virtual LookupAnswer Resolve(const std::string& host, int boundMs, const std::atomic<int>* stop) = 0;
};

// The real one, on c-ares: the hosts file, then the name servers of the system, or those given as
// "ADDR:PORT,..." (the setting that tests point at a local server). An address needs no look-up.
class AresResolver final : public NameResolver {
public:
    explicit AresResolver(std::string servers = {}) : m_servers(std::move(servers)) {}
    LookupAnswer Resolve(const std::string& host, int boundMs, const std::atomic<int>* stop) override;

private:
    const std::string m_servers;
};

// Remembers what another resolver found, per host (without regard to ASCII case): an answer for
// `keepFound`, a failure or a time-out for `keepFailed`, so that the jobs of a run ask once per host
// and a dead name server costs one bound, not one per job. A stopped look-up is not remembered.
// Safe for any number of threads; look-ups themselves run outside the lock.
class CachingResolver final : public NameResolver {
public:
    CachingResolver(std::unique_ptr<NameResolver> inner, MillisecondClock now = SteadyMilliseconds,
                    std::int64_t keepFoundMs = 10 * 60 * 1000, std::int64_t keepFailedMs = 30 * 1000);
    LookupAnswer Resolve(const std::string& host, int boundMs, const std::atomic<int>* stop) override;

private:
    struct Entry {
        LookupAnswer answer;
        std::int64_t until = 0;
    };

    std::unique_ptr<NameResolver> m_inner;
    MillisecondClock m_now;
    std::int64_t m_keepFoundMs;
    std::int64_t m_keepFailedMs;
    std::mutex m_mutex;
    std::unordered_map<std::string, Entry> m_entries;
};

// The environment variable that names the name servers to ask instead of the system's: "ADDR:PORT"
// entries, comma-separated.
inline constexpr const char* kNameServersVariable = "TRAWLKIT_NAME_SERVERS";

// Whether `servers` is a list AresResolver can ask; the status says what is wrong when it is not.
Status CheckNameServers(const std::string& servers);

} // namespace trawl

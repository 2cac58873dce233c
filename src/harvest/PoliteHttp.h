#pragma once

#include "net/HttpGetter.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace trawl {

class Clock;

// The seconds of a Retry-After header (the delta-seconds form) of a 429 or 503 response; nullopt for
// any other response, or a header of another form.
std::optional<int> RetryAfterSeconds(std::string_view response);

// Politeness towards the sites, for every worker that shares this getter (the searches and the deep
// scan alike): the turns of a host start at least `pauseMs` apart (0: no pause, as the sites have
// always been asked), and after a 429 or 503 with Retry-After the host gets no turn before that time
// (at most kMaxHoldOffMs). Requests themselves go to `inner` unchanged; a worker asks for its turn
// first (AwaitTurn), on the clock, so tests wait on virtual time.
class PoliteHttp final : public HttpGetter {
public:
    static constexpr std::int64_t kMaxHoldOffMs = 10 * 60 * 1000;

    PoliteHttp(HttpGetter& inner, Clock& clock, int pauseMs);

    std::string HttpGet(const std::string& host, const std::string& path, int followRedirect, int countBytes) override;
    std::string ConnectFailure(const std::string& host) const override;
    bool AwaitTurn(const std::string& host, const std::atomic<int>& stop) override;

    // A new pause for the turns given from now on (the settings were applied).
    void SetPause(int pauseMs);

private:
    HttpGetter& m_inner;
    Clock& m_clock;
    std::mutex m_mutex;
    int m_pauseMs;                                             // guarded by m_mutex
    std::map<std::string, std::int64_t, std::less<>> m_nextMs; // a host's next free turn; guarded
};

} // namespace trawl

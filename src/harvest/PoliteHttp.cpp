#include "harvest/PoliteHttp.h"

#include "app/Clock.h"
#include "app/TextUtil.h"
#include "harvest/FeedVerdict.h"

#include <algorithm>

namespace trawl {

namespace {

constexpr int kWaitSliceMs = 100;

} // namespace

std::optional<int> RetryAfterSeconds(std::string_view response)
{
    const int status = ResponseStatus(response);
    if (status != 429 && status != 503) {
        return std::nullopt;
    }
    const std::string_view headers = response.substr(0, response.find("\r\n\r\n"));
    const std::string lower = ToLowerAscii(headers);
    const std::size_t at = lower.find("\r\nretry-after:");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    std::size_t i = at + 14;
    while (i < headers.size() && (headers[i] == ' ' || headers[i] == '\t')) {
        ++i;
    }
    std::int64_t seconds = 0;
    const std::size_t digits = i;
    while (i < headers.size() && headers[i] >= '0' && headers[i] <= '9') {
        seconds = std::min<std::int64_t>(seconds * 10 + (headers[i] - '0'), 1'000'000);
        ++i;
    }
    if (i == digits || (i < headers.size() && headers[i] != '\r' && headers[i] != ' ')) {
        return std::nullopt; // no number, or an HTTP date
    }
    return static_cast<int>(seconds);
}

PoliteHttp::PoliteHttp(HttpGetter& inner, Clock& clock, int pauseMs)
    : m_inner(inner), m_clock(clock), m_pauseMs(std::max(pauseMs, 0))
{
}

void PoliteHttp::SetPause(int pauseMs)
{
    std::lock_guard lock(m_mutex);
    m_pauseMs = std::max(pauseMs, 0);
}

bool PoliteHttp::AwaitTurn(const std::string& host, const std::atomic<int>& stop)
{
    const std::string_view name = BareHost(host);
    while (stop.load() == 0) {
        std::int64_t waitMs = 0;
        {
            std::lock_guard lock(m_mutex);
            auto next = m_nextMs.find(name);
            if (m_pauseMs == 0 && next == m_nextMs.end()) {
                return true; // nothing asked of this host: the sites as they were always asked
            }
            const std::int64_t now = m_clock.MonotonicMs();
            if (next == m_nextMs.end() || next->second <= now) {
                // The turn is taken when the host is free, so two turns are never closer than the pause.
                m_nextMs.insert_or_assign(std::string(name), now + m_pauseMs);
                return true;
            }
            waitMs = next->second - now;
        }
        if (m_clock.WaitFor(static_cast<int>(std::min<std::int64_t>(waitMs, kWaitSliceMs)), stop)) {
            return false;
        }
    }
    return false;
}

std::string PoliteHttp::HttpGet(const std::string& host, const std::string& path, int followRedirect, int countBytes)
{
    std::string response = m_inner.HttpGet(host, path, followRedirect, countBytes);
    if (const std::optional<int> seconds = RetryAfterSeconds(response)) {
        const std::int64_t holdOff = std::min<std::int64_t>(std::int64_t{*seconds} * 1000, kMaxHoldOffMs);
        std::lock_guard lock(m_mutex);
        std::int64_t& next = m_nextMs[std::string(BareHost(host))];
        next = std::max(next, m_clock.MonotonicMs() + holdOff);
    }
    return response;
}

std::string PoliteHttp::ConnectFailure(const std::string& host) const
{
    return m_inner.ConnectFailure(host);
}

} // namespace trawl

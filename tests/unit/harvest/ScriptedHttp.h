#pragma once

// A scripted stand-in for the HTTP client: answers per host and path, counts every request, keeps
// the peak of requests in flight, and can hold requests inside the fetch until released.

#include "net/HttpGetter.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace trawl::test {

struct HttpRequest {
    std::string host;
    std::string path;
    int followRedirect = 0;
    int countBytes = 0;
};

class ScriptedHttp : public HttpGetter {
public:
    std::string HttpGet(const std::string& host, const std::string& path, int followRedirect, int countBytes) override;
    std::string ConnectFailure(const std::string& host) const override
    {
        return connectFailures.contains(host) ? connectFailures.at(host) : std::string();
    }

    // The same answer every time.
    void Respond(const std::string& host, const std::string& path, std::string response);
    // Answers in turn; the last one repeats.
    void RespondInTurn(const std::string& host, const std::string& path, std::vector<std::string> responses);
    // Asked when no scripted answer exists; empty (nothing received) when unset.
    std::function<std::string(const std::string& host, const std::string& path)> fallback;
    // What ConnectFailure says of a host (as HttpGet was given it); set before the run.
    std::map<std::string, std::string> connectFailures;

    // While held, every request waits inside HttpGet until Release().
    void Hold();
    void Release();
    // Blocks until `n` requests are waiting inside HttpGet (only while held).
    void AwaitHeld(int n);

    std::vector<HttpRequest> Requests() const;
    int Calls(const std::string& host, const std::string& path) const;
    int Peak() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::pair<std::string, std::string>, std::deque<std::string>> m_answers;
    std::vector<HttpRequest> m_requests;
    bool m_held = false;
    int m_waiting = 0;
    int m_inFlight = 0;
    int m_peak = 0;
};

} // namespace trawl::test

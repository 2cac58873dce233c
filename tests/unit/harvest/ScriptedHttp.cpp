#include "ScriptedHttp.h"

#include <algorithm>

namespace trawl::test {

std::string ScriptedHttp::HttpGet(const std::string& host, const std::string& path, int followRedirect, int countBytes)
{
    std::unique_lock lock(m_mutex);
    m_requests.push_back({host, path, followRedirect, countBytes});
    ++m_inFlight;
    m_peak = std::max(m_peak, m_inFlight);
    if (m_held) {
        ++m_waiting;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_held; });
        --m_waiting;
    }
    std::string answer;
    bool scripted = false;
    auto it = m_answers.find({host, path});
    if (it != m_answers.end() && !it->second.empty()) {
        scripted = true;
        answer = it->second.front();
        if (it->second.size() > 1) {
            it->second.pop_front();
        }
    }
    auto fallbackCopy = fallback;
    lock.unlock();
    if (!scripted && fallbackCopy) {
        answer = fallbackCopy(host, path);
    }
    lock.lock();
    --m_inFlight;
    return answer;
}

void ScriptedHttp::Respond(const std::string& host, const std::string& path, std::string response)
{
    RespondInTurn(host, path, {std::move(response)});
}

void ScriptedHttp::RespondInTurn(const std::string& host, const std::string& path, std::vector<std::string> responses)
{
    std::lock_guard lock(m_mutex);
    m_answers[{host, path}] = std::deque<std::string>(responses.begin(), responses.end());
}

void ScriptedHttp::Hold()
{
    std::lock_guard lock(m_mutex);
    m_held = true;
}

void ScriptedHttp::Release()
{
    std::lock_guard lock(m_mutex);
    m_held = false;
    m_changed.notify_all();
}

void ScriptedHttp::AwaitHeld(int n)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this, n] { return m_waiting >= n; });
}

std::vector<HttpRequest> ScriptedHttp::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

int ScriptedHttp::Calls(const std::string& host, const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(m_requests.begin(), m_requests.end(),
                                          [&](const HttpRequest& r) { return r.host == host && r.path == path; }));
}

int ScriptedHttp::Peak() const
{
    std::lock_guard lock(m_mutex);
    return m_peak;
}

} // namespace trawl::test

#include "ui/ReplaceableHttp.h"

namespace trawl::ui {

ReplaceableHttp::ReplaceableHttp(const std::string& userAgent, Connector& connector, ByteCounter& counter,
                                 const std::atomic<int>* stop)
    : m_connector(connector), m_counter(counter), m_stop(stop),
      m_client(std::make_shared<HttpClient>(StoppableOptions(userAgent, stop), connector, counter))
{
}

std::shared_ptr<HttpClient> ReplaceableHttp::Current() const
{
    std::lock_guard lock(m_mutex);
    return m_client;
}

std::string ReplaceableHttp::HttpGet(const std::string& host, const std::string& path, int followRedirect,
                                     int countBytes)
{
    return Current()->HttpGet(host, path, followRedirect, countBytes);
}

void ReplaceableHttp::SetUserAgent(const std::string& userAgent)
{
    auto client = std::make_shared<HttpClient>(StoppableOptions(userAgent, m_stop), m_connector, m_counter);
    std::lock_guard lock(m_mutex);
    m_client = std::move(client);
}

std::string ReplaceableHttp::UserAgent() const
{
    return Current()->options().userAgent;
}

std::string ReplaceableHttp::ConnectFailure(const std::string& host) const
{
    return Current()->ConnectFailure(host);
}

} // namespace trawl::ui

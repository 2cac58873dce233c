#pragma once

#include "net/HttpClient.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace trawl {
class ByteCounter;
class Connector;
} // namespace trawl

namespace trawl::ui {

// The window's HTTP client for searches and deep scans. Apply may change the user agent while a deep
// scan runs, so the client is made anew with it; an exchange under way finishes with the client it
// began with.
class ReplaceableHttp final : public HttpGetter {
public:
    // `stop` (when given) ends the look-ups of exchanges under way; it must outlive this client.
    ReplaceableHttp(const std::string& userAgent, Connector& connector, ByteCounter& counter,
                    const std::atomic<int>* stop = nullptr);

    std::string HttpGet(const std::string& host, const std::string& path, int followRedirect, int countBytes) override;
    std::string ConnectFailure(const std::string& host) const override;
    void SetUserAgent(const std::string& userAgent);
    std::string UserAgent() const;

private:
    // The client of the moment; an exchange keeps its own copy while a new one replaces it.
    std::shared_ptr<HttpClient> Current() const;

    Connector& m_connector;
    ByteCounter& m_counter;
    const std::atomic<int>* m_stop;
    mutable std::mutex m_mutex;
    std::shared_ptr<HttpClient> m_client; // guarded by m_mutex
};

} // namespace trawl::ui

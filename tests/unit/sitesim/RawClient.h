#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace trawl::sitesim::testing {

// A bare TCP client for looking at the server's bytes without the program's own HTTP client.
class RawClient {
public:
    explicit RawClient(int port);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return m_fd >= 0; }
    bool Send(const std::string& bytes);
    // Reads until the server closes, a read fails, `quietMs` pass without data, or `limit` bytes arrived.
    std::string ReadAll(int quietMs, std::size_t limit = std::size_t(-1));
    // True when the last ReadAll ended on a connection reset.
    bool wasReset() const { return m_reset; }
    bool sawEnd() const { return m_end; }
    void Close();

private:
    int m_fd = -1;
    bool m_reset = false;
    bool m_end = false;
};

// Milliseconds since `start`.
long ElapsedMs(std::chrono::steady_clock::time_point start);

// Spins (yielding) until `condition` holds or `limitMs` pass; returns the condition's last value.
bool Eventually(const std::function<bool()>& condition, int limitMs = 2000);

// One request "GET path HTTP/1.0" with a Host line, read to the end.
std::string Fetch(int port, const std::string& host, const std::string& path, int quietMs = 2000);

} // namespace trawl::sitesim::testing

#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

using SSL = struct ssl_st;

namespace trawl {

// TLS over one connected, non-blocking socket: SNI and the host name checked against a certificate
// chain that verifies against the system's trust store (OpenSSL's default paths, so SSL_CERT_FILE
// and SSL_CERT_DIR point elsewhere). Every step waits as the plain exchange does: each wait at most
// `waitMs`, never past `deadline`, given up at once when `stop` is raised. Sessions are kept per host
// for the process, so later exchanges with a host resume rather than do the whole handshake.
class TlsChannel {
public:
    using SteadyClock = std::chrono::steady_clock;
    TlsChannel(int fd, std::string host, int waitMs, SteadyClock::time_point deadline, const std::atomic<int>* stop);
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // The handshake; false with the reason in failure(): "certificate not trusted for HOST" or
    // "handshake failed with HOST" ("" when a wait ran out or a stop came).
    bool Handshake();
    bool Send(std::string_view bytes);
    // Waits for data as the plain exchange waits for the socket; true when a read can go ahead.
    bool WaitReadable();
    // Bytes read (> 0), 0 at the end of the response, kAgain to wait and read again, -1 on failure.
    static constexpr long kAgain = -2;
    long Read(char* into, std::size_t size);
    const std::string& failure() const { return m_failure; }

private:
    // Waits for what OpenSSL asked for after `result`; false when it is a failure or the wait ran out.
    bool WaitAfter(int result);

    int m_fd;
    std::string m_host;
    int m_waitMs;
    SteadyClock::time_point m_deadline;
    const std::atomic<int>* m_stop;
    SSL* m_ssl = nullptr;
    std::string m_failure;
    bool m_ended = false; // the server said goodbye after the response: the session may be resumed
};

} // namespace trawl

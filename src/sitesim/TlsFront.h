#pragma once

#include "app/Status.h"
#include "sitesim/ConnectionThreads.h"
#include "sitesim/TestCertificates.h"

#include <atomic>
#include <thread>

namespace trawl::sitesim {

// TLS in front of a plain sample site server: a loopback port that does the handshake with the
// given identity and then passes the bytes both ways to the plain server's port, so every route and
// knob of that server (latency, stalls, resets, endless bodies) holds over TLS as well. One thread
// per connection; Stop() (also from the destructor) ends and joins them all.
class TlsFront {
public:
    TlsFront() = default;
    ~TlsFront();
    TlsFront(const TlsFront&) = delete;
    TlsFront& operator=(const TlsFront&) = delete;

    Status Start(int plainPort, const TlsIdentity& identity, int port = 0);
    void Stop();
    int port() const { return m_port; }
    // Connections accepted from now on never answer the client's hello (a stalled handshake).
    void SetStallHandshake(bool stall) { m_stallHandshake.store(stall); }
    long Handshakes() const { return m_handshakes.load(); }
    long ResumedHandshakes() const { return m_resumed.load(); }

private:
    void AcceptLoop();
    void Serve(int fd);

    void* m_context = nullptr; // SSL_CTX
    int m_listenFd = -1;
    int m_plainPort = 0;
    int m_port = 0;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stallHandshake{false};
    std::atomic<long> m_handshakes{0};
    std::atomic<long> m_resumed{0};
    std::thread m_acceptThread;
    ConnectionThreads m_connections; // the accept thread and Stop() only
};

} // namespace trawl::sitesim

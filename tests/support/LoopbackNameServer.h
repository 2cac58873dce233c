#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace trawl::test {

// A name server on a UDP port of 127.0.0.1 for the look-up tests: it reads every query and either
// never answers (a dead resolver) or answers each A query with one IPv4 address. Only loopback is
// ever asked.
class LoopbackNameServer {
public:
    // `answerWith`: the dotted address to answer with; empty: never answer.
    explicit LoopbackNameServer(std::string answerWith = {});
    ~LoopbackNameServer();
    LoopbackNameServer(const LoopbackNameServer&) = delete;
    LoopbackNameServer& operator=(const LoopbackNameServer&) = delete;

    int port() const { return m_port; }
    // "127.0.0.1:PORT", as the name-server setting takes it.
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }
    int queries() const { return m_queries.load(); }
    // The names asked for, in the order they came.
    std::vector<std::string> names() const;
    // Waits until at least one query came, at most `limit`; false if none did.
    bool WaitForQuery(std::chrono::milliseconds limit) const;

private:
    void Serve();

    int m_fd = -1;
    int m_port = 0;
    std::string m_answerWith;
    std::atomic<int> m_queries{0};
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_names; // guarded by m_mutex
    std::thread m_thread;
};

} // namespace trawl::test

#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <thread>

namespace trawl::sitesim {

// The threads of a loopback server's connections, one each, every one marking itself done as it
// ends. Only the server's accept thread and its Stop() use it (not thread-safe otherwise).
class ConnectionThreads {
public:
    ConnectionThreads() = default;
    ~ConnectionThreads() { Reap(true); }
    ConnectionThreads(const ConnectionThreads&) = delete;
    ConnectionThreads& operator=(const ConnectionThreads&) = delete;

    void Start(std::function<void()> serve)
    {
        Connection& connection = m_connections.emplace_back();
        connection.thread = std::thread([serve = std::move(serve), &connection] {
            serve();
            connection.done.store(true);
        });
    }
    // Joins the threads that have ended, or all of them.
    void Reap(bool all)
    {
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            if (all || it->done.load()) {
                it->thread.join();
                it = m_connections.erase(it);
            } else {
                ++it;
            }
        }
    }

private:
    struct Connection {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    std::list<Connection> m_connections;
};

} // namespace trawl::sitesim

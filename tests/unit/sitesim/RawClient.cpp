#include "RawClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace trawl::sitesim::testing {

RawClient::RawClient(int port)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        Close();
    }
}

RawClient::~RawClient()
{
    Close();
}

void RawClient::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool RawClient::Send(const std::string& bytes)
{
    return m_fd >= 0 && ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

std::string RawClient::ReadAll(int quietMs, std::size_t limit)
{
    std::string received;
    m_reset = false;
    m_end = false;
    char buffer[8192];
    while (m_fd >= 0 && received.size() < limit) {
        pollfd waiter{m_fd, POLLIN, 0};
        if (::poll(&waiter, 1, quietMs) <= 0) {
            break;
        }
        const ssize_t got = ::recv(m_fd, buffer, sizeof(buffer), 0);
        if (got < 0) {
            m_reset = errno == ECONNRESET;
            break;
        }
        if (got == 0) {
            m_end = true;
            break;
        }
        received.append(buffer, static_cast<std::size_t>(got));
    }
    return received;
}

long ElapsedMs(std::chrono::steady_clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

bool Eventually(const std::function<bool()>& condition, int limitMs)
{
    const auto start = std::chrono::steady_clock::now();
    while (!condition()) {
        if (ElapsedMs(start) > limitMs) {
            return condition();
        }
        std::this_thread::yield();
    }
    return true;
}

std::string Fetch(int port, const std::string& host, const std::string& path, int quietMs)
{
    RawClient client(port);
    client.Send("GET " + path + " HTTP/1.0\r\nHost: " + host + "\r\n\r\n");
    return client.ReadAll(quietMs);
}

} // namespace trawl::sitesim::testing

#include "net/Connector.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace trawl {

namespace {

using SteadyClock = std::chrono::steady_clock;

int MillisecondsLeft(SteadyClock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Connects one socket to one address, waiting until `deadline` at most. Returns the socket or -1.
int ConnectOne(const addrinfo& address, SteadyClock::time_point deadline)
{
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (fd < 0) {
        return -1;
    }
    int result = ::connect(fd, address.ai_addr, address.ai_addrlen);
    if (result != 0 && errno == EINPROGRESS) {
        pollfd waiter{fd, POLLOUT, 0};
        for (;;) {
            const int ready = ::poll(&waiter, 1, MillisecondsLeft(deadline));
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                break; // timed out or failed
            }
            int error = 0;
            socklen_t length = sizeof(error);
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) {
                result = 0;
            }
            break;
        }
    }
    if (result != 0) {
        ::close(fd);
        return -1;
    }
    // Close without lingering: close() returns at once and the system finishes the goodbye.
    linger noLinger{0, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &noLinger, sizeof(noLinger));
    return fd;
}

} // namespace

Status SocketConnector::FromEnvironment(std::unique_ptr<SocketConnector>& connector)
{
    connector.reset();
    std::vector<ConnectToRule> rules;
    Status status = ConnectToRulesFromEnvironment(rules);
    if (status.ok()) {
        connector = std::make_unique<SocketConnector>(std::move(rules));
    }
    return status;
}

int SocketConnector::Connect(const std::string& host, int port, int timeoutMs)
{
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    std::string target = host;
    int targetPort = port;
    if (const ConnectToRule* rule = MatchConnectTo(m_rules, host, port)) {
        target = rule->address;
        targetPort = rule->targetPort;
    }
    if (target.empty()) {
        return -1;
    }

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(targetPort);
    if (::getaddrinfo(target.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) {
        return -1;
    }
    int fd = -1;
    for (const addrinfo* address = found; address != nullptr && fd < 0; address = address->ai_next) {
        if (MillisecondsLeft(deadline) == 0) {
            break;
        }
        fd = ConnectOne(*address, deadline);
    }
    ::freeaddrinfo(found);
    return fd;
}

} // namespace trawl

#include "net/Connector.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
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
int ConnectOne(std::uint32_t ipv4, int port, SteadyClock::time_point deadline)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = ipv4;
    int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
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

SocketConnector::SocketConnector(std::vector<ConnectToRule> rules, std::unique_ptr<NameResolver> resolver)
    : m_rules(std::move(rules)),
      m_resolver(resolver != nullptr ? std::move(resolver)
                                     : std::make_unique<CachingResolver>(std::make_unique<AresResolver>()))
{
}

Status SocketConnector::FromEnvironment(std::unique_ptr<SocketConnector>& connector)
{
    connector.reset();
    std::vector<ConnectToRule> rules;
    if (Status status = ConnectToRulesFromEnvironment(rules); !status) {
        return status;
    }
    const char* servers = std::getenv(kNameServersVariable);
    const std::string serverList = servers == nullptr ? std::string() : std::string(servers);
    if (!serverList.empty()) {
        if (Status status = CheckNameServers(serverList); !status) {
            return status;
        }
    }
    connector = std::make_unique<SocketConnector>(
        std::move(rules), std::make_unique<CachingResolver>(std::make_unique<AresResolver>(serverList)));
    return Status::Ok();
}

int SocketConnector::Connect(const std::string& host, int port, int timeoutMs, const std::atomic<int>* stop)
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

    const LookupAnswer found = m_resolver->Resolve(target, timeoutMs, stop);
    int fd = -1;
    for (const std::uint32_t address : found.addresses) {
        if (fd >= 0 || MillisecondsLeft(deadline) == 0 || (stop != nullptr && stop->load() != 0)) {
            break;
        }
        fd = ConnectOne(address, targetPort, deadline);
    }
    return fd;
}

} // namespace trawl

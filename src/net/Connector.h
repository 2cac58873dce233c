#pragma once

#include "net/ConnectTo.h"

#include <memory>
#include <string>
#include <vector>

namespace trawl {

// Resolving a host and opening a TCP connection to it: the seam that lets tests and the demo send
// every request to a local server.
class Connector {
public:
    virtual ~Connector() = default;
    // A connected, non-blocking stream socket that the caller owns and closes, or -1. Gives up after
    // `timeoutMs` of connecting (name resolution excepted, see SocketConnector).
    virtual int Connect(const std::string& host, int port, int timeoutMs) = 0;
};

// The real one: IPv4 name resolution and a non-blocking connect bounded by the time-out, after the
// connect-to rules have had their say. Name resolution (getaddrinfo) blocks for as long as the system
// resolver takes; it has no time-out of its own.
class SocketConnector final : public Connector {
public:
    explicit SocketConnector(std::vector<ConnectToRule> rules = {}) : m_rules(std::move(rules)) {}
    // The program's connector: the rules of kConnectToVariable, read once here. When the variable is
    // malformed, `connector` stays empty and the status carries the message for the user.
    static Status FromEnvironment(std::unique_ptr<SocketConnector>& connector);

    int Connect(const std::string& host, int port, int timeoutMs) override;
    const std::vector<ConnectToRule>& rules() const { return m_rules; }

private:
    std::vector<ConnectToRule> m_rules; // read-only after construction, so shared freely by threads
};

} // namespace trawl

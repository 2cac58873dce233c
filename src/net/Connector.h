#pragma once

#include "net/ConnectTo.h"
#include "net/NameResolver.h"

#include <atomic>
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
    // `timeoutMs` of looking up and connecting, or as soon as `stop` (when given) is raised.
    virtual int Connect(const std::string& host, int port, int timeoutMs, const std::atomic<int>* stop) = 0;
};

// The real one: after the connect-to rules have had their say, an IPv4 look-up and a non-blocking
// connect, together bounded by the time-out. Look-ups are remembered per host (CachingResolver).
class SocketConnector final : public Connector {
public:
    explicit SocketConnector(std::vector<ConnectToRule> rules = {}, std::unique_ptr<NameResolver> resolver = nullptr);
    // The program's connector: the rules of kConnectToVariable and the name servers of
    // kNameServersVariable, read once here. When a variable is malformed, `connector` stays empty and
    // the status carries the message for the user.
    static Status FromEnvironment(std::unique_ptr<SocketConnector>& connector);

    int Connect(const std::string& host, int port, int timeoutMs, const std::atomic<int>* stop) override;
    const std::vector<ConnectToRule>& rules() const { return m_rules; }

private:
    std::vector<ConnectToRule> m_rules; // read-only after construction, so shared freely by threads
    std::unique_ptr<NameResolver> m_resolver; // safe for every thread
};

} // namespace trawl

#pragma once

#include <atomic>
#include <string>
#include <string_view>

namespace trawl {

// A host given to HttpGet as this prefix and the name is asked over TLS (port 443).
inline constexpr std::string_view kHttpsPrefix = "https://";

// The host's name without the prefix: what both forms of one host share.
inline std::string_view BareHost(std::string_view host)
{
    return host.starts_with(kHttpsPrefix) ? host.substr(kHttpsPrefix.size()) : host;
}

// One blocking HTTP/1.0 GET exchange: the raw response (status line, headers, blank line and body),
// or an empty text when nothing was received. The real one is HttpClient; tests may put a scripted
// one in its place.
class HttpGetter {
public:
    virtual ~HttpGetter() = default;
    virtual std::string HttpGet(const std::string& host, const std::string& path, int followRedirect,
                                int countBytes) = 0;
    // Why the last exchange with `host` (either form) could not be made, where more is known than
    // "no answer": "certificate not trusted for HOST", "handshake failed with HOST". Empty otherwise,
    // and again once an exchange with the host gets through.
    virtual std::string ConnectFailure(const std::string& host) const
    {
        static_cast<void>(host);
        return {};
    }
    // Waits until a request to `host` (either form) may go out as politeness asks (a pause between
    // two requests to one host, a Retry-After the host gave); false as soon as `stop` is raised.
    // Without such rules: true at once.
    virtual bool AwaitTurn(const std::string& host, const std::atomic<int>& stop)
    {
        static_cast<void>(host);
        static_cast<void>(stop);
        return true;
    }
};

} // namespace trawl

// Response handling of the HTTP client: a fake connector hands out socket pairs whose far end holds
// the fuzz bytes (first response, then the redirect's), so the real receive loop and the redirect rule
// run on them. The result must be exactly what the redirect decision says.
#include "FuzzSupport.h"
#include "net/ByteCounter.h"
#include "net/Connector.h"
#include "net/HttpClient.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace trawl;
using trawl::fuzz::Check;

namespace {

class ScriptedConnector final : public Connector {
public:
    explicit ScriptedConnector(std::vector<std::string_view> responses) : m_responses(std::move(responses)) {}
    ~ScriptedConnector() override
    {
        for (int fd : m_farEnds) {
            ::close(fd);
        }
    }

    int Connect(const std::string& host, int, int, const std::atomic<int>*) override
    {
        m_hosts.push_back(host);
        if (m_next >= m_responses.size()) {
            return -1;
        }
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
            fuzz::Fail("socketpair");
        }
        const int big = 1 << 20;
        ::setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
        ::setsockopt(pair[0], SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
        std::string_view bytes = m_responses[m_next++];
        while (!bytes.empty()) {
            const ssize_t sent = ::send(pair[1], bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) {
                fuzz::Fail("could not queue the response");
            }
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        ::shutdown(pair[1], SHUT_WR); // the server closes after its response
        m_farEnds.push_back(pair[1]);
        ::fcntl(pair[0], F_SETFL, ::fcntl(pair[0], F_GETFL) | O_NONBLOCK);
        return pair[0];
    }

    std::vector<std::string> m_hosts;

private:
    std::vector<std::string_view> m_responses;
    std::size_t m_next = 0;
    std::vector<int> m_farEnds;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto [selector, rest] = fuzz::TakeSelector(fuzz::AsText(data, size));
    if (rest.size() > 200000) {
        return 0; // keeps the queued bytes within the socket buffers
    }
    const int followRedirect = (selector & 1) != 0 ? 1 : static_cast<int>(selector >> 1) % 3;
    const int countBytes = (selector >> 4) & 1;
    // "first response \xff\xfe redirected response"
    std::vector<std::string_view> responses;
    const auto cut = rest.find("\xff\xfe");
    responses.push_back(rest.substr(0, cut));
    responses.push_back(cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 2));

    ScriptedConnector connector(responses);
    ByteCounter counter;
    HttpOptions options;
    options.userAgent = "fuzz";
    options.waitMs = 2000;
    options.chunkBytes = 1 + selector % 61; // odd chunk sizes cut the response at every place
    HttpClient client(options, connector, counter);
    const std::string result = client.HttpGet("first.example", "/", followRedirect, countBytes);

    std::string expected(responses[0]);
    std::int64_t counted = static_cast<std::int64_t>(responses[0].size());
    std::size_t connects = 1;
    if (followRedirect == 1) {
        const RedirectStep step = DecideRedirect(responses[0], "first.example");
        if (step.action == RedirectStep::Action::Drop) {
            expected.clear();
        } else if (step.action == RedirectStep::Action::Follow) {
            const bool tls = step.host.starts_with(kHttpsPrefix);
            const std::string host = tls ? step.host.substr(kHttpsPrefix.size()) : step.host;
            const bool sendable = IsSendableHost(host) && IsSendablePath(step.path);
            // Over TLS the scripted bytes never pass for a handshake: nothing comes back.
            expected = sendable && !tls ? std::string(responses[1]) : std::string();
            counted += static_cast<std::int64_t>(expected.size());
            if (sendable) {
                ++connects;
                Check(connector.m_hosts.size() == 2 && connector.m_hosts[1] == host,
                      "the redirect went to another host", rest);
            }
        }
    }
    Check(result == expected, "the client's answer differs from the redirect rule's", rest);
    Check(connector.m_hosts.size() == connects, "unexpected number of connections", rest);
    Check(counter.Total() == (countBytes != 0 ? counted : 0), "bytes counted wrongly", rest);
    return 0;
}

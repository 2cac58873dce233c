// Response handling of the HTTP client: a fake connector hands out socket pairs whose far end holds
// the fuzz bytes (first response, then the redirect's), so the real receive loop and the redirect rule
// run on them. A connection to port 443 gets a TLS server instead, which sends the bytes in records
// of odd sizes after the handshake and then says goodbye or just closes, so the TLS read path runs
// on them too. The result must be exactly what the redirect decision says.
#include "FuzzSupport.h"
#include "net/ByteCounter.h"
#include "net/Connector.h"
#include "net/HttpClient.h"
#include "sitesim/TestCertificates.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace trawl;
using trawl::fuzz::Check;

namespace {

// The server side of the TLS connections: a certificate for the first host from a CA that the
// client trusts through SSL_CERT_FILE (set before the client's first handshake).
SSL_CTX* ServerContext()
{
    static SSL_CTX* const context = [] {
        static const sitesim::CertificateAuthority authority;
        static const std::string trust =
            (std::getenv("TMPDIR") != nullptr ? std::string(std::getenv("TMPDIR")) : "/tmp") + "/trawlkit-fuzz-ca-" +
            std::to_string(::getpid()) + ".pem";
        std::ofstream(trust) << authority.CertificatePem();
        std::atexit([] { ::unlink(trust.c_str()); });
        ::setenv("SSL_CERT_FILE", trust.c_str(), 1);
        ::signal(SIGPIPE, SIG_IGN); // a client that left mid-response must not end the fuzzer
        return sitesim::MakeServerContext(authority.Issue({"first.example"}));
    }();
    if (context == nullptr) {
        fuzz::Fail("no TLS server context");
    }
    return context;
}

// One TLS connection's server: the handshake, `bytes` in records of `record` bytes, then a goodbye
// (or none) and the close. `handshaken` tells the model whether the client accepted us.
void ServeTls(int fd, std::string_view bytes, std::size_t record, bool goodbye, std::atomic<bool>& handshaken)
{
    SSL* ssl = SSL_new(ServerContext());
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) == 1) {
        handshaken.store(true);
        std::string request; // read whole first, as a server does before it answers
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int got = SSL_read(ssl, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            request.append(buffer, static_cast<std::size_t>(got));
        }
        while (!bytes.empty()) {
            const int sent = SSL_write(ssl, bytes.data(), static_cast<int>(std::min(bytes.size(), record)));
            if (sent <= 0) {
                break; // the client left (its cap, a wait ran out)
            }
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        if (goodbye) {
            SSL_shutdown(ssl);
        }
    }
    SSL_free(ssl);
    ::shutdown(fd, SHUT_WR); // the server closes after its response
}

class ScriptedConnector final : public Connector {
public:
    ScriptedConnector(std::vector<std::string_view> responses, std::size_t record, bool goodbye)
        : m_responses(std::move(responses)), m_record(record), m_goodbye(goodbye)
    {
    }
    ~ScriptedConnector() override
    {
        for (std::thread& server : m_servers) {
            server.join();
        }
        for (int fd : m_farEnds) {
            ::close(fd);
        }
    }

    int Connect(const std::string& host, int port, int, const std::atomic<int>*) override
    {
        m_hosts.push_back(host);
        if (m_next >= m_responses.size()) {
            return -1;
        }
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
            fuzz::Fail("socketpair");
        }
        if (port == 443) {
            m_farEnds.push_back(pair[1]);
            const std::size_t connection = m_next++;
            m_servers.emplace_back(ServeTls, pair[1], m_responses[connection], m_record, m_goodbye,
                                   std::ref(m_handshaken[connection]));
            ::fcntl(pair[0], F_SETFL, ::fcntl(pair[0], F_GETFL) | O_NONBLOCK);
            return pair[0];
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

    // Whether the client accepted the TLS server of the first and the second connection.
    bool Handshaken(std::size_t connection) const { return m_handshaken[connection].load(); }
    void Join()
    {
        for (std::thread& server : m_servers) {
            server.join();
        }
        m_servers.clear();
    }

    std::vector<std::string> m_hosts;

private:
    std::vector<std::string_view> m_responses;
    std::size_t m_record;
    bool m_goodbye;
    std::size_t m_next = 0;
    std::vector<int> m_farEnds;
    std::vector<std::thread> m_servers;
    std::atomic<bool> m_handshaken[2] = {false, false};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ServerContext(); // trusted before the client makes its first TLS context
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

    // Selector bit 5: the first request goes over TLS; bit 6: its server says goodbye at the end.
    const bool firstTls = ((selector >> 5) & 1) != 0;
    const bool goodbye = ((selector >> 6) & 1) != 0;
    ScriptedConnector connector(responses, 1 + (selector * 37u) % 4096, goodbye);
    ByteCounter counter;
    HttpOptions options;
    options.userAgent = "fuzz";
    options.waitMs = 2000;
    options.chunkBytes = 1 + selector % 61; // odd chunk sizes cut the response at every place
    HttpClient client(options, connector, counter);
    const std::string firstHost = firstTls ? std::string(kHttpsPrefix) + "first.example" : "first.example";
    const std::string result = client.HttpGet(firstHost, "/", followRedirect, countBytes);
    connector.Join();

    if (firstTls) {
        Check(connector.Handshaken(0), "the client refused the trusted TLS server", rest);
    }
    std::string expected(responses[0]);
    std::int64_t counted = static_cast<std::int64_t>(responses[0].size());
    std::size_t connects = 1;
    if (followRedirect == 1) {
        const RedirectStep step = DecideRedirect(responses[0], firstHost);
        if (step.action == RedirectStep::Action::Drop) {
            expected.clear();
        } else if (step.action == RedirectStep::Action::Follow) {
            const bool tls = step.host.starts_with(kHttpsPrefix);
            const std::string host = tls ? step.host.substr(kHttpsPrefix.size()) : step.host;
            const bool sendable = IsSendableHost(host) && IsSendablePath(step.path);
            // Over TLS the answer comes only from a server the client accepted: the certificate
            // names the first host alone.
            expected = sendable && (!tls || connector.Handshaken(1)) ? std::string(responses[1]) : std::string();
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

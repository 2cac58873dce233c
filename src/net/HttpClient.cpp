#include "net/HttpClient.h"

#include "net/ByteCounter.h"
#include "net/Connector.h"
#include "net/NameResolver.h"
#include "net/SocketWait.h"
#include "net/TextBetween.h"
#include "net/TlsChannel.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace trawl {

namespace {

constexpr std::string_view kRedirectMark = "302 Found";
constexpr std::string_view kLocationMark = "Location: http://";
constexpr std::string_view kLineEnd = "\r\n";

class SocketGuard {
public:
    explicit SocketGuard(int fd) : m_fd(fd) {}
    ~SocketGuard()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    SocketGuard(const SocketGuard&) = delete;
    SocketGuard& operator=(const SocketGuard&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// One request line in one send (a second only if the first took part of it).
bool SendLine(int fd, std::string_view line, int waitMs, SteadyClock::time_point deadline, const std::atomic<int>* stop)
{
    while (!line.empty()) {
        if (!WaitForSocket(fd, POLLOUT, waitMs, deadline, stop)) {
            return false;
        }
        const ssize_t sent = ::send(fd, line.data(), line.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                continue;
            }
            return false;
        }
        line.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

} // namespace

bool IsSendableHost(std::string_view host)
{
    if (host.empty()) {
        return false;
    }
    return std::none_of(host.begin(), host.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 32 || byte == 127;
    });
}

bool IsSendablePath(std::string_view path)
{
    return path.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

namespace {

constexpr std::string_view kSecureLocationMark = "Location: https://";

// "host/path" split, or nothing when it has no host or no path.
bool SplitLocation(const std::string& location, RedirectStep& step)
{
    const auto slash = location.find('/');
    if (slash == std::string::npos || slash == 0) {
        return false;
    }
    step.host = location.substr(0, slash);
    step.path = location.substr(slash);
    return true;
}

int StatusCode(std::string_view response)
{
    const auto space = response.find(' ');
    if (!response.starts_with("HTTP/") || space == std::string_view::npos || response.size() < space + 4) {
        return 0;
    }
    const std::string_view digits = response.substr(space + 1, 3);
    int code = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return 0;
        }
        code = code * 10 + (c - '0');
    }
    return code;
}

bool SameHost(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

RedirectStep DecideRedirect(std::string_view response, std::string_view requestHost)
{
    RedirectStep step;
    if (response.find(kRedirectMark) == std::string_view::npos) {
        // A site that moved to HTTPS says so with a 301, 307 or 308 to its own https address.
        const int status = StatusCode(response);
        if ((status == 301 || status == 307 || status == 308) && !requestHost.empty() &&
            SplitLocation(TextBetween(response, kSecureLocationMark, kLineEnd), step) &&
            SameHost(step.host, BareHost(requestHost))) {
            step.action = RedirectStep::Action::Follow;
            step.host.insert(0, kHttpsPrefix);
        } else {
            step = RedirectStep{};
        }
        return step;
    }
    // The first Location line decides, http:// or https://.
    const auto plain = response.find(kLocationMark);
    const auto secure = response.find(kSecureLocationMark);
    const bool tls = secure < plain;
    if (!SplitLocation(TextBetween(response, tls ? kSecureLocationMark : kLocationMark, kLineEnd), step)) {
        step = RedirectStep{};
        step.action = RedirectStep::Action::Drop;
        return step;
    }
    step.action = RedirectStep::Action::Follow;
    if (tls) {
        step.host.insert(0, kHttpsPrefix);
    }
    return step;
}

HttpOptions StoppableOptions(const std::string& userAgent, const std::atomic<int>* stop)
{
    HttpOptions options{userAgent};
    options.stop = stop;
    return options;
}

HttpClient::HttpClient(HttpOptions options, Connector& connector, ByteCounter& counter)
    : m_options(std::move(options)), m_connector(connector), m_counter(counter)
{
    m_options.chunkBytes = std::max<std::size_t>(m_options.chunkBytes, 1);
    m_options.waitMs = std::max(m_options.waitMs, 0);
    m_options.exchangeDeadlineMs = std::max(m_options.exchangeDeadlineMs, 0);
}

void HttpClient::NoteHandshake(const std::string& host, const std::string& failure)
{
    std::lock_guard lock(m_tlsFailures->mutex);
    if (failure.empty()) {
        m_tlsFailures->reasons.erase(host);
    } else {
        m_tlsFailures->reasons[host] = failure;
    }
}

std::string HttpClient::ConnectFailure(const std::string& host) const
{
    std::lock_guard lock(m_tlsFailures->mutex);
    const auto found = m_tlsFailures->reasons.find(BareHost(host));
    return found != m_tlsFailures->reasons.end() ? found->second : std::string();
}

std::string HttpClient::Exchange(const std::string& address, const std::string& path)
{
    const bool tls = address.starts_with(kHttpsPrefix);
    const std::string host(BareHost(address));
    if (!IsSendableHost(host) || !IsSendablePath(path)) {
        return {};
    }
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(m_options.exchangeDeadlineMs);
    const int waitMs = m_options.waitMs;
    SocketGuard socket(m_connector.Connect(host, tls ? m_options.tlsPort : m_options.port, WaitBudget(waitMs, deadline),
                                           m_options.stop));
    if (socket.fd() < 0) {
        return {};
    }
    std::optional<TlsChannel> channel;
    if (tls) {
        channel.emplace(socket.fd(), host, waitMs, deadline, m_options.stop);
        const bool shaken = channel->Handshake();
        NoteHandshake(host, shaken ? std::string() : channel->failure());
        if (!shaken) {
            // Never asked again over plain HTTP: the exchange fails as a connection problem does.
            if (!channel->failure().empty() && m_options.tlsFailure) {
                m_options.tlsFailure(host, channel->failure());
            }
            return {};
        }
    }

    const std::string lines[] = {
        "GET " + path + " HTTP/1.0\r\n",
        "Host: " + host + "\r\n",
        "User-Agent: " + m_options.userAgent + "\r\n",
        "Accept-Language: en-us\r\n",
        "\r\n",
    };
    for (const auto& line : lines) {
        if (!(channel ? channel->Send(line) : SendLine(socket.fd(), line, waitMs, deadline, m_options.stop))) {
            return {};
        }
    }

    std::string response;
    ResponseLease lease(m_options.budget);
    const std::size_t cap = m_options.maxResponseBytes;
    while (response.size() < cap) {
        if (!(channel ? channel->WaitReadable()
                      : WaitForSocket(socket.fd(), POLLIN, waitMs, deadline, m_options.stop))) {
            break; // the wait passed with nothing to read, or the exchange is out of time
        }
        const std::size_t want = std::min(m_options.chunkBytes, cap - response.size());
        const std::size_t had = response.size();
        if (!lease.Cover(had + want)) {
            break; // the responses on their way in hold all the memory they may: this one ends here
        }
        if (response.capacity() < lease.held()) {
            response.reserve(std::min(lease.held(), cap)); // the string holds what was drawn, no more
        }
        response.resize(had + want);
        long got = 0;
        if (channel) {
            got = channel->Read(response.data() + had, want);
            if (got == TlsChannel::kAgain) {
                response.resize(had);
                continue;
            }
        } else {
            got = ::recv(socket.fd(), response.data() + had, want, 0);
            if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
                response.resize(had);
                continue;
            }
        }
        response.resize(had + static_cast<std::size_t>(std::max<long>(got, 0)));
        if (got <= 0) {
            break; // closed by the server, or the connection failed
        }
    }
    if (Stopped(m_options.stop)) {
        return {}; // abandoned: part of a page is not taken for the page
    }
    return response;
}

std::string HttpClient::HttpGet(const std::string& host, const std::string& path, int followRedirect, int countBytes)
{
    std::string response = Exchange(host, path);
    if (countBytes != 0) {
        m_counter.Add(static_cast<std::int64_t>(response.size()));
    }
    if (followRedirect != 1) {
        return response;
    }
    RedirectStep step = DecideRedirect(response, host);
    switch (step.action) {
    case RedirectStep::Action::Keep:
        return response;
    case RedirectStep::Action::Drop:
        return {};
    case RedirectStep::Action::Follow:
        break;
    }
    return HttpGet(step.host, step.path, 0, countBytes);
}

} // namespace trawl

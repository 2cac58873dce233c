#include "sitesim/SampleSiteServer.h"

#include "app/TextUtil.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace trawl::sitesim {

namespace {

constexpr std::size_t kMaxRequestBytes = 64 * 1024;
constexpr int kReapIntervalMs = 200;

// Host line value and request-line path of a request; empty when absent.
void ParseRequest(SimRequest& request)
{
    const std::string& bytes = request.bytes;
    const auto lineEnd = bytes.find('\n');
    const std::string_view first = std::string_view(bytes).substr(0, lineEnd);
    const auto space = first.find(' ');
    if (space != std::string_view::npos) {
        const auto next = first.find(' ', space + 1);
        request.path = std::string(
            first.substr(space + 1, next == std::string_view::npos ? std::string_view::npos : next - space - 1));
    }
    std::size_t at = lineEnd == std::string::npos ? bytes.size() : lineEnd + 1;
    while (at < bytes.size()) {
        auto end = bytes.find('\n', at);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string_view line = std::string_view(bytes).substr(at, end - at);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.size() >= 5 && ToLowerAscii(line.substr(0, 5)) == "host:") {
            request.host = TrimmedCopy(line.substr(5));
            break;
        }
        at = end + 1;
    }
}

void UpdatePeak(std::atomic<int>& peak, int value)
{
    int seen = peak.load();
    while (value > seen && !peak.compare_exchange_weak(seen, value)) {
    }
}

} // namespace

SampleSiteServer::SampleSiteServer() = default;

SampleSiteServer::~SampleSiteServer()
{
    Stop();
}

Status SampleSiteServer::Start(int port)
{
    if (m_running.load()) {
        return Status::Failure("The sample site server is already running.");
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return Status::Failure("The sample site server could not make its wake-up pipe.");
    }
    m_wakeRead = pipeFds[0];
    m_wakeWrite = pipeFds[1];

    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t length = sizeof(address);
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_listenFd, SOMAXCONN) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        Stop();
        return Status::Failure("The sample site server could not listen on 127.0.0.1: " +
                               std::string(std::strerror(error)));
    }
    m_port = ntohs(address.sin_port);
    m_running.store(true);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
    return Status::Ok();
}

void SampleSiteServer::Stop()
{
    m_running.store(false);
    if (m_wakeWrite >= 0) {
        const char byte = 1;
        // Never read: the pipe stays readable, so every wait that watches it ends now and later.
        [[maybe_unused]] const auto written = ::write(m_wakeWrite, &byte, 1);
    }
    if (m_acceptThread.joinable()) {
        m_acceptThread.join();
    }
    m_connections.Reap(true);
    for (int* fd : {&m_listenFd, &m_wakeRead, &m_wakeWrite}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

void SampleSiteServer::AcceptLoop()
{
    pollfd waiters[2] = {{m_listenFd, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
    while (m_running.load()) {
        const int ready = ::poll(waiters, 2, kReapIntervalMs);
        m_connections.Reap(false);
        if (ready <= 0 || (waiters[1].revents & POLLIN) != 0) {
            continue;
        }
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        m_accepted.fetch_add(1);
        UpdatePeak(m_peak, m_active.fetch_add(1) + 1);
        m_connections.Start([this, fd] { Serve(fd); });
    }
}

bool SampleSiteServer::Pause(int ms) const
{
    if (!m_running.load()) {
        return false;
    }
    if (ms <= 0) {
        return true;
    }
    pollfd waiter{m_wakeRead, POLLIN, 0};
    return ::poll(&waiter, 1, ms) == 0 && m_running.load();
}

bool SampleSiteServer::SendAll(int fd, const char* data, std::size_t size) const
{
    pollfd waiters[2] = {{fd, POLLOUT, 0}, {m_wakeRead, POLLIN, 0}};
    while (size > 0) {
        if (::poll(waiters, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if ((waiters[1].revents & POLLIN) != 0 || (waiters[0].revents & (POLLERR | POLLHUP)) != 0) {
            return false;
        }
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                continue;
            }
            return false;
        }
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

void SampleSiteServer::Serve(int fd)
{
    SimRequest request;
    pollfd waiters[2] = {{fd, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
    char buffer[4096];
    bool clientLeft = false;
    while (request.bytes.find("\r\n\r\n") == std::string::npos && request.bytes.size() < kMaxRequestBytes) {
        if (::poll(waiters, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            clientLeft = true;
            break;
        }
        if ((waiters[1].revents & POLLIN) != 0) {
            EndConnection(fd);
            return; // stopping
        }
        const ssize_t got = ::recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            continue;
        }
        if (got <= 0) {
            clientLeft = true;
            break;
        }
        request.bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ParseRequest(request);
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
    }
    if (!clientLeft) {
        Respond(fd, request);
    }
    EndConnection(fd);
}

void SampleSiteServer::EndConnection(int fd)
{
    // No longer counted before the client can see the close: a client that connects again at once
    // must not find its old connection still counted beside the new one.
    m_active.fetch_sub(1);
    ::close(fd);
}

void SampleSiteServer::Respond(int fd, const SimRequest& request)
{
    const auto [handler, knobs] = Find(request.host, request.path);
    if (!Pause(knobs.latencyMs)) {
        return;
    }
    if (knobs.noAnswer) {
        // Silent until the client gives up or the server stops.
        pollfd waiters[2] = {{fd, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
        char buffer[512];
        while (m_running.load()) {
            if (::poll(waiters, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if ((waiters[1].revents & POLLIN) != 0) {
                return;
            }
            const ssize_t got = ::recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT);
            if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
                return;
            }
        }
        return;
    }
    const SimResponse response = handler ? (*handler)(request) : SimResponse::NotFound();
    if (!SendPaced(fd, response.Bytes(), knobs)) {
        return;
    }
    ::shutdown(fd, SHUT_WR);
}

bool SampleSiteServer::SendPaced(int fd, const std::string& bytes, const Knobs& knobs) const
{
    long sentSoFar = 0;
    bool stalled = false;
    static const std::string filler = [] {
        std::string text;
        while (text.size() < 4096) {
            text += "<p>and more of the same</p>\n";
        }
        return text;
    }();
    // The response once, then the filler: the extra bytes, or for as long as the body is to be endless.
    std::size_t extraLeft = knobs.extraBodyBytes;
    for (bool first = true; first || knobs.endlessBody || extraLeft > 0; first = false) {
        std::string_view data = first ? std::string_view(bytes) : std::string_view(filler);
        if (!first && !knobs.endlessBody) {
            data = data.substr(0, extraLeft);
            extraLeft -= data.size();
        }
        while (!data.empty()) {
            if (knobs.resetAfterBytes >= 0 && sentSoFar >= knobs.resetAfterBytes) {
                const linger abort{1, 0}; // close() now sends a reset
                ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof(abort));
                return false;
            }
            if (knobs.stallAfterBytes >= 0 && !stalled && sentSoFar >= knobs.stallAfterBytes) {
                stalled = true;
                if (!Pause(knobs.stallMs)) {
                    return false;
                }
            }
            std::size_t piece = data.size();
            if (knobs.trickleBytes > 0) {
                piece = std::min(piece, knobs.trickleBytes);
            }
            if (knobs.resetAfterBytes >= 0) {
                piece = std::min(piece, static_cast<std::size_t>(knobs.resetAfterBytes - sentSoFar));
            }
            if (knobs.stallAfterBytes >= 0 && !stalled) {
                piece = std::min(piece, static_cast<std::size_t>(knobs.stallAfterBytes - sentSoFar));
            }
            if (!SendAll(fd, data.data(), piece)) {
                return false;
            }
            sentSoFar += static_cast<long>(piece);
            data.remove_prefix(piece);
            if (knobs.trickleBytes > 0 && !Pause(knobs.trickleIntervalMs)) {
                return false;
            }
        }
        if (!m_running.load()) {
            return false;
        }
    }
    if (knobs.resetAfterBytes >= 0 && sentSoFar >= knobs.resetAfterBytes) {
        const linger abort{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof(abort));
        return false;
    }
    return true;
}

std::pair<std::shared_ptr<const SampleSiteServer::Handler>, Knobs> SampleSiteServer::Find(const std::string& host,
                                                                                          const std::string& path) const
{
    const std::string lowered = ToLowerAscii(host);
    std::lock_guard lock(m_mutex);
    for (const auto& key :
         {std::pair<std::string, std::string>{lowered, path}, {lowered, "*"}, {"*", path}, {"*", "*"}}) {
        const auto found = m_routes.find(key);
        if (found != m_routes.end() && found->second.handler) {
            return {found->second.handler, found->second.knobs.value_or(m_globalKnobs)};
        }
    }
    return {nullptr, m_globalKnobs};
}

void SampleSiteServer::AddRoute(const std::string& host, const std::string& path, Handler handler)
{
    std::lock_guard lock(m_mutex);
    m_routes[{ToLowerAscii(host), path}].handler = std::make_shared<const Handler>(std::move(handler));
}

void SampleSiteServer::AddRoute(const std::string& host, const std::string& path, Handler handler, const Knobs& knobs)
{
    std::lock_guard lock(m_mutex);
    auto& route = m_routes[{ToLowerAscii(host), path}];
    route.handler = std::make_shared<const Handler>(std::move(handler));
    route.knobs = knobs;
}

void SampleSiteServer::AddPage(const std::string& host, const std::string& path, std::string body)
{
    AddRoute(host, path, [body = std::move(body)](const SimRequest&) { return SimResponse::Page(body); });
}

void SampleSiteServer::AddRedirect(const std::string& host, const std::string& path, std::string location)
{
    AddRoute(host, path,
             [location = std::move(location)](const SimRequest&) { return SimResponse::Redirect(location); });
}

void SampleSiteServer::AddRedirectChain(const std::string& host, const std::string& path, int hops,
                                        const std::string& finalLocation)
{
    std::string from = path;
    for (int hop = 1; hop < hops; ++hop) {
        const std::string next = path + "~" + std::to_string(hop);
        AddRedirect(host, from, "http://" + host + next);
        from = next;
    }
    if (hops > 0) {
        AddRedirect(host, from, finalLocation);
    }
}

void SampleSiteServer::SetRouteKnobs(const std::string& host, const std::string& path, const Knobs& knobs)
{
    std::lock_guard lock(m_mutex);
    m_routes[{ToLowerAscii(host), path}].knobs = knobs;
}

void SampleSiteServer::SetGlobalKnobs(const Knobs& knobs)
{
    std::lock_guard lock(m_mutex);
    m_globalKnobs = knobs;
}

std::vector<SimRequest> SampleSiteServer::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::size_t SampleSiteServer::RequestCount() const
{
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

void SampleSiteServer::ClearRequests()
{
    std::lock_guard lock(m_mutex);
    m_requests.clear();
}

} // namespace trawl::sitesim

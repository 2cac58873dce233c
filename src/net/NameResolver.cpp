#include "net/NameResolver.h"

#include "app/TextUtil.h"

#include <algorithm>
#include <arpa/inet.h>
#include <ares.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace trawl {

std::int64_t SteadyMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

LookupAnswer WaitForLookup(PendingLookup& lookup, const MillisecondClock& now, int boundMs,
                           const std::atomic<int>* stop)
{
    const std::int64_t deadline = now() + std::max(boundMs, 0);
    for (;;) {
        if (stop != nullptr && stop->load() != 0) {
            return {LookupEnd::Stopped, {}};
        }
        const std::int64_t left = deadline - now();
        if (left <= 0) {
            return {LookupEnd::TimedOut, {}};
        }
        if (lookup.Step(static_cast<int>(std::min<std::int64_t>(left, kStopSliceMs)))) {
            return lookup.answer();
        }
    }
}

namespace {

void InitialiseAresOnce()
{
    static const int initialised = ares_library_init(ARES_LIB_INIT_ALL);
    (void)initialised;
}

// One c-ares channel for one look-up: channels are not shared between threads, and a look-up that
// is given up is ended by destroying its channel.
class AresLookup final : public PendingLookup {
public:
    AresLookup(const std::string& host, const std::string& servers)
    {
        InitialiseAresOnce();
        if (ares_init(&m_channel) != ARES_SUCCESS) {
            m_channel = nullptr;
            m_done = true;
            return;
        }
        if (!servers.empty() && ares_set_servers_ports_csv(m_channel, servers.c_str()) != ARES_SUCCESS) {
            m_done = true;
            return;
        }
        ares_addrinfo_hints hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        ares_getaddrinfo(m_channel, host.c_str(), nullptr, &hints, &AresLookup::Answered, this);
    }
    ~AresLookup() override
    {
        if (m_channel != nullptr) {
            ares_destroy(m_channel); // calls Answered once more for a look-up still under way
        }
    }
    AresLookup(const AresLookup&) = delete;
    AresLookup& operator=(const AresLookup&) = delete;

    bool Step(int ms) override
    {
        if (m_done) {
            return true;
        }
        ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
        const int bits = ares_getsock(m_channel, sockets, ARES_GETSOCK_MAXNUM);
        pollfd waiters[ARES_GETSOCK_MAXNUM];
        nfds_t count = 0;
        for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
            const short events = static_cast<short>((ARES_GETSOCK_READABLE(bits, i) ? POLLIN : 0) |
                                                    (ARES_GETSOCK_WRITABLE(bits, i) ? POLLOUT : 0));
            if (events != 0) {
                waiters[count++] = pollfd{sockets[i], events, 0};
            }
        }
        timeval most{ms / 1000, (ms % 1000) * 1000};
        timeval wait{};
        const timeval* until = ares_timeout(m_channel, &most, &wait);
        const int waitMs = static_cast<int>(until->tv_sec * 1000 + until->tv_usec / 1000);
        const int ready = ::poll(waiters, count, waitMs);
        if (ready > 0) {
            for (nfds_t i = 0; i < count && !m_done; ++i) {
                const short got = waiters[i].revents;
                if (got != 0) {
                    ares_process_fd(m_channel, (got & (POLLIN | POLLERR | POLLHUP)) ? waiters[i].fd : ARES_SOCKET_BAD,
                                    (got & POLLOUT) ? waiters[i].fd : ARES_SOCKET_BAD);
                }
            }
        } else if (ready == 0) {
            ares_process_fd(m_channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD); // c-ares's own time-outs and retries
        }
        return m_done;
    }

    LookupAnswer answer() const override { return m_answer; }

private:
    static void Answered(void* self, int status, int /*timeouts*/, ares_addrinfo* result)
    {
        auto& lookup = *static_cast<AresLookup*>(self);
        lookup.m_done = true;
        if (status == ARES_SUCCESS && result != nullptr) {
            for (const ares_addrinfo_node* node = result->nodes; node != nullptr; node = node->ai_next) {
                if (node->ai_family == AF_INET && node->ai_addr != nullptr) {
                    const auto* address = reinterpret_cast<const sockaddr_in*>(node->ai_addr);
                    lookup.m_answer.addresses.push_back(address->sin_addr.s_addr);
                }
            }
        }
        lookup.m_answer.end = lookup.m_answer.addresses.empty()
                                  ? (status == ARES_ETIMEOUT ? LookupEnd::TimedOut : LookupEnd::NotFound)
                                  : LookupEnd::Found;
        if (result != nullptr) {
            ares_freeaddrinfo(result);
        }
    }

    ares_channel m_channel = nullptr;
    bool m_done = false;
    LookupAnswer m_answer;
};

} // namespace

Status CheckNameServers(const std::string& servers)
{
    InitialiseAresOnce();
    ares_channel channel = nullptr;
    if (ares_init(&channel) != ARES_SUCCESS) {
        return Status::Failure("The name resolver could not be set up.");
    }
    const int result = ares_set_servers_ports_csv(channel, servers.c_str());
    ares_destroy(channel);
    if (result != ARES_SUCCESS) {
        return Status::Failure(std::string(kNameServersVariable) + ": \"" + servers +
                               "\" is not a list of ADDR:PORT entries separated by commas.");
    }
    return Status::Ok();
}

LookupAnswer AresResolver::Resolve(const std::string& host, int boundMs, const std::atomic<int>* stop)
{
    in_addr numeric{};
    if (::inet_pton(AF_INET, host.c_str(), &numeric) == 1) {
        return {LookupEnd::Found, {numeric.s_addr}};
    }
    if (host.empty()) {
        return {LookupEnd::NotFound, {}};
    }
    AresLookup lookup(host, m_servers);
    return WaitForLookup(lookup, SteadyMilliseconds, boundMs, stop);
}

CachingResolver::CachingResolver(std::unique_ptr<NameResolver> inner, MillisecondClock now, std::int64_t keepFoundMs,
                                 std::int64_t keepFailedMs)
    : m_inner(std::move(inner)), m_now(std::move(now)), m_keepFoundMs(keepFoundMs), m_keepFailedMs(keepFailedMs)
{
}

LookupAnswer CachingResolver::Resolve(const std::string& host, int boundMs, const std::atomic<int>* stop)
{
    const std::string key = ToLowerAscii(host);
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_entries.find(key);
        if (found != m_entries.end() && found->second.until > m_now()) {
            return found->second.answer;
        }
    }
    LookupAnswer answer = m_inner->Resolve(host, boundMs, stop);
    if (answer.end != LookupEnd::Stopped) {
        const std::int64_t keep = answer.end == LookupEnd::Found ? m_keepFoundMs : m_keepFailedMs;
        std::lock_guard lock(m_mutex);
        m_entries[key] = Entry{answer, m_now() + keep};
    }
    return answer;
}

} // namespace trawl

#include "LoopbackNameServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace trawl::test {

namespace {

// The dotted name of a query's question, which starts at byte 12; empty when it is malformed.
std::string QuestionName(const unsigned char* query, std::size_t size, std::size_t& end)
{
    std::string name;
    std::size_t at = 12;
    while (at < size && query[at] != 0) {
        const std::size_t length = query[at];
        if (length > 63 || at + 1 + length > size) {
            return {};
        }
        if (!name.empty()) {
            name += '.';
        }
        name.append(reinterpret_cast<const char*>(query + at + 1), length);
        at += 1 + length;
    }
    end = at + 1 + 4; // the zero byte, then type and class
    return end <= size ? name : std::string();
}

} // namespace

LoopbackNameServer::LoopbackNameServer(std::string answerWith) : m_answerWith(std::move(answerWith))
{
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

LoopbackNameServer::~LoopbackNameServer()
{
    m_stopping = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

std::vector<std::string> LoopbackNameServer::names() const
{
    std::lock_guard lock(m_mutex);
    return m_names;
}

bool LoopbackNameServer::WaitForQuery(std::chrono::milliseconds limit) const
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (m_queries.load() == 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return m_queries.load() > 0;
}

void LoopbackNameServer::Serve()
{
    unsigned char query[512];
    while (!m_stopping) {
        pollfd waiter{m_fd, POLLIN, 0};
        if (::poll(&waiter, 1, 20) <= 0) {
            continue;
        }
        sockaddr_in from{};
        socklen_t fromLength = sizeof(from);
        const ssize_t got = ::recvfrom(m_fd, query, sizeof(query), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 12) {
            continue;
        }
        std::size_t end = 0;
        const std::string name = QuestionName(query, static_cast<std::size_t>(got), end);
        {
            std::lock_guard lock(m_mutex);
            m_names.push_back(name);
        }
        ++m_queries;
        in_addr answer{};
        if (m_answerWith.empty() || name.empty() || ::inet_pton(AF_INET, m_answerWith.c_str(), &answer) != 1) {
            continue; // a dead resolver: the query is read and never answered
        }
        // The query's header and question, marked as an answer with one A record that points back
        // at the question's name.
        std::vector<unsigned char> reply(query, query + end);
        reply[2] = 0x81; // response, recursion desired
        reply[3] = 0x80; // recursion available, no error
        reply[6] = 0;
        reply[7] = 1; // one answer
        reply[8] = reply[9] = reply[10] = reply[11] = 0;
        const bool asksForA = query[end - 4] == 0 && query[end - 3] == 1;
        if (!asksForA) {
            reply[7] = 0;
        } else {
            const unsigned char record[] = {0xC0, 12, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4};
            reply.insert(reply.end(), record, record + sizeof(record));
            const auto* bytes = reinterpret_cast<const unsigned char*>(&answer.s_addr);
            reply.insert(reply.end(), bytes, bytes + 4);
        }
        ::sendto(m_fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
    }
}

} // namespace trawl::test

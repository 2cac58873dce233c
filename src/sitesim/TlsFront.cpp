#include "sitesim/TlsFront.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace trawl::sitesim {

namespace {

constexpr int kPollMs = 50;

SSL_CTX* Context(void* context)
{
    return static_cast<SSL_CTX*>(context);
}

int ListenOnLoopback(int port, int& chosen)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t length = sizeof(address);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd, SOMAXCONN) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    chosen = ntohs(address.sin_port);
    return fd;
}

int ConnectToLoopback(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        return fd;
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return -1;
}

// Waits for `fd` to be readable (or writable) for one poll slice; false when it is not yet.
bool Ready(int fd, short events)
{
    pollfd waiter{fd, events, 0};
    return ::poll(&waiter, 1, kPollMs) > 0;
}

} // namespace

TlsFront::~TlsFront()
{
    Stop();
}

Status TlsFront::Start(int plainPort, const TlsIdentity& identity, int port)
{
    if (m_running.load()) {
        return Status::Failure("The TLS front is already running.");
    }
    m_context = MakeServerContext(identity);
    if (m_context == nullptr) {
        return Status::Failure("The TLS front could not use its certificate.");
    }
    m_listenFd = ListenOnLoopback(port, m_port);
    if (m_listenFd < 0) {
        Stop();
        return Status::Failure("The TLS front could not listen on 127.0.0.1: " + std::string(std::strerror(errno)));
    }
    m_plainPort = plainPort;
    m_running.store(true);
    m_acceptThread = std::thread(&TlsFront::AcceptLoop, this);
    return Status::Ok();
}

void TlsFront::Stop()
{
    m_running.store(false);
    if (m_acceptThread.joinable()) {
        m_acceptThread.join();
    }
    m_connections.Reap(true);
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
    }
    SSL_CTX_free(Context(m_context));
    m_context = nullptr;
}

void TlsFront::AcceptLoop()
{
    while (m_running.load()) {
        m_connections.Reap(false);
        if (!Ready(m_listenFd, POLLIN)) {
            continue;
        }
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        m_connections.Start([this, fd] { Serve(fd); });
    }
}

void TlsFront::Serve(int fd)
{
    SSL* ssl = SSL_new(Context(m_context));
    SSL_set_fd(ssl, fd);
    const int noDelay = 1; // as web servers do: TLS records go out as they are written
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    int plain = -1;
    bool handshaken = false;
    if (m_stallHandshake.load()) {
        while (m_running.load()) {
            Ready(fd, 0); // a pause of one slice
        }
    } else {
        while (m_running.load()) {
            const int result = SSL_accept(ssl);
            if (result == 1) {
                handshaken = true;
                break;
            }
            const int error = SSL_get_error(ssl, result);
            if (error == SSL_ERROR_WANT_READ) {
                Ready(fd, POLLIN);
            } else if (error == SSL_ERROR_WANT_WRITE) {
                Ready(fd, POLLOUT);
            } else {
                break; // the client refused our certificate, or left
            }
        }
    }
    if (handshaken) {
        m_handshakes.fetch_add(1);
        m_resumed.fetch_add(SSL_session_reused(ssl) != 0 ? 1 : 0);
        plain = ConnectToLoopback(m_plainPort);
    }
    // Both ways until the plain server ends its response (or resets it) or the client leaves.
    char buffer[16384];
    bool open = plain >= 0;
    bool clientSending = true;
    while (open && m_running.load()) {
        pollfd waiters[2] = {{fd, static_cast<short>(clientSending ? POLLIN : 0), 0}, {plain, POLLIN, 0}};
        if (SSL_pending(ssl) == 0 && ::poll(waiters, 2, kPollMs) <= 0) {
            continue;
        }
        if (clientSending && (SSL_pending(ssl) > 0 || (waiters[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0)) {
            const int got = SSL_read(ssl, buffer, sizeof buffer);
            if (got > 0) {
                open = ::send(plain, buffer, static_cast<std::size_t>(got), MSG_NOSIGNAL) == got;
            } else if (SSL_get_error(ssl, got) != SSL_ERROR_WANT_READ) {
                ::shutdown(plain, SHUT_WR); // the client is done sending
                clientSending = false;
            }
        }
        if ((waiters[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const ssize_t got = ::recv(plain, buffer, sizeof buffer, 0);
            if (got <= 0) {
                if (got == 0) {
                    SSL_shutdown(ssl);
                } else {
                    const linger abrupt{1, 0}; // passed on as a reset
                    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abrupt, sizeof abrupt);
                }
                break;
            }
            for (std::size_t sent = 0; open && sent < static_cast<std::size_t>(got);) {
                const int result = SSL_write(ssl, buffer + sent, static_cast<int>(got - static_cast<ssize_t>(sent)));
                if (result > 0) {
                    sent += static_cast<std::size_t>(result);
                } else if (SSL_get_error(ssl, result) == SSL_ERROR_WANT_WRITE && m_running.load()) {
                    Ready(fd, POLLOUT);
                } else {
                    open = false;
                }
            }
        }
    }
    if (plain >= 0) {
        ::close(plain);
    }
    SSL_free(ssl);
    ::close(fd);
    ERR_clear_error();
}

} // namespace trawl::sitesim

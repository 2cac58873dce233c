#include "net/TlsChannel.h"

#include "net/SocketWait.h"

#include <map>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>

namespace trawl {

namespace {

// OpenSSL fills a certificate's cached extensions (key identifiers, purposes) when it first checks
// it, under a lock that its readers on other threads do not take. The trusted certificates are
// shared by every exchange, so they are checked once here, before any worker can reach them.
void FillCachedExtensions(X509_STORE* store)
{
    STACK_OF(X509_OBJECT)* objects = X509_STORE_get0_objects(store);
    for (int i = 0; i < sk_X509_OBJECT_num(objects); ++i) {
        if (X509* certificate = X509_OBJECT_get0_X509(sk_X509_OBJECT_value(objects, i)); certificate != nullptr) {
            X509_check_purpose(certificate, -1, 0);
        }
    }
}

// One context for the process: the trust store is read once, and OpenSSL lets every thread use it.
SSL_CTX* ClientContext()
{
    static SSL_CTX* const context = [] {
        SSL_CTX* made = SSL_CTX_new(TLS_client_method());
        if (made != nullptr) {
            SSL_CTX_set_min_proto_version(made, TLS1_2_VERSION);
            SSL_CTX_set_verify(made, SSL_VERIFY_PEER, nullptr);
            SSL_CTX_set_default_verify_paths(made);
            FillCachedExtensions(SSL_CTX_get_cert_store(made));
            SSL_CTX_set_session_cache_mode(made, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
        }
        return made;
    }();
    return context;
}

// The last good session of each host, for the next exchange with it. Kept as bytes, so that no
// session object is shared between threads: each exchange resumes from a copy of its own.
class SessionCache {
public:
    SSL_SESSION* Take(const std::string& host)
    {
        std::string bytes;
        {
            std::lock_guard lock(m_mutex);
            const auto found = m_sessions.find(host);
            if (found == m_sessions.end()) {
                return nullptr;
            }
            bytes = found->second;
        }
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        return d2i_SSL_SESSION(nullptr, &data, static_cast<long>(bytes.size()));
    }
    void Keep(const std::string& host, SSL_SESSION* session)
    {
        const int size = i2d_SSL_SESSION(session, nullptr);
        if (size <= 0) {
            return;
        }
        std::string bytes(static_cast<std::size_t>(size), '\0');
        auto* data = reinterpret_cast<unsigned char*>(bytes.data());
        i2d_SSL_SESSION(session, &data);
        std::lock_guard lock(m_mutex);
        m_sessions[host] = std::move(bytes);
    }

private:
    std::mutex m_mutex;
    std::map<std::string, std::string> m_sessions;
};

SessionCache& Sessions()
{
    static SessionCache cache;
    return cache;
}

} // namespace

TlsChannel::TlsChannel(int fd, std::string host, int waitMs, SteadyClock::time_point deadline,
                       const std::atomic<int>* stop)
    : m_fd(fd), m_host(std::move(host)), m_waitMs(waitMs), m_deadline(deadline), m_stop(stop)
{
}

TlsChannel::~TlsChannel()
{
    if (m_ssl != nullptr) {
        if (m_ended && SSL_session_reused(m_ssl) == 0) {
            // TLS 1.3 hands the session over after the handshake: by now it has come with the response.
            // Freed without a goodbye, the session would count as broken and never be resumed.
            SSL_set_shutdown(m_ssl, SSL_SENT_SHUTDOWN | SSL_RECEIVED_SHUTDOWN);
            if (SSL_SESSION* session = SSL_get1_session(m_ssl); session != nullptr) {
                if (SSL_SESSION_is_resumable(session) != 0) {
                    Sessions().Keep(m_host, session);
                }
                SSL_SESSION_free(session);
            }
        }
        SSL_free(m_ssl);
    }
    ERR_clear_error();
}

bool TlsChannel::WaitAfter(int result)
{
    switch (SSL_get_error(m_ssl, result)) {
    case SSL_ERROR_WANT_READ:
        return WaitForSocket(m_fd, POLLIN, m_waitMs, m_deadline, m_stop);
    case SSL_ERROR_WANT_WRITE:
        return WaitForSocket(m_fd, POLLOUT, m_waitMs, m_deadline, m_stop);
    default:
        return false;
    }
}

bool TlsChannel::Handshake()
{
    SSL_CTX* context = ClientContext();
    m_ssl = context != nullptr ? SSL_new(context) : nullptr;
    if (m_ssl == nullptr || SSL_set_fd(m_ssl, m_fd) != 1 || SSL_set_tlsext_host_name(m_ssl, m_host.c_str()) != 1 ||
        SSL_set1_host(m_ssl, m_host.c_str()) != 1) {
        m_failure = "handshake failed with " + m_host;
        return false;
    }
    // The handshake's last flight and the request go out back to back as small writes; waiting for
    // the peer's delayed acknowledgement between them (Nagle) would add up to 40 ms an exchange.
    const int noDelay = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    if (SSL_SESSION* session = Sessions().Take(m_host); session != nullptr) {
        SSL_set_session(m_ssl, session);
        SSL_SESSION_free(session);
    }
    for (;;) {
        const int result = SSL_connect(m_ssl);
        if (result == 1) {
            return true;
        }
        const int error = SSL_get_error(m_ssl, result);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            if (!WaitAfter(result)) {
                return false; // out of time, or stopped: a connection problem like any other
            }
            continue;
        }
        m_failure = SSL_get_verify_result(m_ssl) != X509_V_OK ? "certificate not trusted for " + m_host
                                                              : "handshake failed with " + m_host;
        return false;
    }
}

bool TlsChannel::Send(std::string_view bytes)
{
    while (!bytes.empty()) {
        const int result = SSL_write(m_ssl, bytes.data(), static_cast<int>(bytes.size()));
        if (result > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(result));
        } else if (!WaitAfter(result)) {
            return false;
        }
    }
    return true;
}

bool TlsChannel::WaitReadable()
{
    return SSL_pending(m_ssl) > 0 || WaitForSocket(m_fd, POLLIN, m_waitMs, m_deadline, m_stop);
}

long TlsChannel::Read(char* into, std::size_t size)
{
    const int result = SSL_read(m_ssl, into, static_cast<int>(std::min<std::size_t>(size, 1 << 30)));
    if (result > 0) {
        return result;
    }
    switch (SSL_get_error(m_ssl, result)) {
    case SSL_ERROR_WANT_READ:
        return kAgain;
    case SSL_ERROR_WANT_WRITE:
        return WaitForSocket(m_fd, POLLOUT, m_waitMs, m_deadline, m_stop) ? kAgain : -1;
    case SSL_ERROR_ZERO_RETURN:
        m_ended = true;
        return 0;
    default:
        // A server that closes without saying goodbye ends its response all the same, as over HTTP.
        return 0;
    }
}

} // namespace trawl

#pragma once

#include "net/HttpGetter.h"
#include "net/ResponseBudget.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace trawl {

class ByteCounter;
class Connector;

struct HttpOptions {
    // Sent in every request's User-Agent line, also when empty. Captured when the client is made.
    std::string userAgent;
    int port = 80;
    int tlsPort = 443; // for a host given as "https://" and the name
    // Told the reason when a TLS handshake fails ("certificate not trusted for HOST", "handshake failed
    // with HOST"); called on the exchange's thread. Empty: the reason goes unsaid.
    std::function<void(const std::string& host, const std::string& reason)> tlsFailure = nullptr;
    // Every single wait on the connection: connecting, each send, each wait for data.
    int waitMs = 5500;
    std::size_t chunkBytes = 4096;
    // A response stops growing here: what arrived so far is the response.
    std::size_t maxResponseBytes = std::size_t{64} << 20;
    // What the responses of every exchange at once may hold; a response that cannot draw more ends
    // where it is, as at the cap. Null: no limit beyond the cap.
    ResponseBudget* budget = &ProcessResponseBudget();
    // Raised: an exchange still looking up its host gives up at once (Ctrl-C, the window closing).
    // Null: only the waits bound the look-up.
    const std::atomic<int>* stop = nullptr;
    // One exchange (connect to close) ends by this time whatever the server does: a server trickling
    // a byte every few seconds passes every single wait and would otherwise hold a worker for ever.
    // A minute is ten times the single wait, plenty for a feed or an ad page on a slow line.
    int exchangeDeadlineMs = 60000;
};

// The HTTP/1.0 client: one fresh connection per exchange, a raw response back, at most one redirect
// followed. A host given as "https://" and the name is asked over TLS (see TlsChannel) with the same
// request bytes, waits, cap and budget; a handshake counts against them. Re-entrant: calls share
// nothing but the byte counter and the TLS sessions.
// The defaults with `userAgent`, and `stop` ending look-ups.
HttpOptions StoppableOptions(const std::string& userAgent, const std::atomic<int>* stop);

class HttpClient final : public HttpGetter {
public:
    HttpClient(HttpOptions options, Connector& connector, ByteCounter& counter);

    std::string HttpGet(const std::string& host, const std::string& path, int followRedirect, int countBytes) override;
    std::string ConnectFailure(const std::string& host) const override;

    const HttpOptions& options() const { return m_options; }

private:
    // The last TLS failure of each host (bare name), until a handshake with it succeeds.
    struct TlsFailures {
        std::mutex mutex;
        std::map<std::string, std::string, std::less<>> reasons;
    };

    // One exchange without the redirect rule or counting.
    std::string Exchange(const std::string& host, const std::string& path);
    void NoteHandshake(const std::string& host, const std::string& failure);

    HttpOptions m_options;
    Connector& m_connector;
    ByteCounter& m_counter;
    std::unique_ptr<TlsFailures> m_tlsFailures = std::make_unique<TlsFailures>();
};

// What a response asks of the one-redirect rule: Keep it as the answer, Follow the Location header's
// "http://" or "https://" address to `host` (given as "https://" and the name for TLS) and `path`,
// or Drop it (a redirect without a host to go to yields nothing rather than the redirect page
// itself). A 301, 307 or 308 is followed only to the https address of `requestHost` itself: that is
// how a site says it moved to HTTPS.
struct RedirectStep {
    enum class Action { Keep, Follow, Drop };
    Action action = Action::Keep;
    std::string host;
    std::string path;
};
RedirectStep DecideRedirect(std::string_view response, std::string_view requestHost = {});

// Bytes that could break the request apart (line ends, and for hosts spaces and control bytes) make
// a request that is never sent.
bool IsSendableHost(std::string_view host);
bool IsSendablePath(std::string_view path);

} // namespace trawl

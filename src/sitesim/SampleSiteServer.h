#pragma once

#include "app/Status.h"
#include "sitesim/ConnectionThreads.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace trawl::sitesim {

// A request as it arrived: the Host line's value, the path of the request line, and every byte read.
struct SimRequest {
    std::string host;
    std::string path;
    std::string bytes;
};

// What a handler answers. With `raw` set, exactly those bytes are sent; otherwise a status line
// "HTTP/1.0 <status> <reason>", the headers, a blank line and the body.
struct SimResponse {
    int status = 200;
    std::string reason = "OK";
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::optional<std::string> raw;

    static SimResponse Page(std::string body, std::string contentType = "text/html");
    static SimResponse Raw(std::string bytes);
    static SimResponse NotFound();
    // "HTTP/1.0 302 Found" with "Location: <location>".
    static SimResponse Redirect(std::string location);
    // "HTTP/1.0 301 Moved Permanently" with "Location: <location>": how a site says it moved.
    static SimResponse MovedPermanently(std::string location);
    // Status 200 whose body carries the words of a redirect and a Location line.
    static SimResponse PageMentioningRedirect(const std::string& location);

    std::string Bytes() const;
};

// Ways to misbehave. Response byte counts include status line and headers.
struct Knobs {
    int latencyMs = 0;         // pause before the first byte of the response
    bool noAnswer = false;     // read the request, then say nothing until the client leaves or Stop()
    long resetAfterBytes = -1; // send this many bytes of the response, then reset the connection
    long stallAfterBytes = -1; // send this many bytes, pause stallMs, then the rest
    int stallMs = 0;
    std::size_t trickleBytes = 0;   // send the response this many bytes at a time ...
    int trickleIntervalMs = 0;      // ... with this pause between pieces
    bool endlessBody = false;       // after the response, filler bytes until the client leaves or Stop()
    std::size_t extraBodyBytes = 0; // after the response, this many filler bytes (an oversized body)
};

// A loopback HTTP/1.0 server: 127.0.0.1 on a free port, one thread per connection. Routes pick a
// handler by Host and path; "*" as host or path matches anything (exact routes win, then host with
// any path, then any host with the path, then "*" "*"). Unrouted requests get 404. Every request is
// recorded. Stop() (also from the destructor) wakes every connection, stalled ones included, joins
// every thread and closes every socket.
class SampleSiteServer {
public:
    using Handler = std::function<SimResponse(const SimRequest&)>;

    SampleSiteServer();
    ~SampleSiteServer();
    SampleSiteServer(const SampleSiteServer&) = delete;
    SampleSiteServer& operator=(const SampleSiteServer&) = delete;

    // Listens on `port` of 127.0.0.1, or on a free one when it is 0.
    Status Start(int port = 0);
    void Stop();
    bool running() const { return m_running.load(); }
    int port() const { return m_port; }

    // Routes and knobs may change while the server runs; a connection uses what was set when its
    // request had arrived. Route knobs replace the global ones for that route.
    void AddRoute(const std::string& host, const std::string& path, Handler handler);
    void AddRoute(const std::string& host, const std::string& path, Handler handler, const Knobs& knobs);
    void AddPage(const std::string& host, const std::string& path, std::string body);
    void AddRedirect(const std::string& host, const std::string& path, std::string location);
    // `hops` redirects in a row: host/path -> host/path~1 -> ... -> host/path~<hops-1> -> finalLocation.
    void AddRedirectChain(const std::string& host, const std::string& path, int hops, const std::string& finalLocation);
    void SetRouteKnobs(const std::string& host, const std::string& path, const Knobs& knobs);
    void SetGlobalKnobs(const Knobs& knobs);

    std::vector<SimRequest> Requests() const;
    std::size_t RequestCount() const;
    void ClearRequests();
    int ActiveConnections() const { return m_active.load(); }
    int PeakConnections() const { return m_peak.load(); }
    long AcceptedConnections() const { return m_accepted.load(); }
    void ResetPeak() { m_peak.store(m_active.load()); }

private:
    struct Route {
        std::shared_ptr<const Handler> handler;
        std::optional<Knobs> knobs;
    };
    void AcceptLoop();
    void Serve(int fd);
    void Respond(int fd, const SimRequest& request);
    void EndConnection(int fd);
    // Pauses up to `ms`; false when Stop() ended it early.
    bool Pause(int ms) const;
    bool SendAll(int fd, const char* data, std::size_t size) const;
    bool SendPaced(int fd, const std::string& bytes, const Knobs& knobs) const;
    std::pair<std::shared_ptr<const Handler>, Knobs> Find(const std::string& host, const std::string& path) const;

    int m_listenFd = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    int m_port = 0;
    std::atomic<bool> m_running{false};
    std::thread m_acceptThread;

    mutable std::mutex m_mutex; // routes, knobs, requests
    std::map<std::pair<std::string, std::string>, Route> m_routes;
    Knobs m_globalKnobs;
    std::vector<SimRequest> m_requests;

    ConnectionThreads m_connections; // only the accept thread and Stop() touch it
    std::atomic<int> m_active{0};
    std::atomic<int> m_peak{0};
    std::atomic<long> m_accepted{0};
};

} // namespace trawl::sitesim

#pragma once

#include <string>

namespace trawl {

// One blocking HTTP/1.0 GET exchange: the raw response (status line, headers, blank line and body),
// or an empty text when nothing was received. The real one is HttpClient; tests may put a scripted
// one in its place.
class HttpGetter {
public:
    virtual ~HttpGetter() = default;
    virtual std::string HttpGet(const std::string& host, const std::string& path, int followRedirect,
                                int countBytes) = 0;
};

} // namespace trawl

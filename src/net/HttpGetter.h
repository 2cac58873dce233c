#pragma once

#include <string>
#include <string_view>

namespace trawl {

// A host given to HttpGet as this prefix and the name is asked over TLS (port 443).
inline constexpr std::string_view kHttpsPrefix = "https://";

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

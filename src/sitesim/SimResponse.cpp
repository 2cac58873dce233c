#include "sitesim/SampleSiteServer.h"

namespace trawl::sitesim {

SimResponse SimResponse::Page(std::string body, std::string contentType)
{
    SimResponse response;
    response.headers.emplace_back("Content-Type", std::move(contentType));
    response.body = std::move(body);
    return response;
}

SimResponse SimResponse::Raw(std::string bytes)
{
    SimResponse response;
    response.raw = std::move(bytes);
    return response;
}

SimResponse SimResponse::NotFound()
{
    SimResponse response = Page("<html><body>Not Found</body></html>");
    response.status = 404;
    response.reason = "Not Found";
    return response;
}

SimResponse SimResponse::Redirect(std::string location)
{
    SimResponse response = Page("<html><body>Moved</body></html>");
    response.status = 302;
    response.reason = "Found";
    response.headers.emplace_back("Location", std::move(location));
    return response;
}

SimResponse SimResponse::MovedPermanently(std::string location)
{
    SimResponse response = Redirect(std::move(location));
    response.status = 301;
    response.reason = "Moved Permanently";
    return response;
}

SimResponse SimResponse::PageMentioningRedirect(const std::string& location)
{
    return Page("<html><body><pre>\r\nHTTP/1.0 302 Found\r\nLocation: " + location +
                "\r\n</pre>A page that only quotes a redirect.</body></html>");
}

std::string SimResponse::Bytes() const
{
    if (raw) {
        return *raw;
    }
    std::string bytes = "HTTP/1.0 " + std::to_string(status) + " " + reason + "\r\n";
    for (const auto& [name, value] : headers) {
        bytes += name + ": " + value + "\r\n";
    }
    bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    bytes += body;
    return bytes;
}

} // namespace trawl::sitesim

#include "harvest/FeedAddress.h"

#include "app/Settings.h"
#include "net/HttpGetter.h"
#include "sites/Endpoints.h"

namespace trawl {

namespace {

bool IsSafeByte(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

void DropTrailingSlash(std::string& host)
{
    if (!host.empty() && host.back() == '/') {
        host.pop_back();
    }
}

} // namespace

std::string UrlEncode(std::string_view term)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(term.size() * 3);
    for (char ch : term) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ') {
            out += '+';
        } else if (IsSafeByte(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    if (out.empty()) {
        out = "+";
    }
    return out;
}

Site SiteOfCityKey(std::string_view cityKey)
{
    if (endpoints::HasCraigslistMarker(cityKey)) {
        return Site::Craigslist;
    }
    if (endpoints::HasKijijiMarker(cityKey)) {
        return Site::Kijiji;
    }
    return Site::None;
}

FeedRequest BuildFeedRequest(std::string_view term, std::string_view cityKey, std::string_view sectionKey,
                             const Settings& settings)
{
    FeedRequest request;
    request.site = SiteOfCityKey(cityKey);
    if (request.site == Site::None) {
        return request;
    }
    std::string host(cityKey);
    DropTrailingSlash(host);

    if (request.site == Site::Craigslist) {
        request.path = "/search/" + std::string(sectionKey) + "?query=" + UrlEncode(term) + "&format=rss";
        if (settings.SearchTitles != 0) {
            request.path += "&srchType=T";
        }
        if (settings.HasPictures != 0) {
            request.path += "&hasPic=1";
        }
    } else {
        // Section key: SectionID, a backslash, SectionDir (anything after a second backslash is ignored).
        const auto firstSlash = sectionKey.find('\\');
        const std::string_view sectionId = sectionKey.substr(0, firstSlash);
        std::string_view sectionDir;
        if (firstSlash != std::string_view::npos) {
            sectionDir = sectionKey.substr(firstSlash + 1);
            sectionDir = sectionDir.substr(0, sectionDir.find('\\'));
        }
        request.canadian = endpoints::HasCanadaMarker(host);
        if (request.canadian) {
            request.path = "/f-SearchAdRss?catId=" + std::string(sectionId) + "&Keyword=" + UrlEncode(term);
        } else {
            request.path =
                "/" + std::string(sectionDir) + "/?q=" + UrlEncode(term) + "&catId=" + std::string(sectionId);
        }
    }

    if (host.starts_with("http://")) {
        host.erase(0, 7);
    } // a city written with https:// keeps it: its requests go over TLS
    DropTrailingSlash(host);
    request.host = std::move(host);
    return request;
}

FetchedFeed FetchFeed(HttpGetter& http, std::string_view term, std::string_view cityKey, std::string_view sectionKey,
                      const Settings& settings, const std::atomic<int>* stop)
{
    FetchedFeed fetched;
    FeedRequest request = BuildFeedRequest(term, cityKey, sectionKey, settings);
    if (request.site == Site::None || request.host.empty()) {
        return fetched;
    }
    fetched.sent = true;
    if (stop != nullptr && !http.AwaitTurn(request.host, *stop)) {
        fetched.host = std::move(request.host);
        return fetched; // stopped while waiting for the host's turn: nothing was asked
    }
    fetched.response = http.HttpGet(request.host, request.path, 1, 1);
    fetched.host = std::move(request.host);
    return fetched;
}

} // namespace trawl

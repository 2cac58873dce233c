#include "sitesim/DemoSites.h"

#include "harvest/Endpoints.h"
#include "sitesim/AdPages.h"
#include "sitesim/UpdatePage.h"

namespace trawl::sitesim {

namespace {

// FNV-1a: a seed per request that is the same on every platform and every run.
std::uint32_t Hash(std::string_view text)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::uint32_t ParseUnsigned(std::string_view text)
{
    std::uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value;
}

} // namespace

std::string DecodeQueryValue(std::string_view value)
{
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '+') {
            out += ' ';
        } else if (value[i] == '%' && i + 2 < value.size() && HexValue(value[i + 1]) >= 0 &&
                   HexValue(value[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(value[i + 1]) * 16 + HexValue(value[i + 2]));
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

std::string QueryValue(std::string_view path, std::string_view name)
{
    const auto question = path.find('?');
    if (question == std::string_view::npos) {
        return {};
    }
    std::string_view query = path.substr(question + 1);
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const auto equals = pair.find('=');
        if (pair.substr(0, equals) == name) {
            return equals == std::string_view::npos ? std::string() : DecodeQueryValue(pair.substr(equals + 1));
        }
        if (amp == std::string_view::npos) {
            break;
        }
        query.remove_prefix(amp + 1);
    }
    return {};
}

DemoSearch ParseDemoSearch(std::string_view host, std::string_view path)
{
    DemoSearch search;
    if (endpoints::HasCraigslistMarker(host) && path.starts_with("/search/")) {
        search.kind = DemoSearch::Kind::CraigslistFeed;
        const std::string_view rest = path.substr(8);
        search.section = std::string(rest.substr(0, rest.find('?')));
        search.term = QueryValue(path, "query");
    } else if (endpoints::Contains(host, endpoints::kKijijiCanadaMarker) && path.starts_with("/f-SearchAdRss")) {
        search.kind = DemoSearch::Kind::KijijiCanadaFeed;
        search.section = QueryValue(path, "catId");
        search.term = QueryValue(path, "Keyword");
    } else if (endpoints::HasKijijiMarker(host) && path.find("/?q=") != std::string_view::npos) {
        search.kind = DemoSearch::Kind::KijijiResultPage;
        search.section = QueryValue(path, "catId");
        search.term = QueryValue(path, "q");
    }
    return search;
}

std::vector<ListedAd> DemoAds(std::string_view host, std::string_view path, const DemoSiteOptions& options)
{
    const DemoSearch search = ParseDemoSearch(host, path);
    if (search.kind == DemoSearch::Kind::None) {
        return {};
    }
    const std::uint32_t seed = Hash(std::string(host) + "|" + search.section + "|" + search.term) % 1000000000u;
    return InventAds(seed, options.adsPerPage, host, search.term, options.newest);
}

SimResponse DemoSiteResponse(const SimRequest& request, const DemoSiteOptions& options)
{
    const std::string& host = request.host;
    const std::string& path = request.path;
    if (host == endpoints::kMakerHost && path.starts_with(endpoints::kUpdatePath)) {
        return SimResponse::Page(UpdatePage(options.version));
    }
    if (path.starts_with("/ad/")) {
        // "/ad/SEED-N.html": each ad of a page has a page of its own.
        const std::string_view name = std::string_view(path).substr(4);
        const auto dash = name.find('-');
        AdPageOptions page;
        page.seed = ParseUnsigned(name) * 31u + (dash == std::string_view::npos ? 0u : ParseUnsigned(name.substr(dash + 1)));
        if (endpoints::HasCraigslistMarker(host)) {
            return SimResponse::Page(CraigslistAdPage(page));
        }
        if (endpoints::Contains(host, endpoints::kKijijiCanadaMarker)) {
            return SimResponse::Page(KijijiCanadaAdPage(page));
        }
        if (endpoints::HasKijijiMarker(host)) {
            return SimResponse::Page(KijijiAdPage(page));
        }
        return SimResponse::NotFound();
    }
    const DemoSearch search = ParseDemoSearch(host, path);
    const std::vector<ListedAd> ads = DemoAds(host, path, options);
    switch (search.kind) {
    case DemoSearch::Kind::CraigslistFeed:
        return SimResponse::Page(CraigslistSearchFeed(ads), "application/rss+xml");
    case DemoSearch::Kind::KijijiCanadaFeed:
        return SimResponse::Page(KijijiCanadaSearchFeed(ads), "application/rss+xml");
    case DemoSearch::Kind::KijijiResultPage:
        return SimResponse::Page(KijijiResultPage(ads));
    case DemoSearch::Kind::None:
        break;
    }
    return SimResponse::NotFound();
}

void AddDemoSearchSites(SampleSiteServer& server, const DemoSiteOptions& options)
{
    server.AddRoute("*", "*", [options](const SimRequest& request) { return DemoSiteResponse(request, options); });
}

} // namespace trawl::sitesim

#include "sitesim/SampleSites.h"

#include "sites/Endpoints.h"
#include "sitesim/AdPages.h"
#include "sitesim/SearchPages.h"
#include "sitesim/UpdatePage.h"

#include <string_view>

namespace trawl::sitesim {

namespace {

std::uint32_t Fnv1a(std::string_view text)
{
    std::uint32_t hash = 2166136261u;
    for (char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return hash;
}

// The value of `name` in a query string, as sent (still escaped); "+" read back as a space.
std::string QueryValue(std::string_view path, std::string_view name)
{
    const auto query = path.find('?');
    if (query == std::string_view::npos) {
        return {};
    }
    std::string_view rest = path.substr(query + 1);
    while (!rest.empty()) {
        const auto amp = rest.find('&');
        const std::string_view pair = rest.substr(0, amp);
        if (pair.starts_with(name) && pair.size() > name.size() && pair[name.size()] == '=') {
            std::string value(pair.substr(name.size() + 1));
            for (char& c : value) {
                c = c == '+' ? ' ' : c;
            }
            return value;
        }
        rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
    }
    return {};
}

// The ads a search lists: drawn from the pool of its city and section by its term.
std::vector<ListedAd> SearchAds(const std::string& host, const std::string& section, const std::string& term,
                                const SampleSiteOptions& options)
{
    const int pool = options.adPool > 0 ? options.adPool : 1;
    const std::uint32_t start = Fnv1a(term);
    std::vector<ListedAd> ads = InventAds(Fnv1a(host + section), options.itemsPerPage, host, term, options.newest);
    for (std::size_t i = 0; i < ads.size(); ++i) {
        // 7 and the pool size share no factor for the usual pools, so one page never repeats an ad.
        const int number =
            static_cast<int>((start + 7u * static_cast<std::uint32_t>(i)) % static_cast<std::uint32_t>(pool));
        ads[i].link = (options.httpsHosts.contains(host) ? "https://" : "http://") + host + "/ad/" + section + "/" +
                      std::to_string(number) + ".html";
        ads[i].date = DaysBefore(options.newest, number % 20);
    }
    return ads;
}

SimResponse AdPage(const std::string& host, const std::string& path, const SampleSiteOptions& options)
{
    const auto slash = path.rfind('/');
    const int number = std::atoi(path.c_str() + (slash == std::string::npos ? 0 : slash + 1));
    AdPageOptions ad;
    ad.seed = Fnv1a(host + path);
    ad.mailto = number % 2 == 0;
    ad.picture = number % 3 != 0;
    ad.expired = options.expiredEvery > 0 && number % options.expiredEvery == 0;
    if (endpoints::IsCraigslistLink(host)) {
        return SimResponse::Page(CraigslistAdPage(ad));
    }
    if (host.find(endpoints::kKijijiCanadaMarker) != std::string::npos) {
        return SimResponse::Page(KijijiCanadaAdPage(ad));
    }
    return SimResponse::Page(KijijiAdPage(ad));
}

} // namespace

SimResponse SampleSitePage(const SimRequest& request, const SampleSiteOptions& options)
{
    const std::string& host = request.host;
    const std::string& path = request.path;
    if (path == endpoints::kUpdatePath) {
        return SimResponse::Page(UpdatePage(options.updateVersion));
    }
    if (path.starts_with("/ad/")) {
        return AdPage(host, path, options);
    }
    if (path.starts_with("/search/")) {
        const std::string section = path.substr(8, path.find('?') - 8);
        return SimResponse::Page(CraigslistSearchFeed(SearchAds(host, section, QueryValue(path, "query"), options)),
                                 "text/xml");
    }
    if (path.starts_with("/f-SearchAdRss?")) {
        const std::string section = QueryValue(path, "catId");
        return SimResponse::Page(KijijiCanadaSearchFeed(SearchAds(host, section, QueryValue(path, "Keyword"), options)),
                                 "text/xml");
    }
    if (path.find("/?q=") != std::string::npos) {
        const std::string section = QueryValue(path, "catId");
        return SimResponse::Page(KijijiResultPage(SearchAds(host, section, QueryValue(path, "q"), options)));
    }
    return SimResponse::NotFound();
}

void ServeSampleSites(SampleSiteServer& server, const SampleSiteOptions& options)
{
    server.AddRoute("*", "*", [options](const SimRequest& request) { return SampleSitePage(request, options); });
}

} // namespace trawl::sitesim

#pragma once

#include "app/Clock.h"
#include "sitesim/SampleSiteServer.h"
#include "sitesim/SearchPages.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trawl::sitesim {

// The search side of the sample sites for any city host and section: each site's search feed or
// result page, the ad pages its ads link to, and the maker's update page. Pages depend only on
// the request and these options, so the same search finds the same ads every time.
struct DemoSiteOptions {
    LocalDate newest{2024, 3, 15}; // the date of the newest ad of every page (pass today's date)
    int adsPerPage = 6;
    std::string version = "2.08"; // on the update page
};

// What one search request finds: its site, the section and the term as the program sent them.
struct DemoSearch {
    enum class Kind { None, CraigslistFeed, KijijiCanadaFeed, KijijiResultPage } kind = Kind::None;
    std::string section; // Craigslist SectionCode, or Kijiji SectionID
    std::string term;    // decoded
};
DemoSearch ParseDemoSearch(std::string_view host, std::string_view path);

// The ads a search request of the sample sites lists (empty for a path that is no search).
std::vector<ListedAd> DemoAds(std::string_view host, std::string_view path, const DemoSiteOptions& options);

// The whole answer to one request: a search page, an ad page ("/ad/..."), the update page, or 404.
SimResponse DemoSiteResponse(const SimRequest& request, const DemoSiteOptions& options);

// Serves DemoSiteResponse for every host and path that has no route of its own (the list pages of
// the download keep theirs).
void AddDemoSearchSites(SampleSiteServer& server, const DemoSiteOptions& options);

// Undoes the program's query escaping: "+" is a space, "%XX" a byte.
std::string DecodeQueryValue(std::string_view value);
// The value of `name` in the query string of `path` ("" when absent).
std::string QueryValue(std::string_view path, std::string_view name);

} // namespace trawl::sitesim

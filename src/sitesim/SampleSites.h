#pragma once

#include "app/Clock.h"
#include "sitesim/SampleSiteServer.h"

#include <cstdint>
#include <set>
#include <string>

// The sample sites as a whole: every search layout, every ad-page layout and the update page, made
// up on the fly from the request's host and path, so any city, section and term has pages.
namespace trawl::sitesim {

struct SampleSiteOptions {
    int itemsPerPage = 10;
    // Ad numbers per city and section. The ads of a search are drawn from this pool by its term,
    // so different terms list some of the same ads (the duplicate test has work to do).
    int adPool = 40;
    int expiredEvery = 0; // > 0: every ad whose number is a multiple of it has expired
    LocalDate newest = {2024, 3, 15};
    std::string updateVersion = "2.08";
    // Hosts whose ads are linked with "https://" (sites served over TLS); the others with "http://".
    std::set<std::string> httpsHosts;
};

// The answer of the sample sites to one request: Craigslist feeds ("/search/..."), Kijiji Canada
// feeds ("/f-SearchAdRss?..."), other Kijiji result pages ("/DIR/?q=..."), ad pages ("/ad/...", the
// layout chosen by the host's site) and the update page ("/blog/trawlkit/"). Anything else: 404.
SimResponse SampleSitePage(const SimRequest& request, const SampleSiteOptions& options);

// Routes every host and path of `server` to SampleSitePage.
void ServeSampleSites(SampleSiteServer& server, const SampleSiteOptions& options);

} // namespace trawl::sitesim

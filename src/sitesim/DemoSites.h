#pragma once

#include "sitesim/SampleSiteServer.h"
#include "sitesim/SampleSites.h"
#include "sitesim/SampleWorld.h"

namespace trawl::sitesim {

// The whole sample world in one server, as the demo and the end-to-end tests use it: the list pages
// of the first-run download at their fixed hosts, and for every other host and path the search
// pages, ad pages and update page of the sample sites.
struct DemoWorldOptions {
    SampleWorld world = MakeSampleWorld();
    SampleSiteOptions sites;
};

void ServeDemoWorld(SampleSiteServer& server, const DemoWorldOptions& options);

// Craigslist as the real site is today: its cities linked with "https://" on the list pages and in
// their feeds, so the program asks for them over TLS.
void MoveCraigslistToHttps(DemoWorldOptions& options);

} // namespace trawl::sitesim

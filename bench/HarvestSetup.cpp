#include "HarvestSetup.h"

#include "sitesim/SampleSites.h"

#include <cstdio>
#include <cstdlib>

namespace trawl::bench {

ReferenceTables HarvestTables()
{
    ReferenceTables tables;
    tables.CLCityTable = {{"US", "US", "United States", "SF bay area", "sfbay.craigslist.org"},
                          {"US", "US", "United States", "boston", "boston.craigslist.org"}};
    tables.CLSectionTable = {{"sss", "bik", "bicycles"}, {"sss", "fur", "furniture"}};
    return tables;
}

std::string HarvestTerms()
{
    std::string terms;
    for (int t = 0; t < kTermsPerPair; ++t) {
        terms += (t ? "," : "") + std::string("term") + std::to_string(t);
    }
    return terms;
}

void StartHarvestServer(sitesim::SampleSiteServer& server)
{
    if (!server.Start().ok()) {
        std::fprintf(stderr, "the sample server did not start\n");
        std::exit(1);
    }
    sitesim::Knobs knobs;
    knobs.latencyMs = kLatencyMs;
    server.SetGlobalKnobs(knobs);
    sitesim::ServeSampleSites(server, {});
}

} // namespace trawl::bench

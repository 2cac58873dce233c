#pragma once

// The search the harvest benchmarks run, with and without the window: two cities and two sections of
// the sample Craigslist, 60 terms each (240 jobs), 12 workers, 50 ms before each answer, so at most
// 12 / 0.05 s = 240 jobs a second can be done.

#include "refdata/ReferenceTables.h"
#include "sitesim/SampleSiteServer.h"

#include <string>

namespace trawl::bench {

inline constexpr int kLatencyMs = 50;
inline constexpr int kWorkers = 12;
inline constexpr int kTermsPerPair = 60;
inline constexpr int kHarvestJobs = 4 * kTermsPerPair;
inline constexpr const char* kHarvestCities = "sfbay.craigslist.org,boston.craigslist.org";
inline constexpr const char* kHarvestSections = "bik,fur";

ReferenceTables HarvestTables();
std::string HarvestTerms();
// Serves the sample sites with the latency; ends the process when it cannot.
void StartHarvestServer(sitesim::SampleSiteServer& server);

} // namespace trawl::bench

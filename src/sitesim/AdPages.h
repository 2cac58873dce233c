#pragma once

#include <cstdint>
#include <string>

// Ad pages of the sample sites, one per site layout; bodies only (see SearchPages.h).
namespace trawl::sitesim {

struct AdPageOptions {
    std::uint32_t seed = 1;
    bool mailto = true;   // the seller's mail link (Craigslist layout)
    bool picture = true;  // a zoomable or stacked picture (Kijiji layouts)
    bool expired = false; // the posting is gone: the page only says so
    int bodyLength = 200; // at least this many characters of invented ad text
};

// The ad text that a page of this seed and length shows, so tests can look for it.
std::string AdBodyText(const AdPageOptions& options);

std::string CraigslistAdPage(const AdPageOptions& options);
std::string KijijiCanadaAdPage(const AdPageOptions& options);
std::string KijijiAdPage(const AdPageOptions& options);

} // namespace trawl::sitesim

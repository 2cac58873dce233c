#pragma once

#include "harvest/FeedAddress.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace trawl {

struct ReferenceTables;
struct Settings;

// What Go! captures for a run.
struct SearchInputs {
    std::string RunningSearchName;
    std::string SearchTerms;         // trimmed terms text, comma separated
    std::string SelectedCityList;    // comma-joined city keys
    std::string SelectedSectionList; // comma-joined section keys
};

// One job: a term, a city and a section of the same site.
struct SearchJob {
    std::string term;
    std::string cityKey;
    std::string sectionKey;
    std::string cityName;
    std::string sectionName;
};

struct ResolvedKey {
    Site site = Site::None;
    std::string name; // display name; empty when unresolved
};

// A city key looked up in the Craigslist table (when SearchCraigslist is on; "Default" cities are
// named by their country), then in the Kijiji table (when SearchKijiji is on).
ResolvedKey ResolveCity(std::string_view cityKey, const ReferenceTables& tables, const Settings& settings);
// A section key looked up the same way (Kijiji keys are SectionID, backslash, SectionDir).
ResolvedKey ResolveSection(std::string_view sectionKey, const ReferenceTables& tables, const Settings& settings);

// 1000 * done / total, rounded to the nearest whole number (0 when total is 0).
int ProgressPermille(std::int64_t done, std::int64_t total);

// The slot row texts of a search worker.
std::string JobText(const SearchJob& job);
std::string ConnectProblemText(std::string_view who, int countdown);

} // namespace trawl

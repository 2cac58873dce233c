#pragma once

#include "refdata/ReferenceTables.h"

#include <span>
#include <string>
#include <string_view>

namespace trawl {

// The country table: "CC Name" entries sorted by code, with "UK United Kingdom" right after GB.
inline constexpr int kCountryCount = 246;

// Entry i (1 to 246); for i of 0 or less the number of entries as text ("246"); beyond the table "".
std::string CountryEntry(int i);
std::span<const std::string_view> CountryEntries();

// The region of a two-letter country code (case does not matter); "Other" when it is in no group.
std::string RegionOfCountry(std::string_view code);

enum class StateCountry { UnitedStates, Canada, Australia };
enum class StatePart { Name, Code };

struct StateInfo {
    std::string_view name;
    std::string_view code;
};

// The states of the United States (with the District of Columbia), the Canadian provinces and
// territories, and the Australian states and territories, in the order the states download uses.
std::span<const StateInfo> StateTable(StateCountry country);

// For i of 0 the number of entries as text; for i from 1 to the count the i-th entry's name or code;
// "" for any other i.
std::string StateEntry(StateCountry country, int i, StatePart part);

// The state code of a city link of either site, or "--". A Craigslist link is looked up in
// CLStateTable (first row whose link occurs in it), any other link in KJCityTable (first row whose
// URL, as stored, occurs in the lower-cased link) and then by state name in the United States or
// Canadian table.
// For one link; a CSV export asks StateCodeIndex, which gives the same answers for many links.
std::string StateCodeOfLink(std::string_view link, const ReferenceTables& tables);

// The state code of a Kijiji city row: its State looked up by name in the United States or Canadian
// table, as its Country says; "--" for any other country or a name not found.
std::string_view StateCodeOfKijijiCity(const KJCity& city);

} // namespace trawl

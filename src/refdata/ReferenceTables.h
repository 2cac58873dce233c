#pragma once

#include <string>
#include <vector>

namespace trawl {

// One Craigslist city (its StateCode column is written to the file but not kept: state codes are
// looked up again through CLStateTable).
struct CLCity {
    std::string Region;
    std::string CountryCode;
    std::string CountryName;
    std::string CityName; // "Default" for a country that redirects straight to one site
    std::string CityURL;  // the key of the city
};

struct CLSection {
    std::string MasterSectionCode;
    std::string SectionCode; // the key of the section
    std::string SectionName;
};

struct CLStateEntry {
    std::string CityURI;   // lower case
    std::string StateName;
    std::string StateCode; // upper case
};

struct KJCity {
    std::string Country; // "Canada" or "United States"
    std::string State;
    std::string City;
    std::string URL; // the key of the city
};

struct KJSection {
    std::string MasterSectionName;
    std::string SectionID;
    std::string SectionDir;
    std::string SectionName; // equals MasterSectionName on a parent row
};

// The five tables read from the list files, rows in file order. Read-only once loaded.
struct ReferenceTables {
    std::vector<CLCity> CLCityTable;
    std::vector<CLSection> CLSectionTable;
    std::vector<CLStateEntry> CLStateTable;
    std::vector<KJCity> KJCityTable;
    std::vector<KJSection> KJSectionTable;

    // None of the five tables is empty.
    bool Complete() const
    {
        return !CLSectionTable.empty() && !CLCityTable.empty() && !KJSectionTable.empty() && !KJCityTable.empty() &&
               !CLStateTable.empty();
    }
};

// The key of a Kijiji section: SectionID, a backslash, SectionDir.
inline std::string KJSectionKey(const KJSection& section) { return section.SectionID + "\\" + section.SectionDir; }

} // namespace trawl

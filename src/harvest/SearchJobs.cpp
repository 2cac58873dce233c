#include "harvest/SearchJobs.h"

#include "app/Settings.h"
#include "refdata/ReferenceTables.h"

namespace trawl {

ResolvedKey ResolveCity(std::string_view cityKey, const ReferenceTables& tables, const Settings& settings)
{
    ResolvedKey resolved;
    if (settings.SearchCraigslist != 0) {
        for (const CLCity& city : tables.CLCityTable) {
            if (city.CityURL == cityKey) {
                resolved.site = Site::Craigslist;
                resolved.name = city.CityName == "Default" ? city.CountryName : city.CityName;
                break;
            }
        }
    }
    if (resolved.name.empty() && settings.SearchKijiji != 0) {
        for (const KJCity& city : tables.KJCityTable) {
            if (city.URL == cityKey) {
                resolved.site = Site::Kijiji;
                resolved.name = city.City;
                break;
            }
        }
    }
    return resolved;
}

ResolvedKey ResolveSection(std::string_view sectionKey, const ReferenceTables& tables, const Settings& settings)
{
    ResolvedKey resolved;
    if (settings.SearchCraigslist != 0) {
        for (const CLSection& section : tables.CLSectionTable) {
            if (section.SectionCode == sectionKey) {
                resolved.site = Site::Craigslist;
                resolved.name = section.SectionName;
                return resolved;
            }
        }
    }
    if (settings.SearchKijiji != 0) {
        for (const KJSection& section : tables.KJSectionTable) {
            if (KJSectionKey(section) == sectionKey) {
                resolved.site = Site::Kijiji;
                resolved.name = section.SectionName;
                return resolved;
            }
        }
    }
    return resolved;
}

int ProgressPermille(std::int64_t done, std::int64_t total)
{
    if (total <= 0) {
        return 0;
    }
    return static_cast<int>((2000 * done + total) / (2 * total));
}

std::string JobText(const SearchJob& job)
{
    return job.term + " in " + job.sectionName + " in " + job.cityName;
}

std::string ConnectProblemText(std::string_view who, int countdown)
{
    return "Connect problem (" + std::string(who) + ")... Restarting in " + std::to_string(countdown);
}

} // namespace trawl

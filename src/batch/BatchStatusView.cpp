#include "batch/BatchStatusView.h"

#include "app/Settings.h"
#include "app/TextUtil.h"
#include "harvest/SearchJobs.h"
#include "refdata/ReferenceTables.h"

#include <vector>

namespace trawl {

std::int64_t CountSearchJobs(const SearchInputs& inputs, const ReferenceTables& tables, const Settings& settings)
{
    const std::vector<std::string> cities = SplitPlain(inputs.SelectedCityList);
    const std::vector<std::string> sections = SplitPlain(inputs.SelectedSectionList);
    const std::int64_t cityCount = CountQuoteAware(inputs.SelectedCityList);
    const std::int64_t sectionCount = CountQuoteAware(inputs.SelectedSectionList);
    const std::int64_t termCount = CountQuoteAware(inputs.SearchTerms);
    auto part = [](const std::vector<std::string>& parts, std::int64_t i) {
        return static_cast<std::size_t>(i) < parts.size() ? parts[static_cast<std::size_t>(i)] : std::string();
    };
    std::vector<Site> sectionSites;
    for (std::int64_t j = 0; j < sectionCount; ++j) {
        sectionSites.push_back(ResolveSection(part(sections, j), tables, settings).site);
    }
    std::int64_t jobs = 0;
    for (std::int64_t i = 0; i < cityCount; ++i) {
        const Site site = ResolveCity(part(cities, i), tables, settings).site;
        for (const Site sectionSite : sectionSites) {
            if (sectionSite == site) {
                jobs += termCount;
            }
        }
    }
    return jobs;
}

void BatchStatusView::SetSlotSite(SlotKind kind, int, SiteIcon icon)
{
    // A search worker blanks its site icon once, as its job ends.
    if (kind == SlotKind::Search && icon == SiteIcon::None) {
        m_jobsDone.fetch_add(1);
    }
}

void BatchStatusView::FullTextMarked(int, const std::string&)
{
    m_scanned.fetch_add(1);
}

void BatchStatusView::ResetRun()
{
    m_jobsDone.store(0);
    m_scanned.store(0);
}

std::string SearchProgressLine(const std::string& name, std::int64_t jobsDone, std::int64_t jobsTotal,
                               std::int64_t results, std::int64_t newResults, std::int64_t bytes)
{
    return name + ": " + GroupDigits(jobsDone) + " of " + GroupDigits(jobsTotal) + " jobs, " + GroupDigits(results) +
           " results, " + GroupDigits(newResults) + " new, " + GroupDigits(bytes) + " bytes";
}

std::string ScanProgressLine(const std::string& name, std::int64_t scanned, std::int64_t pending, std::int64_t bytes)
{
    return name + ": deep scan, " + GroupDigits(scanned) + " of " + GroupDigits(pending) + " ad pages, " +
           GroupDigits(bytes) + " bytes";
}

} // namespace trawl

#include "harvest/FeedVerdict.h"

#include "sites/Endpoints.h"

namespace trawl {

namespace {

struct Layout {
    std::string_view start; // the marker the parser reads from
    std::string_view alsoStart;
    std::string_view end; // the last thing the site writes
};

Layout LayoutOf(std::string_view host)
{
    if (host.find(endpoints::kCraigslistWord) != std::string_view::npos) {
        return {"</channel>", {}, "</rdf:RDF>"};
    }
    if (endpoints::HasCanadaMarker(host)) {
        return {"</image>", {}, "</rss>"};
    }
    // A result page without matches says so instead of counting them.
    return {"<div id=\"ui-search-result-count\">", "Sorry, but no ads matched your search", "</html>"};
}

bool Has(std::string_view text, std::string_view marker)
{
    return !marker.empty() && text.find(marker) != std::string_view::npos;
}

std::size_t Index(FeedVerdict verdict)
{
    return static_cast<std::size_t>(verdict);
}

} // namespace

int ResponseStatus(std::string_view response)
{
    if (!response.starts_with("HTTP/")) {
        return 0;
    }
    const std::size_t space = response.find(' ');
    if (space == std::string_view::npos || space > 12 || response.size() < space + 4) {
        return 0;
    }
    int status = 0;
    for (std::size_t i = space + 1; i < space + 4; ++i) {
        if (response[i] < '0' || response[i] > '9') {
            return 0;
        }
        status = status * 10 + (response[i] - '0');
    }
    return status;
}

FeedVerdict JudgeFeedResponse(std::string_view host, std::string_view response)
{
    if (response.empty()) {
        return FeedVerdict::NoAnswer;
    }
    const int status = ResponseStatus(response);
    if (status == 0) {
        return FeedVerdict::NotRecognised;
    }
    if (status == 403 || status == 429) {
        return FeedVerdict::Refused;
    }
    if (status < 200 || status > 299) {
        return FeedVerdict::HttpError;
    }
    const Layout layout = LayoutOf(host);
    if (!Has(response, layout.start) && !Has(response, layout.alsoStart)) {
        return FeedVerdict::NotRecognised;
    }
    return Has(response, layout.end) ? FeedVerdict::Whole : FeedVerdict::CutShort;
}

std::string SilentSiteText(FeedVerdict verdict, std::string_view cityName)
{
    switch (verdict) {
    case FeedVerdict::Refused:
        return "Refused by the site (" + std::string(cityName) + ")";
    case FeedVerdict::NotRecognised:
        return "Layout not recognised (" + std::string(cityName) + ")";
    default:
        return {};
    }
}

void FeedTally::Reset()
{
    for (Counts& site : m_sites) {
        for (std::atomic<int>& count : site.byVerdict) {
            count.store(0);
        }
        site.lastHttpStatus.store(0);
    }
}

void FeedTally::Count(FeedSite site, FeedVerdict verdict, int httpStatus)
{
    Counts& counts = m_sites[static_cast<std::size_t>(site)];
    counts.byVerdict[Index(verdict)].fetch_add(1);
    if (verdict == FeedVerdict::HttpError) {
        counts.lastHttpStatus.store(httpStatus);
    }
}

int FeedTally::Jobs(FeedSite site) const
{
    int jobs = 0;
    for (const std::atomic<int>& count : m_sites[static_cast<std::size_t>(site)].byVerdict) {
        jobs += count.load();
    }
    return jobs;
}

int FeedTally::Failed(FeedSite site) const
{
    return Jobs(site) - m_sites[static_cast<std::size_t>(site)].byVerdict[Index(FeedVerdict::Whole)].load();
}

std::string FeedTally::FailureLine(FeedSite site) const
{
    const int failed = Failed(site);
    if (failed == 0) {
        return {};
    }
    const Counts& counts = m_sites[static_cast<std::size_t>(site)];
    auto count = [&counts](FeedVerdict verdict) { return counts.byVerdict[Index(verdict)].load(); };
    std::string reasons;
    auto add = [&reasons](int n, const std::string& what) {
        if (n > 0) {
            reasons += (reasons.empty() ? "" : ", ") + std::to_string(n) + " " + what;
        }
    };
    add(count(FeedVerdict::NoAnswer), "never answered");
    const int httpErrors = count(FeedVerdict::HttpError);
    add(httpErrors, httpErrors == 1 ? "answered HTTP " + std::to_string(counts.lastHttpStatus.load())
                                    : "answered with an HTTP error (the last " +
                                          std::to_string(counts.lastHttpStatus.load()) + ")");
    add(count(FeedVerdict::Refused), "refused by the site");
    add(count(FeedVerdict::NotRecognised), "layout not recognised");
    add(count(FeedVerdict::CutShort), "cut short");
    const int jobs = Jobs(site);
    return std::string(kFeedSiteNames[static_cast<std::size_t>(site)]) + ": " + std::to_string(failed) + " of " +
           std::to_string(jobs) + (jobs == 1 ? " feed" : " feeds") + " failed (" + reasons + ").";
}

std::string FeedTally::Report() const
{
    std::string report;
    for (const FeedSite site : {FeedSite::Craigslist, FeedSite::Kijiji}) {
        const std::string line = FailureLine(site);
        if (!line.empty()) {
            report += (report.empty() ? "" : "\n") + line;
        }
    }
    return report;
}

} // namespace trawl

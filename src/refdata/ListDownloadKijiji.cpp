// The two Kijiji steps of the list download: sections, then the Canadian and United States cities.

#include "net/TextBetween.h"
#include "refdata/DownloadText.h"
#include "refdata/ListDownloadRun.h"
#include "sites/Endpoints.h"

#include <algorithm>

namespace trawl::download {
namespace {

constexpr std::string_view kTitleMarker = R"(<h2 class="title)";
constexpr std::string_view kGroupMarker = R"(<h2 class="title">)";
constexpr std::string_view kSectionLinkMarker = R"(<li><a href=")";
constexpr std::string_view kCatListMarker = R"(<div class="catlist">)";
constexpr std::string_view kProvinceMarker = R"(<h2 class="homeMetaCatName">)";
constexpr std::string_view kCityMarker = "<li><a href=";
constexpr std::string_view kBoldCityMarker = "<li><b><a href=";
constexpr std::string_view kStatesMarker = "please click on your state below";
constexpr std::string_view kCitiesMarker = "Please select a city below";
constexpr std::string_view kLinkMarker = "<a href=";
constexpr std::size_t kLinkSkip = 9; // <a href="

std::string_view From(std::string_view text, std::size_t at)
{
    return at >= text.size() ? std::string_view{} : text.substr(at);
}

std::vector<std::string> FailureLines(const std::string& address)
{
    return {"", "  Could not download " + address, std::string(kFatalLine), ""};
}

// A link up to the next double quote from `from`, then the text of the tag after it; `end` is where
// reading may go on.
void LinkAndText(std::string_view text, std::size_t from, std::string& link, std::string& name, std::size_t& end)
{
    std::size_t quote = 0;
    link = std::string(UpTo(text, from, "\"", quote));
    name = std::string(TagText(text, quote, end));
    end = std::max(end, from);
}

// The earlier of two found positions (npos, "not there", is larger than any).
std::size_t Earlier(std::size_t a, std::size_t b)
{
    return std::min(a, b);
}

} // namespace

bool KijijiSections(Run& run)
{
    run.SetButton("Grabbing KJ Sections");
    Rows rows;
    const std::string host(endpoints::kKijijiSectionHost);
    const std::string path = "/";
    const auto failureLines = FailureLines("http://" + host + path);
    int failures = 0;
    const auto page = run.Fetch(host, path, 1, kTitleMarker, failures, failureLines);
    if (!page) {
        return false;
    }
    std::string_view text = *page;
    for (;;) {
        const std::size_t group = text.find(kGroupMarker);
        if (group == std::string_view::npos) {
            break;
        }
        text = text.substr(group);
        const std::size_t href = text.find("href=");
        if (href == std::string_view::npos) {
            run.LogLines(failureLines);
            return false;
        }
        std::string groupLink;
        std::string groupName;
        std::size_t end = 0;
        LinkAndText(text, href + 6, groupLink, groupName, end);
        groupName = MixedCase(groupName);
        if (groupLink.empty() || groupName.empty()) {
            run.LogLines(failureLines);
            return false;
        }
        std::string dir;
        std::string id;
        if (!SplitKijijiCategoryLink(groupLink, dir, id)) {
            break; // the list ends at a heading that is no category
        }
        rows.push_back({groupName, id, dir, groupName});
        run.Log(groupName + " (" + id + "/" + dir + ")");
        text = From(text, end);
        for (;;) {
            const std::size_t item = text.find(kSectionLinkMarker);
            const std::size_t next = text.find(kGroupMarker);
            if (item == std::string_view::npos || (next != std::string_view::npos && item > next)) {
                break;
            }
            std::string link;
            std::string name;
            LinkAndText(text, item + kSectionLinkMarker.size(), link, name, end);
            name = MixedCase(name);
            text = From(text, end);
            if (link.empty() || name.empty() || !SplitKijijiCategoryLink(link, dir, id)) {
                break;
            }
            rows.push_back({groupName, id, dir, name});
            run.Log("  " + name + " (" + id + "/" + dir + ")");
        }
    }
    run.Log("");
    run.Log("Done");
    if (!run.WriteList(ListFile::KJSections, rows)) {
        return false;
    }
    run.Log("Output written to KJsectlist.csv");
    run.Log("");
    return true;
}

namespace {

bool CanadianCities(Run& run, Rows& rows)
{
    run.Log("Canada");
    const std::string host(endpoints::kKijijiCanadaHost);
    int failures = 0;
    const auto page = run.Fetch(host, "/", 1, kCatListMarker, failures, FailureLines(host + "/"));
    if (!page) {
        return false;
    }
    const std::string list = TextBetween(*page, kCatListMarker, "</div>");
    std::string_view text = list;
    for (;;) {
        const std::size_t heading = text.find(kProvinceMarker);
        if (heading == std::string_view::npos) {
            return true;
        }
        std::size_t end = 0;
        const std::string province = FoldAccents(TagText(text, heading, end));
        run.Log("  " + province);
        text = From(text, end);
        for (;;) {
            const std::size_t start = Earlier(text.find(kCityMarker), text.find(kBoldCityMarker));
            const std::size_t next = text.find(kProvinceMarker);
            if (start == std::string_view::npos || (next != std::string_view::npos && start > next)) {
                break;
            }
            const std::size_t open = After(text, "\"", start);
            if (open == std::string_view::npos) {
                text = {};
                break;
            }
            std::string link;
            std::string city;
            LinkAndText(text, open, link, city, end);
            text = From(text, end);
            link = FoldAccents(link);
            city = FoldAccents(city);
            rows.push_back({"Canada", province, city, link});
            run.Log("    " + city + " (" + link + ")");
        }
    }
}

struct StateLink {
    std::string name;
    std::string link;
};

bool UnitedStatesCities(Run& run, Rows& rows)
{
    run.LogPiece("United States", false);
    const std::string host(endpoints::kKijijiUnitedStatesHost);
    int failures = 0;
    // The failure lines come after the open "United States" line has been ended.
    const auto page = run.Fetch(host, "/", 1, kStatesMarker, failures, {});
    if (!page) {
        run.LogPiece("\r\n", true);
        run.LogLines(FailureLines(host + "/"));
        return false;
    }
    std::vector<StateLink> states;
    std::string_view text = From(*page, page->find(kStatesMarker));
    for (;;) {
        const std::size_t anchor = text.find(kLinkMarker);
        if (anchor == std::string_view::npos) {
            break;
        }
        std::size_t quote = 0;
        const std::string link(UpTo(text, anchor + kLinkSkip, "\"", quote));
        std::size_t end = std::max(quote, anchor + kLinkSkip);
        if (link.find("/state/") != std::string::npos && states.size() < kMaxKijijiStates) {
            std::size_t nameEnd = 0;
            states.push_back({std::string(TagText(text, quote, nameEnd)), link});
            end = std::max(end, nameEnd);
        }
        text = From(text, end);
    }
    run.LogPiece(" (Found " + std::to_string(states.size()) + " states)\r\n", true);

    for (const StateLink& state : states) {
        run.Log("  " + state.name);
        const std::string rest = state.link.size() > 7 ? state.link.substr(7) : std::string();
        const std::size_t slash = rest.find('/');
        const std::string stateHost = rest.substr(0, slash);
        const std::string statePath = slash == std::string::npos ? "/" : rest.substr(slash);
        auto lines = FailureLines(stateHost + statePath);
        lines.insert(lines.begin(), "");
        int stateFailures = 0;
        const auto statePage = run.Fetch(stateHost, statePath, 1, kCitiesMarker, stateFailures, lines);
        if (!statePage) {
            return false;
        }
        const std::size_t from = statePage->find(kCitiesMarker);
        const std::size_t to = statePage->find("</div>", from);
        std::string_view cities = std::string_view(*statePage).substr(from, to == std::string::npos ? to : to - from);
        for (;;) {
            const std::size_t anchor = cities.find(kLinkMarker);
            if (anchor == std::string_view::npos) {
                break;
            }
            std::string link;
            std::string city;
            std::size_t end = 0;
            LinkAndText(cities, anchor + kLinkSkip, link, city, end);
            cities = From(cities, end);
            rows.push_back({"United States", state.name, city, link});
            run.Log("    " + city + " (" + link + ")");
        }
    }
    return true;
}

} // namespace

bool KijijiCities(Run& run)
{
    run.SetButton("Grabbing KJ Cities");
    run.Log("Processing Kijiji City Data", false);
    Rows rows;
    if (!CanadianCities(run, rows) || !UnitedStatesCities(run, rows)) {
        return false;
    }
    run.Log("");
    run.Log("Done");
    if (!run.WriteList(ListFile::KJCities, rows)) {
        return false;
    }
    run.Log("Output written to KJcitylist.csv");
    run.Log("");
    return true;
}

} // namespace trawl::download

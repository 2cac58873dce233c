// The three Craigslist steps of the list download: sections, states, cities.

#include "app/TextUtil.h"
#include "net/TextBetween.h"
#include "refdata/DownloadText.h"
#include "refdata/Geography.h"
#include "refdata/ListDownloadRun.h"
#include "sites/Endpoints.h"

#include <algorithm>
#include <array>

namespace trawl::download {
namespace {

struct SectionGroup {
    std::string_view code;
    std::string_view parentName;
};

constexpr std::array<SectionGroup, 9> kSectionGroups{{
    {"ccc", "Community (All)"},
    {"eee", "Events (All)"},
    {"ggg", "Gigs (All)"},
    {"hhh", "Housing (All)"},
    {"jjj", "Jobs (All)"},
    {"ppp", "Personals (All)"},
    {"res", "Resumes (All)"},
    {"sss", "For Sale (All)"},
    {"bbb", "Services (All)"},
}};

constexpr std::string_view kOptionGroupMarker = R"(<option disabled value="">--)";
constexpr std::string_view kValueMarker = R"(value=")";
constexpr std::string_view kListMarker = R"(<div id="list">)";
constexpr std::string_view kLinkMarker = "<a href=";
constexpr std::size_t kLinkSkip = 9; // <a href="

std::string CouldNotDownload(const std::string& host, const std::string& path)
{
    return "  Could not download http://" + host + path;
}

// The rest of `text` from `at` (empty past the end).
std::string_view From(std::string_view text, std::size_t at)
{
    return at >= text.size() ? std::string_view{} : text.substr(at);
}

// The sections of one group from the block between the first two option-group markers.
void ReadSectionBlock(Run& run, std::string_view group, std::string_view block, Rows& rows)
{
    for (;;) {
        const std::size_t value = After(block, kValueMarker);
        if (value == std::string_view::npos) {
            return;
        }
        const std::string code(block.substr(value, std::min<std::size_t>(3, block.size() - value)));
        const std::size_t close = block.find('>', value);
        if (close == std::string_view::npos) {
            return; // an option cut off at the end of the page
        }
        std::size_t lineEnd = 0;
        const std::string_view raw = UpTo(block, close + 1, "\r\n", lineEnd);
        const std::string name = ReplaceAll(MixedCase(TrimSpaces(raw)), "&Amp;", "&");
        rows.push_back({std::string(group), code, name});
        run.Log("  " + name);
        // Past the ">" and three more characters, then past the next line end and three more.
        block = From(block, close + 4);
        const std::size_t next = block.find_first_of("\r\n");
        block = next == std::string_view::npos ? std::string_view{} : From(block, next + 4);
    }
}

// The target of a "302 Found" answer: after the first "Location:" up to the line end, spaces trimmed.
std::string RedirectTarget(std::string_view response)
{
    return TrimmedCopy(TextBetween(response, "Location:", "\r\n"));
}

// Calls `found(link, linkText)` for each link of a directory list page, link text in mixed case.
template <typename Found> void ReadDirectoryList(std::string_view response, Found&& found)
{
    const std::string plain = ReplaceAll(ReplaceAll(response, "<b>", ""), "</b>", "");
    const std::size_t list = plain.find(kListMarker);
    if (list == std::string::npos) {
        return;
    }
    std::string_view text = std::string_view(plain).substr(list);
    for (;;) {
        const std::size_t anchor = text.find(kLinkMarker);
        if (anchor == std::string_view::npos) {
            return;
        }
        std::size_t quote = 0;
        const std::string link(UpTo(text, anchor + kLinkSkip, "\"", quote));
        std::size_t end = 0;
        const std::string name = MixedCase(TagText(text, quote, end));
        found(link, name);
        text = From(text, std::max(end, anchor + kLinkSkip));
    }
}

enum class DirectoryAnswer { NotFound, Redirect, List };

DirectoryAnswer Classify(std::string_view response)
{
    if (response.find("Not Found") != std::string_view::npos) {
        return DirectoryAnswer::NotFound;
    }
    if (response.find("302 Found") != std::string_view::npos) {
        return DirectoryAnswer::Redirect;
    }
    return DirectoryAnswer::List;
}

std::string WithTrailingSlash(std::string text)
{
    if (text.empty() || text.back() != '/') {
        text += '/';
    }
    return text;
}

struct StateCountryInfo {
    StateCountry country;
    std::string_view word;
    std::string_view label;
};

constexpr std::array<StateCountryInfo, 3> kStateCountries{{
    {StateCountry::UnitedStates, "us", " US states"},
    {StateCountry::Canada, "ca", " Canadian provinces"},
    {StateCountry::Australia, "au", " Australian states"},
}};

} // namespace

bool CraigslistSections(Run& run)
{
    run.SetButton("Grabbing CL Sections");
    Rows rows;
    int failures = 0; // one count for all nine pages
    const std::string host(endpoints::kCraigslistSectionHost);
    for (std::size_t g = 0; g < kSectionGroups.size(); ++g) {
        const SectionGroup& group = kSectionGroups[g];
        rows.push_back({std::string(group.code), std::string(group.code), std::string(group.parentName)});
        const std::string path = "/" + std::string(group.code) + "/";
        const auto page = run.Fetch(host, path, 1, kOptionGroupMarker, failures,
                                    {"", CouldNotDownload(host, path) + "  " + std::string(kFatalLine), ""});
        if (!page) {
            return false;
        }
        const std::string block = TextBetween(*page, kOptionGroupMarker, kOptionGroupMarker);
        run.Log("Scanning " + std::to_string(g + 1) + "/9: " + std::string(group.parentName));
        ReadSectionBlock(run, group.code, block, rows);
    }
    run.Log("");
    run.Log("Done");
    if (!run.WriteList(ListFile::CLSections, rows)) {
        return false;
    }
    run.Log("Output written to CLsectlist.csv");
    run.Log("");
    run.lookup().CLStateTable.clear();
    return true;
}

bool CraigslistStates(Run& run)
{
    run.SetButton("Grabbing CL States");
    run.Log("");
    run.Log("Attempting to build state to URI table");
    Rows rows;
    const std::string host(endpoints::kCraigslistDirectoryHost);
    auto addRow = [&](const std::string& link, const StateInfo& state) {
        rows.push_back({link, std::string(state.name), std::string(state.code)});
        run.lookup().CLStateTable.push_back({ToLowerAscii(link), std::string(state.name), std::string(state.code)});
    };
    for (const StateCountryInfo& country : kStateCountries) {
        const auto states = StateTable(country.country);
        const std::string count = std::to_string(states.size());
        run.Log("  Scanning " + count + std::string(country.label), false);
        for (std::size_t i = 0; i < states.size(); ++i) {
            const StateInfo& state = states[i];
            const std::string name(state.name);
            run.Log("    " + std::to_string(i + 1) + "/" + count + " " + name + "...");
            const std::string path = "/iso/" + std::string(country.word) + "/" + ToLowerAscii(state.code);
            int failures = 0;
            const auto page = run.Fetch(host, path, 0, {}, failures,
                                        {CouldNotDownload(host, path), "  " + std::string(kFatalLine), ""});
            if (!page) {
                return false;
            }
            switch (Classify(*page)) {
            case DirectoryAnswer::NotFound:
                run.Log("      " + name + " is not in use on Craigslist.");
                break;
            case DirectoryAnswer::Redirect: {
                const std::string target = RedirectTarget(*page);
                if (target.size() > 1) {
                    addRow(target, state);
                    run.Log("      Default city redirects to " + WithTrailingSlash(target));
                }
                break;
            }
            case DirectoryAnswer::List:
                ReadDirectoryList(*page, [&](const std::string& link, const std::string& text) {
                    addRow(link, state);
                    run.Log("      Found: " + link + " (" + text + ")");
                });
                break;
            }
        }
    }
    run.Log("");
    run.Log("Done");
    if (!run.WriteList(ListFile::CLStates, rows)) {
        return false;
    }
    run.Log("Output written to CLstatelist.csv");
    run.Log("");
    return true;
}

bool CraigslistCities(Run& run)
{
    run.SetButton("Grabbing CL Cities");
    Rows rows;
    const std::string host(endpoints::kCraigslistDirectoryHost);
    const auto countries = CountryEntries();
    const std::string count = std::to_string(countries.size());
    for (std::size_t i = 0; i < countries.size(); ++i) {
        const std::string_view entry = countries[i];
        const std::string code(entry.substr(0, 2));
        const std::string name(entry.size() > 3 ? entry.substr(3) : std::string_view{});
        const std::string region = RegionOfCountry(code);
        run.Log(std::to_string(i + 1) + "/" + count + ": " + name + "...");
        const std::string path = "/iso/" + ToLowerAscii(code);
        int failures = 0;
        const auto page = run.Fetch(host, path, 0, {}, failures,
                                    {"", CouldNotDownload(host, path), "  " + std::string(kFatalLine), ""});
        if (!page) {
            return false;
        }
        switch (Classify(*page)) {
        case DirectoryAnswer::NotFound:
            run.Log("  " + name + " is not in use on Craigslist.");
            break;
        case DirectoryAnswer::Redirect: {
            const std::string target = RedirectTarget(*page);
            if (target.size() > 1) {
                rows.push_back({region, code, name, StateCodeOfLink(target, run.lookup()), "Default", target});
                run.Log("   Default city redirects to " + WithTrailingSlash(target));
            }
            break;
        }
        case DirectoryAnswer::List:
            ReadDirectoryList(*page, [&](const std::string& link, const std::string& city) {
                rows.push_back({region, code, name, StateCodeOfLink(link, run.lookup()), city, link});
                run.Log("   " + city + " at " + link);
            });
            break;
        }
    }
    run.Log("");
    run.Log("Done");
    const bool written = run.WriteList(ListFile::CLCities, rows);
    run.lookup().CLStateTable.clear();
    if (!written) {
        return false;
    }
    run.Log("Output written to CLcitylist.csv");
    run.Log("");
    run.SetAnimationSite(2);
    return true;
}

} // namespace trawl::download

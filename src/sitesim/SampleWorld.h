#pragma once

#include <string>
#include <vector>

namespace trawl::sitesim {

// An invented but plausible pair of sites: what the list pages show, and the city hosts and section
// keys that the search-feed and ad-page generators answer for.

struct SampleCLSection {
    std::string code;     // three letters
    std::string pageName; // as the option list shows it (lower case, entities included)
};

struct SampleCLGroup {
    std::string code; // "ccc", "eee", ...
    std::string label;
    std::vector<SampleCLSection> sections;
};

struct SampleCLCity {
    std::string pageName; // as the directory page shows it
    std::string host;     // contains ".craigslist."
    bool bold = false;    // shown between <b> and </b>
    bool https = false;   // linked as "https://" (served over TLS)
    std::string Link() const { return (https ? "https://" : "http://") + host + "/"; }
};

// How a directory page answers: a list of sites, a redirect to the one site, or "Not Found".
enum class DirectoryAnswer { List, Redirect, NotFound };

// One page of the Craigslist country directory: "/iso/us/ca" (a state) or "/iso/ca" (a country).
// Paths without a page answer "Not Found". A redirect goes to "http://" + the first city's host.
struct SampleCLDirectoryPage {
    std::string path;
    DirectoryAnswer answer = DirectoryAnswer::List;
    std::vector<SampleCLCity> cities;
};

struct SampleKJSection {
    std::string pageName;
    std::string dir;
    std::string id;
};

struct SampleKJGroup {
    std::string pageName;
    std::string dir;
    std::string id;
    std::vector<SampleKJSection> sections;
};

struct SampleKJCity {
    std::string name; // UTF-8 as the page shows it
    std::string host; // ".kijiji.ca" for Canada, ".kijiji.com" for the United States
    bool bold = false;
    std::string Link() const { return "http://" + host + "/"; }
};

struct SampleKJProvince {
    std::string name;
    std::vector<SampleKJCity> cities;
};

struct SampleKJState {
    std::string name;
    std::string slug; // the state page is "/state/" + slug on the United States national host
    std::vector<SampleKJCity> cities;
};

struct SampleWorld {
    std::vector<SampleCLGroup> clGroups;               // the nine section groups
    std::vector<SampleCLDirectoryPage> clStatePages;   // "/iso/us/al", ...
    std::vector<SampleCLDirectoryPage> clCountryPages; // "/iso/us", ...
    std::vector<SampleKJGroup> kjGroups;
    std::vector<SampleKJProvince> kjProvinces;
    std::vector<SampleKJState> kjStates;

    // Every Craigslist city host of the country pages, each once, in page order.
    std::vector<std::string> CraigslistCityHosts() const;
    // Every Craigslist section code (group codes first come the parents, as the list file has them).
    std::vector<std::string> CraigslistSectionCodes() const;
    // Every Kijiji city host, Canadian first.
    std::vector<std::string> KijijiCityHosts() const;
    // Every Kijiji section key, SectionID + "\" + SectionDir, parents included.
    std::vector<std::string> KijijiSectionKeys() const;
};

// The world that the demo and the tests use.
SampleWorld MakeSampleWorld();

} // namespace trawl::sitesim

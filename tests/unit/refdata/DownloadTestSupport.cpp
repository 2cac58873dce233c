#include "DownloadTestSupport.h"

#include "refdata/Geography.h"
#include "sitesim/ListPages.h"

#include <gtest/gtest.h>
#include <set>

namespace trawl::downloadtest {

void RecordingObserver::AddLogText(const std::string& text, bool refreshNow)
{
    logCalls.push_back({text, refreshNow});
}
void RecordingObserver::SetButton(const std::string& text, bool enabled)
{
    buttons.emplace_back(text, enabled);
}
void RecordingObserver::SetCancelEnabled(bool enabled)
{
    cancelStates.push_back(enabled);
}
void RecordingObserver::SetAnimationSite(int site)
{
    animationSites.push_back(site);
}
void RecordingObserver::SetDownloadResult(int result)
{
    results.push_back(result);
}

std::string RecordingObserver::Log() const
{
    std::string log;
    for (const auto& call : logCalls) {
        log += call.text;
    }
    return log;
}

std::string WorldGetter::HttpGet(const std::string& host, const std::string& path, int followRedirect, int countBytes)
{
    calls.push_back({host, path, followRedirect, countBytes});
    const std::string key = host + path;
    if (auto it = m_scripted.find(key); it != m_scripted.end() && !it->second.empty()) {
        std::string answer = std::move(it->second.front());
        it->second.pop_front();
        return answer;
    }
    if (auto it = m_fixed.find(key); it != m_fixed.end()) {
        return it->second;
    }
    const auto response = sitesim::ListPageResponse(m_world, host, path);
    return response ? response->Bytes() : std::string();
}

void WorldGetter::Script(const std::string& host, const std::string& path, std::vector<std::string> answers)
{
    auto& queue = m_scripted[host + path];
    queue.insert(queue.end(), answers.begin(), answers.end());
}

void WorldGetter::Fix(const std::string& host, const std::string& path, std::string answer)
{
    m_fixed[host + path] = std::move(answer);
}

int WorldGetter::CallsTo(const std::string& host, const std::string& path) const
{
    int count = 0;
    for (const auto& call : calls) {
        count += (call.host == host && call.path == path) ? 1 : 0;
    }
    return count;
}

std::string PaddedResponse(const std::string& marker, std::size_t size)
{
    std::string text = "HTTP/1.0 200 OK\r\n\r\n" + marker;
    text.resize(size, 'x');
    return text;
}

const char* const kExpectedCLSections = "\"MasterSectionCode\",\"SectionCode\",\"SectionName\"\r\n"
                                        "\"ccc\",\"ccc\",\"Community (All)\"\r\n"
                                        "\"ccc\",\"act\",\"Activities\"\r\n"
                                        "\"ccc\",\"ats\",\"Artists\"\r\n"
                                        "\"ccc\",\"kid\",\"Childcare\"\r\n"
                                        "\"eee\",\"eee\",\"Events (All)\"\r\n"
                                        "\"eee\",\"eve\",\"Events\"\r\n"
                                        "\"ggg\",\"ggg\",\"Gigs (All)\"\r\n"
                                        "\"ggg\",\"cpg\",\"Computer Gigs\"\r\n"
                                        "\"ggg\",\"crg\",\"Creative Gigs\"\r\n"
                                        "\"hhh\",\"hhh\",\"Housing (All)\"\r\n"
                                        "\"hhh\",\"apa\",\"Apts/housing\"\r\n"
                                        "\"hhh\",\"roo\",\"Rooms / Shared\"\r\n"
                                        "\"jjj\",\"jjj\",\"Jobs (All)\"\r\n"
                                        "\"jjj\",\"acc\",\"Accounting+finance\"\r\n"
                                        "\"jjj\",\"sof\",\"Software / Qa / Dba\"\r\n"
                                        "\"ppp\",\"ppp\",\"Personals (All)\"\r\n"
                                        "\"ppp\",\"stp\",\"Strictly Platonic\"\r\n"
                                        "\"res\",\"res\",\"Resumes (All)\"\r\n"
                                        "\"res\",\"rrr\",\"Resumes\"\r\n"
                                        "\"sss\",\"sss\",\"For Sale (All)\"\r\n"
                                        "\"sss\",\"ata\",\"Antiques & Collectibles\"\r\n"
                                        "\"sss\",\"bik\",\"Bikes\"\r\n"
                                        "\"sss\",\"sys\",\"Computers\"\r\n"
                                        "\"bbb\",\"bbb\",\"Services (All)\"\r\n"
                                        "\"bbb\",\"cps\",\"Computer Services\"\r\n"
                                        "\"bbb\",\"lss\",\"Lessons & Tutoring\"\r\n";

const char* const kExpectedCLStates = "\"CityURI\",\"StateName\",\"StateCode\"\r\n"
                                      "\"http://bham.craigslist.org/\",\"Alabama\",\"AL\"\r\n"
                                      "\"http://huntsville.craigslist.org/\",\"Alabama\",\"AL\"\r\n"
                                      "\"http://anchorage.craigslist.org\",\"Alaska\",\"AK\"\r\n"
                                      "\"http://sfbay.craigslist.org/\",\"California\",\"CA\"\r\n"
                                      "\"http://losangeles.craigslist.org/\",\"California\",\"CA\"\r\n"
                                      "\"http://toronto.craigslist.ca\",\"Ontario\",\"ON\"\r\n"
                                      "\"http://montreal.craigslist.ca/\",\"Quebec\",\"QC\"\r\n"
                                      "\"http://vancouver.craigslist.ca/\",\"British Columbia\",\"BC\"\r\n"
                                      "\"http://victoria.craigslist.ca/\",\"British Columbia\",\"BC\"\r\n"
                                      "\"http://sydney.craigslist.com.au/\",\"New South Wales\",\"NSW\"\r\n";

const char* const kExpectedCLCities =
    "\"Region\",\"CountryCode\",\"CountryName\",\"StateCode\",\"CityName\",\"CityURL\"\r\n"
    "\"Oceania\",\"AU\",\"Australia\",\"NSW\",\"Sydney\",\"http://sydney.craigslist.com.au/\"\r\n"
    "\"Oceania\",\"AU\",\"Australia\",\"--\",\"Perth\",\"http://perth.craigslist.com.au/\"\r\n"
    "\"North America\",\"CA\",\"Canada\",\"ON\",\"Toronto\",\"http://toronto.craigslist.ca/\"\r\n"
    "\"North America\",\"CA\",\"Canada\",\"QC\",\"Montreal\",\"http://montreal.craigslist.ca/\"\r\n"
    "\"North America\",\"CA\",\"Canada\",\"BC\",\"Vancouver\",\"http://vancouver.craigslist.ca/\"\r\n"
    "\"North America\",\"CA\",\"Canada\",\"BC\",\"Victoria\",\"http://victoria.craigslist.ca/\"\r\n"
    "\"Europe\",\"GB\",\"United Kingdom\",\"--\",\"London\",\"http://london.craigslist.co.uk/\"\r\n"
    "\"Europe\",\"GB\",\"United Kingdom\",\"--\",\"Manchester\",\"http://manchester.craigslist.co.uk/\"\r\n"
    "\"Europe\",\"PT\",\"Portugal\",\"--\",\"Default\",\"http://lisbon.craigslist.org\"\r\n"
    "\"North America\",\"US\",\"United States\",\"AL\",\"Birmingham\",\"http://bham.craigslist.org/\"\r\n"
    "\"North America\",\"US\",\"United States\",\"AL\",\"Huntsville\",\"http://huntsville.craigslist.org/\"\r\n"
    "\"North America\",\"US\",\"United States\",\"AK\",\"Anchorage\",\"http://anchorage.craigslist.org/\"\r\n"
    "\"North America\",\"US\",\"United States\",\"CA\",\"Sf Bay Area\",\"http://sfbay.craigslist.org/\"\r\n"
    "\"North America\",\"US\",\"United States\",\"CA\",\"Los Angeles\",\"http://losangeles.craigslist.org/\"\r\n";

const char* const kExpectedKJSections = "\"MasterSectionName\",\"SectionID\",\"SectionDir\",\"SectionName\"\r\n"
                                        "\"Buy And Sell\",\"10\",\"buy-and-sell\",\"Buy And Sell\"\r\n"
                                        "\"Buy And Sell\",\"644\",\"bikes\",\"Bikes\"\r\n"
                                        "\"Buy And Sell\",\"16\",\"computers\",\"Computers\"\r\n"
                                        "\"Buy And Sell\",\"235\",\"furniture\",\"Furniture\"\r\n"
                                        "\"Cars & Vehicles\",\"27\",\"cars-vehicles\",\"Cars & Vehicles\"\r\n"
                                        "\"Cars & Vehicles\",\"174\",\"cars-trucks\",\"Cars & Trucks\"\r\n"
                                        "\"Jobs\",\"45\",\"jobs\",\"Jobs\"\r\n"
                                        "\"Jobs\",\"9046\",\"customer-service\",\"Customer Service\"\r\n";

const char* const kExpectedKJCities =
    "\"Country\",\"State\",\"City\",\"URL\"\r\n"
    "\"Canada\",\"Ontario\",\"Toronto (GTA)\",\"http://toronto.kijiji.ca/\"\r\n"
    "\"Canada\",\"Ontario\",\"Ottawa\",\"http://ottawa.kijiji.ca/\"\r\n"
    "\"Canada\",\"Quebec\",\"Montreal\",\"http://montreal.kijiji.ca/\"\r\n"
    "\"Canada\",\"Quebec\",\"Quebec City\",\"http://quebeccity.kijiji.ca/\"\r\n"
    "\"Canada\",\"British Columbia\",\"Vancouver\",\"http://vancouver.kijiji.ca/\"\r\n"
    "\"United States\",\"Massachusetts\",\"Boston\",\"http://boston.kijiji.com/\"\r\n"
    "\"United States\",\"Massachusetts\",\"Worcester\",\"http://worcester.kijiji.com/\"\r\n"
    "\"United States\",\"New York\",\"New York City\",\"http://newyork.kijiji.com/\"\r\n"
    "\"United States\",\"New York\",\"Caf\xC3\xA9 Town\",\"http://cafetown.kijiji.com/\"\r\n";

namespace {

void Line(std::string& log, const std::string& line)
{
    log += line + "\r\n";
}

} // namespace

std::string ExpectedSampleLog()
{
    std::string log;
    for (const char* line : {"Scanning 1/9: Community (All)",
                             "  Activities",
                             "  Artists",
                             "  Childcare",
                             "Scanning 2/9: Events (All)",
                             "  Events",
                             "Scanning 3/9: Gigs (All)",
                             "  Computer Gigs",
                             "  Creative Gigs",
                             "Scanning 4/9: Housing (All)",
                             "  Apts/housing",
                             "  Rooms / Shared",
                             "Scanning 5/9: Jobs (All)",
                             "  Accounting+finance",
                             "  Software / Qa / Dba",
                             "Scanning 6/9: Personals (All)",
                             "  Strictly Platonic",
                             "Scanning 7/9: Resumes (All)",
                             "  Resumes",
                             "Scanning 8/9: For Sale (All)",
                             "  Antiques & Collectibles",
                             "  Bikes",
                             "  Computers",
                             "Scanning 9/9: Services (All)",
                             "  Computer Services",
                             "  Lessons & Tutoring",
                             "",
                             "Done",
                             "Output written to CLsectlist.csv",
                             "",
                             "",
                             "Attempting to build state to URI table"}) {
        Line(log, line);
    }
    // States: the pages the sample world has; every other state is not in use.
    const std::map<std::string, std::vector<std::string>> statePages = {
        {"Alabama",
         {"      Found: http://bham.craigslist.org/ (Birmingham)",
          "      Found: http://huntsville.craigslist.org/ (Huntsville)"}},
        {"Alaska", {"      Default city redirects to http://anchorage.craigslist.org/"}},
        {"California",
         {"      Found: http://sfbay.craigslist.org/ (Sf Bay Area)",
          "      Found: http://losangeles.craigslist.org/ (Los Angeles)"}},
        {"Ontario", {"      Default city redirects to http://toronto.craigslist.ca/"}},
        {"Quebec", {"      Found: http://montreal.craigslist.ca/ (Montreal)"}},
        {"British Columbia",
         {"      Found: http://vancouver.craigslist.ca/ (Vancouver)",
          "      Found: http://victoria.craigslist.ca/ (Victoria)"}},
        {"New South Wales", {"      Found: http://sydney.craigslist.com.au/ (Sydney)"}},
    };
    const std::pair<StateCountry, const char*> countries[] = {{StateCountry::UnitedStates, " US states"},
                                                              {StateCountry::Canada, " Canadian provinces"},
                                                              {StateCountry::Australia, " Australian states"}};
    for (const auto& [country, label] : countries) {
        const auto table = StateTable(country);
        Line(log, "  Scanning " + std::to_string(table.size()) + label);
        for (std::size_t i = 0; i < table.size(); ++i) {
            const std::string name(table[i].name);
            Line(log, "    " + std::to_string(i + 1) + "/" + std::to_string(table.size()) + " " + name + "...");
            if (auto it = statePages.find(name); it != statePages.end()) {
                for (const auto& line : it->second) {
                    Line(log, line);
                }
            } else {
                Line(log, "      " + name + " is not in use on Craigslist.");
            }
        }
    }
    for (const char* line : {"", "Done", "Output written to CLstatelist.csv", ""}) {
        Line(log, line);
    }
    const std::map<std::string, std::vector<std::string>> countryPages = {
        {"AU", {"   Sydney at http://sydney.craigslist.com.au/", "   Perth at http://perth.craigslist.com.au/"}},
        {"CA",
         {"   Toronto at http://toronto.craigslist.ca/", "   Montreal at http://montreal.craigslist.ca/",
          "   Vancouver at http://vancouver.craigslist.ca/", "   Victoria at http://victoria.craigslist.ca/"}},
        {"GB",
         {"   London at http://london.craigslist.co.uk/", "   Manchester at http://manchester.craigslist.co.uk/"}},
        {"PT", {"   Default city redirects to http://lisbon.craigslist.org/"}},
        {"US",
         {"   Birmingham at http://bham.craigslist.org/", "   Huntsville at http://huntsville.craigslist.org/",
          "   Anchorage at http://anchorage.craigslist.org/", "   Sf Bay Area at http://sfbay.craigslist.org/",
          "   Los Angeles at http://losangeles.craigslist.org/"}},
    };
    const auto entries = CountryEntries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string code(entries[i].substr(0, 2));
        const std::string name(entries[i].substr(3));
        Line(log, std::to_string(i + 1) + "/246: " + name + "...");
        if (auto it = countryPages.find(code); it != countryPages.end()) {
            for (const auto& line : it->second) {
                Line(log, line);
            }
        } else {
            Line(log, "  " + name + " is not in use on Craigslist.");
        }
    }
    for (const char* line : {"",
                             "Done",
                             "Output written to CLcitylist.csv",
                             "",
                             "Buy And Sell (10/buy-and-sell)",
                             "  Bikes (644/bikes)",
                             "  Computers (16/computers)",
                             "  Furniture (235/furniture)",
                             "Cars & Vehicles (27/cars-vehicles)",
                             "  Cars & Trucks (174/cars-trucks)",
                             "Jobs (45/jobs)",
                             "  Customer Service (9046/customer-service)",
                             "",
                             "Done",
                             "Output written to KJsectlist.csv",
                             "",
                             "Processing Kijiji City Data",
                             "Canada",
                             "  Ontario",
                             "    Toronto (GTA) (http://toronto.kijiji.ca/)",
                             "    Ottawa (http://ottawa.kijiji.ca/)",
                             "  Quebec",
                             "    Montreal (http://montreal.kijiji.ca/)",
                             "    Quebec City (http://quebeccity.kijiji.ca/)",
                             "  British Columbia",
                             "    Vancouver (http://vancouver.kijiji.ca/)",
                             "United States (Found 2 states)",
                             "  Massachusetts",
                             "    Boston (http://boston.kijiji.com/)",
                             "    Worcester (http://worcester.kijiji.com/)",
                             "  New York",
                             "    New York City (http://newyork.kijiji.com/)",
                             "    Caf\xC3\xA9 Town (http://cafetown.kijiji.com/)",
                             "",
                             "Done",
                             "Output written to KJcitylist.csv",
                             "",
                             "",
                             "",
                             "Downloads complete (scroll up to see them all)! You should be able to start the program "
                             "normally now.",
                             ""}) {
        Line(log, line);
    }
    return log;
}

} // namespace trawl::downloadtest

#pragma once

// A program folder, a working folder and the sample sites, for running the built trawlkit against.

#include "app/Clock.h"
#include "programrun/ProgramRun.h"
#include "sitesim/DemoSites.h"
#include "sitesim/SampleSiteServer.h"
#include "support/Doubles.h"

#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace trawl::test {

// The small world the tests search: one Craigslist city and section, a Canadian and a United States
// Kijiji city and one Kijiji section.
inline constexpr const char* kClCity = "sfbay.craigslist.org";
inline constexpr const char* kKjCanada = "toronto.kijiji.ca";
inline constexpr const char* kKjStates = "boston.kijiji.com";

// Lines joined with CR LF, a CR LF after the last.
std::string CrLfLines(const std::vector<std::string>& lines);
// The lines of a CR LF file (without their ends).
std::vector<std::string> SplitCrLf(const std::string& text);

class E2EFixture : public ::testing::Test {
protected:
    void SetUp() override;

    // Writes the five list files of the small world into the program folder.
    void WriteLists();
    // trawlkit.ini: one deep-scan worker, so the launcher's one-a-second start costs one second.
    void WriteSettings(const std::vector<std::string>& extraLines = {});
    // A search file: name, the four key lists and the terms, no records.
    void WriteSearch(const std::string& path, const std::string& name, const std::string& clCities,
                     const std::string& clSections, const std::string& terms, const std::string& kjCities,
                     const std::string& kjSections);
    // The bikes search over both sites, in the program folder; returns its path.
    std::string WriteBikesSearch();

    std::map<std::string, std::string> Env() const;
    ProgramResult Run(const std::vector<std::string>& arguments) const;

    // The page the sample sites give for one request.
    std::string PageOf(const std::string& host, const std::string& path) const;
    // The ad links one search request lists (each once).
    std::set<std::string> LinksOf(const std::string& host, const std::string& path) const;

    TempDir home; // the program folder
    TempDir work; // the current folder of the program
    sitesim::SampleSiteServer server;
    sitesim::DemoWorldOptions world;
    LocalDate today;
};

} // namespace trawl::test

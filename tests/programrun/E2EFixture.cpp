#include "programrun/E2EFixture.h"

namespace trawl::test {

std::string CrLfLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

std::vector<std::string> SplitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

void E2EFixture::SetUp()
{
    SystemClock clock;
    today = clock.Today();
    // Ads dated today, so a reload never drops them as two months old.
    world.sites.newest = today;
    sitesim::ServeDemoWorld(server, world);
    ASSERT_TRUE(server.Start().ok());
}

void E2EFixture::WriteLists()
{
    WriteFile(home.File("CLcitylist.csv"),
              CrLfLines({R"("Region","CountryCode","CountryName","StateCode","CityName","CityURL")",
                         R"("US","US","United States","CA","SF bay area","sfbay.craigslist.org")"}));
    WriteFile(home.File("CLsectlist.csv"),
              CrLfLines({R"("MasterSectionCode","SectionCode","SectionName")", R"("sss","bik","bicycles")"}));
    WriteFile(home.File("CLstatelist.csv"),
              CrLfLines({R"("CityURI","StateName","StateCode")", R"("sfbay","California","CA")"}));
    WriteFile(home.File("KJcitylist.csv"),
              CrLfLines({R"("Country","State","City","URL")", R"("Canada","Ontario","Toronto","toronto.kijiji.ca")",
                         R"("United States","Massachusetts","Boston","boston.kijiji.com")"}));
    WriteFile(home.File("KJsectlist.csv"), CrLfLines({R"("MasterSectionName","SectionID","SectionDir","SectionName")",
                                                      R"("Buy and Sell","644","bikes","Bikes")"}));
}

void E2EFixture::WriteSettings(const std::vector<std::string>& extraLines)
{
    std::vector<std::string> lines{"MaxThreads2: 1", "CheckForUpdates: 0"};
    lines.insert(lines.end(), extraLines.begin(), extraLines.end());
    WriteFile(home.File("trawlkit.ini"), CrLfLines(lines));
}

void E2EFixture::WriteSearch(const std::string& path, const std::string& name, const std::string& clCities,
                             const std::string& clSections, const std::string& terms, const std::string& kjCities,
                             const std::string& kjSections)
{
    WriteFile(path, CrLfLines({name, clCities, clSections, terms, kjCities, kjSections}));
}

std::string E2EFixture::WriteBikesSearch()
{
    const std::string path = home.File("bikes.trawl");
    WriteSearch(path, "bikes", kClCity, "bik", "bike,red wagon", std::string(kKjCanada) + "," + kKjStates,
                "644\\bikes");
    return path;
}

std::map<std::string, std::string> E2EFixture::Env() const
{
    return {{"TRAWLKIT_HOME", home.path()}, {"TRAWLKIT_CONNECT_TO", "*:80:127.0.0.1:" + std::to_string(server.port())}};
}

ProgramResult E2EFixture::Run(const std::vector<std::string>& arguments) const
{
    return RunTrawlkit(arguments, Env(), work.path());
}

std::string E2EFixture::PageOf(const std::string& host, const std::string& path) const
{
    return sitesim::SampleSitePage(sitesim::SimRequest{host, path, {}}, world.sites).body;
}

std::set<std::string> E2EFixture::LinksOf(const std::string& host, const std::string& path) const
{
    const std::string page = PageOf(host, path);
    const std::string start = "://" + host + "/ad/";
    std::set<std::string> links;
    for (auto at = page.find(start); at != std::string::npos; at = page.find(start, at + 1)) {
        const auto scheme = page.rfind("http", at); // "http" or "https"
        links.insert(page.substr(scheme, page.find(".html", at) + 5 - scheme));
    }
    return links;
}

} // namespace trawl::test

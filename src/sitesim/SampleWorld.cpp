#include "sitesim/SampleWorld.h"

#include <algorithm>

namespace trawl::sitesim {
namespace {

std::vector<SampleCLGroup> CraigslistGroups()
{
    return {
        {"ccc", "community", {{"act", "activities"}, {"ats", "artists"}, {"kid", "childcare"}}},
        {"eee", "events", {{"eve", "EVENTS"}}},
        {"ggg", "gigs", {{"cpg", "computer gigs"}, {"crg", "creative gigs"}}},
        {"hhh", "housing", {{"apa", "apts/housing"}, {"roo", "rooms / shared"}}},
        {"jjj", "jobs", {{"acc", "accounting+finance"}, {"sof", "software / qa / dba"}}},
        {"ppp", "personals", {{"stp", "strictly platonic"}}},
        {"res", "resumes", {{"rrr", "resumes"}}},
        {"sss", "for sale", {{"ata", "antiques &amp; collectibles"}, {"bik", "bikes"}, {"sys", "computers"}}},
        {"bbb", "services", {{"cps", "computer services"}, {"lss", "lessons &amp; tutoring"}}},
    };
}

SampleCLCity Cl(std::string name, std::string host, bool bold = false)
{
    return {std::move(name), std::move(host), bold};
}

} // namespace

SampleWorld MakeSampleWorld()
{
    SampleWorld world;
    world.clGroups = CraigslistGroups();

    const SampleCLCity birmingham = Cl("birmingham", "bham.craigslist.org");
    const SampleCLCity huntsville = Cl("huntsville", "huntsville.craigslist.org");
    const SampleCLCity anchorage = Cl("anchorage", "anchorage.craigslist.org");
    const SampleCLCity sfbay = Cl("SF bay area", "sfbay.craigslist.org", true);
    const SampleCLCity losangeles = Cl("los angeles", "losangeles.craigslist.org");
    const SampleCLCity vancouver = Cl("vancouver", "vancouver.craigslist.ca");
    const SampleCLCity victoria = Cl("victoria", "victoria.craigslist.ca");
    const SampleCLCity montreal = Cl("montreal", "montreal.craigslist.ca");
    const SampleCLCity toronto = Cl("toronto", "toronto.craigslist.ca");
    const SampleCLCity sydney = Cl("sydney", "sydney.craigslist.com.au");
    const SampleCLCity perth = Cl("perth", "perth.craigslist.com.au");
    const SampleCLCity london = Cl("london", "london.craigslist.co.uk");
    const SampleCLCity manchester = Cl("manchester", "manchester.craigslist.co.uk");
    const SampleCLCity lisbon = Cl("lisbon", "lisbon.craigslist.org");

    world.clStatePages = {
        {"/iso/us/al", DirectoryAnswer::List, {birmingham, huntsville}},
        {"/iso/us/ak", DirectoryAnswer::Redirect, {anchorage}},
        {"/iso/us/ca", DirectoryAnswer::List, {sfbay, losangeles}},
        {"/iso/ca/on", DirectoryAnswer::Redirect, {toronto}},
        {"/iso/ca/qc", DirectoryAnswer::List, {montreal}},
        {"/iso/ca/bc", DirectoryAnswer::List, {vancouver, victoria}},
        {"/iso/au/nsw", DirectoryAnswer::List, {sydney}},
    };
    world.clCountryPages = {
        {"/iso/ca", DirectoryAnswer::List, {toronto, montreal, vancouver, victoria}},
        {"/iso/au", DirectoryAnswer::List, {sydney, perth}},
        {"/iso/gb", DirectoryAnswer::List, {london, manchester}},
        {"/iso/pt", DirectoryAnswer::Redirect, {lisbon}},
        {"/iso/us", DirectoryAnswer::List, {birmingham, huntsville, anchorage, sfbay, losangeles}},
    };

    world.kjGroups = {
        {"buy and sell",
         "buy-and-sell",
         "10",
         {{"bikes", "bikes", "644"}, {"computers", "computers", "16"}, {"furniture", "furniture", "235"}}},
        {"CARS & VEHICLES", "cars-vehicles", "27", {{"cars & trucks", "cars-trucks", "174"}}},
        {"jobs", "jobs", "45", {{"customer service", "customer-service", "9046"}}},
    };
    world.kjProvinces = {
        {"Ontario", {{"Toronto (GTA)", "toronto.kijiji.ca", true}, {"Ottawa", "ottawa.kijiji.ca"}}},
        {"Qu\xC3\xA9"
         "bec",
         {{"Montr\xC3\xA9"
           "al",
           "montreal.kijiji.ca"},
          {"Qu\xC3\xA9"
           "bec City",
           "quebeccity.kijiji.ca"}}},
        {"British Columbia", {{"Vancouver", "vancouver.kijiji.ca"}}},
    };
    world.kjStates = {
        {"Massachusetts", "massachusetts", {{"Boston", "boston.kijiji.com"}, {"Worcester", "worcester.kijiji.com"}}},
        {"New York",
         "new-york",
         {{"New York City", "newyork.kijiji.com"}, {"Caf\xC3\xA9 Town", "cafetown.kijiji.com"}}},
    };
    return world;
}

std::vector<std::string> SampleWorld::CraigslistCityHosts() const
{
    std::vector<std::string> hosts;
    for (const auto& page : clCountryPages) {
        for (const auto& city : page.cities) {
            if (std::find(hosts.begin(), hosts.end(), city.host) == hosts.end()) {
                hosts.push_back(city.host);
            }
        }
    }
    return hosts;
}

std::vector<std::string> SampleWorld::CraigslistSectionCodes() const
{
    std::vector<std::string> codes;
    for (const auto& group : clGroups) {
        codes.push_back(group.code);
        for (const auto& section : group.sections) {
            codes.push_back(section.code);
        }
    }
    return codes;
}

std::vector<std::string> SampleWorld::KijijiCityHosts() const
{
    std::vector<std::string> hosts;
    for (const auto& province : kjProvinces) {
        for (const auto& city : province.cities) {
            hosts.push_back(city.host);
        }
    }
    for (const auto& state : kjStates) {
        for (const auto& city : state.cities) {
            hosts.push_back(city.host);
        }
    }
    return hosts;
}

std::vector<std::string> SampleWorld::KijijiSectionKeys() const
{
    std::vector<std::string> keys;
    for (const auto& group : kjGroups) {
        keys.push_back(group.id + "\\" + group.dir);
        for (const auto& section : group.sections) {
            keys.push_back(section.id + "\\" + section.dir);
        }
    }
    return keys;
}

} // namespace trawl::sitesim

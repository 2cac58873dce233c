#include "refdata/Geography.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace trawl {
namespace {

constexpr const char* kExpectedCodes =
    "AD AE AF AG AI AL AM AN AO AR AS AT AU AW AX AZ BA BB BD BE BF BG BH BI BJ BL BM BN BO BR BS BT BV BW BY BZ CA "
    "CC CD CF CG CH CI CK CL CM CN CO CR CU CV CX CY CZ DE DJ DK DM DO DZ EC EE EG EH ER ES ET FI FJ FK FM FO FR GA "
    "GB UK GD GE GF GG GH GI GL GM GN GP GQ GR GS GT GU GW GY HK HM HN HR HT HU ID IE IL IM IN IO IQ IR IS IT JE JM "
    "JO JP KE KG KH KI KM KN KP KR KW KY KZ LA LB LC LI LK LR LS LT LU LV LY MA MC MD ME MF MG MH MK ML MM MN MO MP "
    "MQ MR MS MT MU MV MW MX MY MZ NA NC NE NF NG NI NL NO NP NR NU NZ OM PA PE PF PG PH PK PL PM PN PR PS PT PW PY "
    "QA RE RO RS RU RW SA SB SC SD SE SG SH SI SJ SK SL SM SN SO SR ST SV SY SZ TC TD TF TG TH TJ TK TL TM TN TO TR "
    "TT TV TW TZ UA UG UM US UY UZ VA VC VE VG VI VN VU WF WS YE YT ZA ZM ZW";

TEST(CountryTable, HoldsTheCodesInOrderEachWithAName)
{
    EXPECT_EQ(CountryEntry(0), "246");
    EXPECT_EQ(CountryEntry(-5), "246");
    EXPECT_EQ(CountryEntry(247), "");

    std::istringstream codes(kExpectedCodes);
    std::string code;
    int i = 0;
    while (codes >> code) {
        ++i;
        const std::string entry = CountryEntry(i);
        ASSERT_GT(entry.size(), 3u) << i;
        EXPECT_EQ(entry.substr(0, 3), code + " ") << i;
        EXPECT_NE(entry[3], ' ') << entry;
    }
    EXPECT_EQ(i, 246);
}

TEST(CountryTable, Particulars)
{
    std::set<std::string> codes;
    for (int i = 1; i <= kCountryCount; ++i) {
        codes.insert(CountryEntry(i).substr(0, 2));
    }
    EXPECT_EQ(codes.count("AQ"), 0u);
    EXPECT_EQ(CountryEntry(8), "AN Netherlands Antilles");
    EXPECT_EQ(CountryEntry(75), "GB United Kingdom");
    EXPECT_EQ(CountryEntry(76), "UK United Kingdom");
    EXPECT_EQ(CountryEntry(26), "BL Saint Barth\xE9lemy");
    EXPECT_EQ(CountryEntry(37), "CA Canada");
    EXPECT_EQ(CountryEntry(230), "US United States");
}

TEST(RegionTable, GroupsIncludingTheUnusualOnes)
{
    EXPECT_EQ(RegionOfCountry("uk"), "Europe");
    EXPECT_EQ(RegionOfCountry("GB"), "Europe");
    EXPECT_EQ(RegionOfCountry("JM"), "Other");
    EXPECT_EQ(RegionOfCountry("FM"), "South America");
    EXPECT_EQ(RegionOfCountry("HM"), "Africa");
    EXPECT_EQ(RegionOfCountry("TG"), "Oceania");
    EXPECT_EQ(RegionOfCountry("mz"), "Asia");
    EXPECT_EQ(RegionOfCountry("NA"), "Asia");
    EXPECT_EQ(RegionOfCountry("ca"), "North America");
    EXPECT_EQ(RegionOfCountry("MX"), "Central America");
    EXPECT_EQ(RegionOfCountry(""), "Other");
    EXPECT_EQ(RegionOfCountry("C"), "Other");
    EXPECT_EQ(RegionOfCountry("CA "), "Other");
    EXPECT_EQ(RegionOfCountry("A CA"), "Other");
}

TEST(RegionTable, EveryCountryOutsideTheGroupsIsOther)
{
    const std::set<std::string> other = {"AG", "AI", "AN", "AS", "AW", "AX", "BB", "BL", "BM", "BS", "BV",
                                         "BZ", "CU", "DM", "DO", "GD", "GL", "GP", "GU", "HN", "HT", "JM",
                                         "KN", "KY", "LC", "MF", "MH", "MQ", "MS", "MU", "MV", "PN", "SC",
                                         "SH", "TC", "TF", "TT", "UM", "VC", "VG", "VI", "WS"};
    int others = 0;
    for (int i = 1; i <= kCountryCount; ++i) {
        const std::string code = CountryEntry(i).substr(0, 2);
        const bool isOther = RegionOfCountry(code) == "Other";
        EXPECT_EQ(isOther, other.count(code) == 1) << code;
        others += isOther ? 1 : 0;
    }
    EXPECT_EQ(others, 42);
}

TEST(StateTables, CountsOrderAndOutOfRange)
{
    EXPECT_EQ(StateEntry(StateCountry::UnitedStates, 0, StatePart::Name), "51");
    EXPECT_EQ(StateEntry(StateCountry::Canada, 0, StatePart::Code), "13");
    EXPECT_EQ(StateEntry(StateCountry::Australia, 0, StatePart::Name), "8");
    EXPECT_EQ(StateEntry(StateCountry::UnitedStates, 9, StatePart::Name), "District of Columbia");
    EXPECT_EQ(StateEntry(StateCountry::UnitedStates, 51, StatePart::Code), "WY");
    EXPECT_EQ(StateEntry(StateCountry::Canada, 2, StatePart::Name), "Quebec");
    EXPECT_EQ(StateEntry(StateCountry::Canada, 13, StatePart::Code), "NT");
    EXPECT_EQ(StateEntry(StateCountry::Australia, 1, StatePart::Code), "NSW");
    EXPECT_EQ(StateEntry(StateCountry::Australia, 8, StatePart::Name), "Northern Territory");
    EXPECT_EQ(StateEntry(StateCountry::Australia, 9, StatePart::Name), "");
    EXPECT_EQ(StateEntry(StateCountry::Canada, -1, StatePart::Name), "");
    // The United States table is ordered by name.
    const auto us = StateTable(StateCountry::UnitedStates);
    for (std::size_t i = 1; i < us.size(); ++i) {
        EXPECT_LT(us[i - 1].name, us[i].name);
    }
}

struct StateCodeLookup : ::testing::Test {
    ReferenceTables tables;
};

TEST_F(StateCodeLookup, CraigslistLinkTakesTheEarlierStateRow)
{
    tables.CLStateTable = {{"http://washingtondc.craigslist.org", "District of Columbia", "DC"},
                           {"http://washingtondc.craigslist.org", "Virginia", "VA"},
                           {"http://toronto.craigslist.ca", "Ontario", "ON"}};
    EXPECT_EQ(StateCodeOfLink("http://WashingtonDC.craigslist.org/nva/bik/123.html", tables), "DC");
    EXPECT_EQ(StateCodeOfLink("http://toronto.craigslist.ca/", tables), "ON");
    EXPECT_EQ(StateCodeOfLink("http://paris.craigslist.fr/", tables), "--");
    // A Craigslist link is never looked up among the Kijiji cities.
    tables.KJCityTable = {{"Canada", "Ontario", "Paris", "paris"}};
    EXPECT_EQ(StateCodeOfLink("http://paris.craigslist.fr/", tables), "--");
}

TEST_F(StateCodeLookup, EmptyStateLinkMatchesNothing)
{
    tables.CLStateTable = {{"", "Texas", "TX"}, {"http://austin.craigslist.org", "Texas", "TX"}};
    EXPECT_EQ(StateCodeOfLink("http://boston.craigslist.org/", tables), "--");
    EXPECT_EQ(StateCodeOfLink("http://austin.craigslist.org/", tables), "TX");
}

TEST_F(StateCodeLookup, KijijiLinkGoesThroughTheCityRowAndItsStateName)
{
    tables.KJCityTable = {{"Canada", "Quebec", "Montreal", "http://montreal.kijiji.ca"},
                          {"United States", "Massachusetts", "Boston", "http://boston.kijiji.com"},
                          {"Canada", "Ontario", "Ottawa", "http://Ottawa.kijiji.ca"},
                          {"Canada",
                           "Qu\xE9"
                           "bec",
                           "Laval", "http://laval.kijiji.ca"},
                          {"Mexico", "Jalisco", "Guadalajara", "http://guadalajara.kijiji.com"},
                          {"United States", "Massachusetts", "Boston again", "http://boston.kijiji.com"}};
    EXPECT_EQ(StateCodeOfLink("http://montreal.kijiji.ca/c-buy-and-sell-W0QQ", tables), "QC");
    EXPECT_EQ(StateCodeOfLink("HTTP://BOSTON.KIJIJI.COM/c-123", tables), "MA");
    EXPECT_EQ(StateCodeOfLink("http://Ottawa.kijiji.ca/c-1", tables), "--"); // stored with capitals
    EXPECT_EQ(StateCodeOfLink("http://laval.kijiji.ca/", tables), "--");     // name not in the table
    EXPECT_EQ(StateCodeOfLink("http://guadalajara.kijiji.com/", tables), "--");
    EXPECT_EQ(StateCodeOfLink("http://nowhere.kijiji.ca/", tables), "--");
    EXPECT_EQ(StateCodeOfLink("", tables), "--");
}

} // namespace
} // namespace trawl

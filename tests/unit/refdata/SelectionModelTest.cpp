#include "refdata/SelectionModel.h"

#include "FakeTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace trawl {
namespace {

using test::FakeTree;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

ReferenceTables SampleTables()
{
    ReferenceTables t;
    // Rows deliberately out of alphabetical order.
    t.CLCityTable = {
        {"North America", "US", "United States", "Boston", "http://boston.craigslist.org"},
        {"North America", "CA", "Canada", "Montreal, QC", "http://montreal.craigslist.ca"},
        {"Europe", "FR", "France", "Paris", "http://paris.craigslist.fr"},
        {"Africa", "EG", "Egypt", "Default", "http://cairo.craigslist.org"},
        {"North America", "CA", "Canada", "Toronto", "http://toronto.craigslist.ca"},
        {"Europe", "GB", "United Kingdom", "London", "http://london.craigslist.co.uk"},
        {"North America", "US", "United States", "Portland", "http://portland.craigslist.org"},
    };
    t.KJCityTable = {
        {"Canada", "Quebec", "Montreal", "http://montreal.kijiji.ca"},
        {"Canada", "Ontario", "Toronto", "http://toronto.kijiji.ca"},
        {"United States", "Massachusetts", "Boston", "http://boston.kijiji.com"},
        {"United States", "Oregon", "Portland", "http://portland.kijiji.com"},
        {"Canada", "Ontario", "Ottawa", "http://ottawa.kijiji.ca"},
    };
    t.CLSectionTable = {
        {"hhh", "apa", "apts"}, // before any parent row: top level
        {"sss", "sss", "for sale (All)"},
        {"sss", "bik", "bicycles"},
        {"sss", "cta", "Cars & Vehicles"},
        {"ccc", "ccc", "community (All)"},
        {"ccc", "act", "activities"},
        {"bbb", "bbb", "Services (All)"},
        {"ccc", "grp", "groups"}, // names another master, yet goes under the current parent
    };
    t.KJSectionTable = {
        {"Cars & Vehicles", "27", "f-cars-vehicles", "Cars & Vehicles"},
        {"Cars & Vehicles", "174", "cars", "Cars"},
        {"Buy and Sell", "10", "buy-sell", "Buy and Sell"},
        {"Buy and Sell", "644", "bicycles", "bicycles"},
    };
    return t;
}

struct Selection : ::testing::Test {
    ReferenceTables tables = SampleTables();
    FakeTree clCities, kjCities, clSections, kjSections;
    SelectionModel model{tables, {clCities, kjCities, clSections, kjSections}};

    Selection() { model.BuildSelectionTrees(); }

    TreeItem KJ(const std::vector<std::string>& path) const { return kjCities.Find(path); }
    const SelectionGroup& Group(const std::vector<SelectionGroup>& groups, const std::string& name) const
    {
        for (const auto& group : groups) {
            if (group.name == name) {
                return group;
            }
        }
        throw std::out_of_range(name);
    }
};

TEST_F(Selection, TreesAreBuiltSortedWithDefaultRowsOnTheirCountry)
{
    EXPECT_THAT(clCities.ChildLabels(kNoTreeItem), ElementsAre("Africa", "Europe", "North America"));
    EXPECT_THAT(clCities.ChildLabels(clCities.Find({"North America"})), ElementsAre("Canada", "United States"));
    EXPECT_THAT(clCities.ChildLabels(clCities.Find({"North America", "Canada"})),
                ElementsAre("Montreal, QC", "Toronto"));
    // The "Default" row has no leaf: it is bound to its country node.
    EXPECT_THAT(clCities.ChildLabels(clCities.Find({"Africa", "Egypt"})), IsEmpty());
    EXPECT_EQ(model.CLCityRows()[3].item, clCities.Find({"Africa", "Egypt"}));
    EXPECT_EQ(clCities.ItemCount(), 3u + 5u + 6u);

    EXPECT_THAT(kjCities.ChildLabels(kNoTreeItem), ElementsAre("Canada", "United States"));
    EXPECT_THAT(kjCities.ChildLabels(KJ({"Canada", "Ontario"})), ElementsAre("Ottawa", "Toronto"));

    EXPECT_THAT(clSections.ChildLabels(kNoTreeItem),
                ElementsAre("Services (All)", "apts", "community (All)", "for sale (All)"));
    EXPECT_THAT(clSections.ChildLabels(clSections.Find({"for sale (All)"})),
                ElementsAre("Cars & Vehicles", "bicycles"));
    EXPECT_THAT(clSections.ChildLabels(clSections.Find({"Services (All)"})), ElementsAre("groups"));
    EXPECT_THAT(kjSections.ChildLabels(kNoTreeItem), ElementsAre("Buy and Sell (All)", "Cars & Vehicles (All)"));
}

TEST_F(Selection, FreshTreesSelectEveryKijijiCityAndNothingElse)
{
    EXPECT_EQ(model.SelectedCLCityKeys(), "");
    EXPECT_EQ(model.SelectedKJCityKeys(), "http://montreal.kijiji.ca,http://toronto.kijiji.ca,http://boston.kijiji.com,"
                                          "http://portland.kijiji.com,http://ottawa.kijiji.ca");
    EXPECT_EQ(model.SelectedCLSectionKeys(), "");
    EXPECT_EQ(model.SelectedKJSectionKeys(), "");
    EXPECT_THAT(kjCities.CheckedLabels(), ElementsAre("Ottawa", "Toronto", "Montreal", "Boston", "Portland"));
    for (const auto& group : model.KJStateNodes()) {
        EXPECT_EQ(group.known, 0);
        EXPECT_FALSE(kjCities.IsChecked(group.item));
    }
    EXPECT_FALSE(model.ScanKJCityTree(true));
    EXPECT_FALSE(model.ScanCLCityTree(true));
}

TEST_F(Selection, RegionCheckSpreadsToItsCountriesAndCitiesAndBack)
{
    clCities.Click({"North America"});
    EXPECT_TRUE(model.ScanCLCityTree(false));
    EXPECT_EQ(model.SelectedCLCityKeys(), "http://boston.craigslist.org,http://montreal.craigslist.ca,"
                                          "http://toronto.craigslist.ca,http://portland.craigslist.org");
    EXPECT_THAT(clCities.CheckedLabels(), ElementsAre("North America", "Canada", "Montreal, QC", "Toronto",
                                                      "United States", "Boston", "Portland"));
    EXPECT_EQ(Group(model.CLCountryNodes(), "Canada").known, 1);
    // The spread happens with redrawing suspended, once.
    EXPECT_EQ(clCities.SuspendCount(), 1);
    EXPECT_EQ(clCities.ResumeCount(), 1);
    EXPECT_EQ(clCities.ChecksWhileDrawing(), 0);
    EXPECT_FALSE(model.ScanCLCityTree(false));

    clCities.Click({"North America"});
    EXPECT_TRUE(model.ScanCLCityTree(false));
    EXPECT_EQ(model.SelectedCLCityKeys(), "");
    EXPECT_THAT(clCities.CheckedLabels(), IsEmpty());
    EXPECT_EQ(clCities.UnbalancedResumes(), 0);
}

TEST_F(Selection, RegionChangeIsHandledBeforeACountryChangeOfAnotherRegion)
{
    clCities.Click({"Europe"});
    clCities.Click({"Africa", "Egypt"});
    EXPECT_TRUE(model.ScanCLCityTree(false));
    EXPECT_EQ(model.SelectedCLCityKeys(), "http://paris.craigslist.fr,http://london.craigslist.co.uk");
    EXPECT_EQ(Group(model.CLCountryNodes(), "Egypt").known, 0);

    EXPECT_TRUE(model.ScanCLCityTree(false));
    // Egypt's only row is its "Default" row, selected through the country node.
    EXPECT_EQ(model.SelectedCLCityKeys(),
              "http://paris.craigslist.fr,http://cairo.craigslist.org,http://london.craigslist.co.uk");
    EXPECT_FALSE(model.ScanCLCityTree(false));
}

TEST_F(Selection, CountryChangeWaitsForRowChangesOnlyInTheSameScan)
{
    clCities.Click({"Europe", "France", "Paris"});
    clCities.Click({"North America", "United States", "Boston"});
    EXPECT_TRUE(model.ScanCLCityTree(false)); // every changed row in one scan
    EXPECT_EQ(model.SelectedCLCityKeys(), "http://boston.craigslist.org,http://paris.craigslist.fr");

    clCities.Click({"North America", "Canada"});
    clCities.Click({"Europe", "France", "Paris"});
    EXPECT_TRUE(model.ScanCLCityTree(false));
    EXPECT_EQ(model.SelectedCLCityKeys(), "http://boston.craigslist.org,http://montreal.craigslist.ca,"
                                          "http://paris.craigslist.fr,http://toronto.craigslist.ca");
    EXPECT_TRUE(model.ScanCLCityTree(false));
    EXPECT_EQ(model.SelectedCLCityKeys(), "http://boston.craigslist.org,http://montreal.craigslist.ca,"
                                          "http://toronto.craigslist.ca");
}

TEST_F(Selection, AutoSyncMirrorsACityOntoTheSameNameAndCountryOfTheOtherSite)
{
    model.ClearAllCities();
    kjCities.ForgetExpansions();
    clCities.Click({"North America", "Canada", "Montreal, QC"});
    EXPECT_TRUE(model.ScanCLCityTree(true));
    // "Montreal, QC" is matched by the part before the comma.
    EXPECT_EQ(model.SelectedKJCityKeys(), "http://montreal.kijiji.ca");
    const TreeItem montreal = KJ({"Canada", "Quebec", "Montreal"});
    EXPECT_TRUE(kjCities.IsChecked(montreal));
    EXPECT_THAT(kjCities.Expansions(), ElementsAre(montreal, KJ({"Canada", "Quebec"}), KJ({"Canada"})));
    // The other tree's group nodes stay as they were, and nothing comes back.
    EXPECT_EQ(Group(model.KJStateNodes(), "Quebec").known, 0);
    EXPECT_FALSE(kjCities.IsChecked(KJ({"Canada", "Quebec"})));
    EXPECT_FALSE(model.ScanKJCityTree(true));

    // From Kijiji the name is compared whole, and only within the same country.
    kjCities.Click({"Canada", "Ontario", "Toronto"});
    kjCities.Click({"United States", "Oregon", "Portland"});
    EXPECT_TRUE(model.ScanKJCityTree(true));
    EXPECT_EQ(model.SelectedCLCityKeys(), "http://montreal.craigslist.ca,http://toronto.craigslist.ca,"
                                          "http://portland.craigslist.org");
    kjCities.Click({"Canada", "Quebec", "Montreal"});
    EXPECT_TRUE(model.ScanKJCityTree(true));
    EXPECT_EQ(model.SelectedCLCityKeys(), "http://montreal.craigslist.ca,http://toronto.craigslist.ca,"
                                          "http://portland.craigslist.org");
}

TEST_F(Selection, GroupChangesAreMirroredRowByRow)
{
    model.ClearAllCities();
    clCities.Click({"North America"});
    EXPECT_TRUE(model.ScanCLCityTree(true));
    EXPECT_EQ(model.SelectedKJCityKeys(), "http://montreal.kijiji.ca,http://toronto.kijiji.ca,"
                                          "http://boston.kijiji.com,http://portland.kijiji.com");
    // A Kijiji state node checks every row of that state name.
    kjCities.Click({"Canada", "Ontario"});
    EXPECT_TRUE(model.ScanKJCityTree(true));
    EXPECT_EQ(model.SelectedKJCityKeys(), "http://montreal.kijiji.ca,http://toronto.kijiji.ca,"
                                          "http://boston.kijiji.com,http://portland.kijiji.com,"
                                          "http://ottawa.kijiji.ca");
    EXPECT_TRUE(kjCities.IsChecked(KJ({"Canada", "Ontario", "Ottawa"})));
}

TEST_F(Selection, WithoutAutoSyncNothingCrossesBetweenTheSites)
{
    model.ClearAllCities();
    clCities.Click({"North America"});
    EXPECT_TRUE(model.ScanCLCityTree(false));
    EXPECT_EQ(model.SelectedKJCityKeys(), "");
    clSections.Click({"for sale (All)", "bicycles"});
    EXPECT_TRUE(model.ScanCLSectionTree(false));
    EXPECT_EQ(model.SelectedKJSectionKeys(), "");
    EXPECT_THAT(kjCities.Expansions(), IsEmpty());
}

TEST_F(Selection, OneSectionRowPerScanInTableOrder)
{
    kjSections.ForgetExpansions();
    clSections.Click({"for sale (All)", "Cars & Vehicles"});
    clSections.Click({"for sale (All)", "bicycles"});
    EXPECT_TRUE(model.ScanCLSectionTree(true));
    EXPECT_EQ(model.CLSectionRows()[2].known, 1); // bicycles comes first in the table
    EXPECT_EQ(model.CLSectionRows()[3].known, 0);
    EXPECT_EQ(model.SelectedKJSectionKeys(), "644\\bicycles");
    const TreeItem kjBicycles = kjSections.Find({"Buy and Sell (All)", "bicycles"});
    EXPECT_THAT(kjSections.Expansions(), ElementsAre(kjBicycles, kjSections.Find({"Buy and Sell (All)"})));

    EXPECT_TRUE(model.ScanCLSectionTree(true));
    EXPECT_EQ(model.CLSectionRows()[3].known, 1);
    // The parent's label carries " (All)", its stored name does not: that is what is compared.
    EXPECT_EQ(model.SelectedKJSectionKeys(), "27\\f-cars-vehicles,644\\bicycles");
    EXPECT_FALSE(model.ScanCLSectionTree(true));
    EXPECT_FALSE(model.ScanKJSectionTree(true));
    EXPECT_EQ(model.SelectedCLSectionKeys(), "bik,cta");
}

TEST_F(Selection, ParentSectionCheckDoesNotCheckItsChildren)
{
    clSections.Click({"for sale (All)"});
    EXPECT_TRUE(model.ScanCLSectionTree(true));
    EXPECT_EQ(model.SelectedCLSectionKeys(), "sss");
}

TEST_F(Selection, SelectAllSectionsChecksParentsOnly)
{
    clSections.Click({"for sale (All)", "bicycles"});
    model.ScanAllTrees(true);
    model.SelectAllSections();
    EXPECT_EQ(model.SelectedCLSectionKeys(), "apa,sss,ccc,bbb");
    EXPECT_EQ(model.SelectedKJSectionKeys(), "27\\f-cars-vehicles,10\\buy-sell");
    EXPECT_EQ(model.CLSectionRows()[2].known, 0);
    EXPECT_FALSE(model.ScanCLSectionTree(true));
    EXPECT_EQ(clSections.SuspendCount(), 1);
    EXPECT_EQ(kjSections.ResumeCount(), 1);

    model.ClearAllSections();
    EXPECT_EQ(model.SelectedCLSectionKeys(), "");
    EXPECT_EQ(model.SelectedKJSectionKeys(), "");
    EXPECT_FALSE(model.ScanKJSectionTree(true));
}

TEST_F(Selection, SelectAllAndClearAllCitiesCoverEveryNodeOfBothTrees)
{
    model.SelectAllCities();
    EXPECT_EQ(clCities.CheckedLabels().size(), clCities.ItemCount());
    EXPECT_EQ(kjCities.CheckedLabels().size(), kjCities.ItemCount());
    EXPECT_NE(model.SelectedCLCityKeys().find("cairo"), std::string::npos);
    EXPECT_FALSE(model.ScanCLCityTree(true));
    EXPECT_FALSE(model.ScanKJCityTree(true));

    model.ClearAllCities();
    EXPECT_THAT(clCities.CheckedLabels(), IsEmpty());
    EXPECT_THAT(kjCities.CheckedLabels(), IsEmpty());
    EXPECT_EQ(model.SelectedKJCityKeys(), "");
    EXPECT_FALSE(model.ScanCLCityTree(true));
    EXPECT_EQ(clCities.SuspendCount(), clCities.ResumeCount());
}

TEST_F(Selection, ApplySelectionSetsEveryRowFromItsList)
{
    model.ApplySelection("http://toronto.craigslist.ca,http://nowhere.craigslist.org,http://boston.craigslist.org/x",
                         "act,bik", "", "27\\f-cars-vehicles");
    EXPECT_EQ(model.SelectedCLCityKeys(), "http://toronto.craigslist.ca");
    EXPECT_EQ(model.SelectedKJCityKeys(), ""); // an empty list unchecks every row
    EXPECT_THAT(kjCities.CheckedLabels(), IsEmpty());
    EXPECT_EQ(model.SelectedCLSectionKeys(), "bik,act");
    EXPECT_EQ(model.SelectedKJSectionKeys(), "27\\f-cars-vehicles");
    // Parents of checked rows are opened; group nodes keep their flags.
    EXPECT_TRUE(clCities.WasExpanded(clCities.Find({"North America", "Canada"})));
    EXPECT_TRUE(clCities.WasExpanded(clCities.Find({"North America"})));
    EXPECT_FALSE(clCities.WasExpanded(clCities.Find({"Europe"})));
    EXPECT_TRUE(clSections.WasExpanded(clSections.Find({"community (All)"})));
    EXPECT_EQ(Group(model.CLCountryNodes(), "Canada").known, 0);
    EXPECT_FALSE(model.ScanCLCityTree(true));
    EXPECT_FALSE(model.ScanCLSectionTree(true));

    const SelectionLists lists = model.SelectedLists();
    FakeTree a, b, c, d;
    SelectionModel fresh(tables, {a, b, c, d});
    fresh.BuildSelectionTrees();
    fresh.ApplySelection(lists);
    EXPECT_EQ(fresh.SelectedLists().clCities, lists.clCities);
    EXPECT_EQ(fresh.SelectedLists().clSections, lists.clSections);
    EXPECT_EQ(fresh.SelectedLists().kjSections, lists.kjSections);
}

TEST_F(Selection, ApplyingADefaultRowLeavesNoPhantomChange)
{
    model.ApplySelection("http://cairo.craigslist.org", "", "", "");
    EXPECT_TRUE(clCities.IsChecked(clCities.Find({"Africa", "Egypt"})));
    EXPECT_FALSE(model.ScanCLCityTree(true));
    EXPECT_EQ(model.SelectedCLCityKeys(), "http://cairo.craigslist.org");
}

TEST_F(Selection, CaptureTakesTheKeysOfTheSitesThatAreOn)
{
    model.ApplySelection("http://paris.craigslist.fr", "bik", "http://ottawa.kijiji.ca", "174\\cars");
    SearchSelection both = model.CaptureSearchSelection(true, true);
    EXPECT_EQ(both.cities, "http://paris.craigslist.fr,http://ottawa.kijiji.ca");
    EXPECT_EQ(both.sections, "bik,174\\cars");
    EXPECT_EQ(model.CaptureSearchSelection(false, true).cities, "http://ottawa.kijiji.ca");
    EXPECT_EQ(model.CaptureSearchSelection(true, false).sections, "bik");
    EXPECT_EQ(model.CaptureSearchSelection(false, false).cities, "");

    model.ApplySelection("", "bik", "http://ottawa.kijiji.ca", "");
    both = model.CaptureSearchSelection(true, true);
    EXPECT_EQ(both.cities, "http://ottawa.kijiji.ca"); // no stray comma
    EXPECT_EQ(both.sections, "bik");
}

TEST_F(Selection, ScanAllTreesHandlesEveryPendingChange)
{
    clSections.Click({"for sale (All)", "bicycles"});
    clSections.Click({"community (All)", "activities"});
    kjSections.Click({"Cars & Vehicles (All)", "Cars"});
    clCities.Click({"Europe"});
    clCities.Click({"Africa", "Egypt"});
    model.ScanAllTrees(false);
    for (const auto& row : model.CLSectionRows()) {
        EXPECT_EQ(row.known, clSections.IsChecked(row.item) ? 1 : 0);
    }
    EXPECT_EQ(model.KJSectionRows()[1].known, 1);
    EXPECT_NE(model.SelectedCLCityKeys().find("cairo"), std::string::npos);
    EXPECT_FALSE(model.ScanCLCityTree(false) || model.ScanCLSectionTree(false) || model.ScanKJSectionTree(false));
}

TEST(SelectionEmpty, EmptyTablesBuildEmptyTrees)
{
    ReferenceTables tables;
    FakeTree a, b, c, d;
    SelectionModel model(tables, {a, b, c, d});
    model.BuildSelectionTrees();
    EXPECT_EQ(a.ItemCount() + b.ItemCount() + c.ItemCount() + d.ItemCount(), 0u);
    model.ScanAllTrees(true);
    model.SelectAllCities();
    model.ApplySelection("x", "y", "z", "w");
    EXPECT_EQ(model.CaptureSearchSelection(true, true).cities, "");
}

} // namespace
} // namespace trawl

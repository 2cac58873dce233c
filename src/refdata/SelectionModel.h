#pragma once

#include "refdata/ReferenceTables.h"
#include "refdata/SelectionTree.h"

#include <string>
#include <string_view>
#include <vector>

namespace trawl {

// A region, country or state node of a city tree. `known` is the check state the program last saw
// or set; a tree item whose check mark differs from it holds a change the user made that has not
// been handled yet.
struct SelectionGroup {
    std::string name;
    TreeItem item = kNoTreeItem;
    int known = 0;
};

// The selection state of one city or section row, beside its table row (same index).
struct SelectionRow {
    TreeItem item = kNoTreeItem;
    int known = 0;
};

// The four check-box trees of the search page.
struct SelectionTrees {
    SelectionTree& clCities;
    SelectionTree& kjCities;
    SelectionTree& clSections;
    SelectionTree& kjSections;
};

// The four key lists as a search file keeps them.
struct SelectionLists {
    std::string clCities;
    std::string clSections;
    std::string kjCities;
    std::string kjSections;
};

// What a search run takes: the city and the section keys of the sites that are switched on,
// Craigslist first.
struct SearchSelection {
    std::string cities;
    std::string sections;
};

// The selection of cities and sections of both sites, kept beside the reference tables and shown in
// the four trees. `tables` and the trees must outlive the model and must not change under it; after
// the tables are reloaded a new model is built. Everything runs on the user-interface thread.
class SelectionModel {
public:
    SelectionModel(const ReferenceTables& tables, SelectionTrees trees);

    // Fills the four (empty) trees: every Kijiji city checked, everything else unchecked.
    void BuildSelectionTrees();

    // Handle the check marks the user changed since the last scan of that tree. A city scan handles
    // the changed top-level nodes, else the changed second-level nodes, else the changed rows; a
    // section scan handles one changed row. With `autoSync` each change is mirrored onto the same
    // city or section of the other site. True when something was handled.
    bool ScanCLCityTree(bool autoSync);
    bool ScanKJCityTree(bool autoSync);
    bool ScanCLSectionTree(bool autoSync);
    bool ScanKJSectionTree(bool autoSync);
    // Scans all four trees until none reports a change, so that every change is handled before the
    // selection is read.
    void ScanAllTrees(bool autoSync);

    void SelectAllCities();
    void ClearAllCities();
    // Checks every top-level section and unchecks every other one (a parent stands for its group).
    void SelectAllSections();
    void ClearAllSections();

    // Comma-joined keys in table order. A city counts when its `known` flag is set, a section when
    // its tree item shows a check mark.
    std::string SelectedCLCityKeys() const;
    std::string SelectedKJCityKeys() const;
    std::string SelectedCLSectionKeys() const;
    std::string SelectedKJSectionKeys() const;
    SelectionLists SelectedLists() const;
    SearchSelection CaptureSearchSelection(bool searchCraigslist, bool searchKijiji) const;

    // Sets every row of each table from a comma-joined key list (a row is checked exactly when its
    // key is in the list) and expands the parents of the checked rows.
    void ApplySelection(std::string_view clCityKeys, std::string_view clSectionKeys, std::string_view kjCityKeys,
                        std::string_view kjSectionKeys);
    void ApplySelection(const SelectionLists& lists)
    {
        ApplySelection(lists.clCities, lists.clSections, lists.kjCities, lists.kjSections);
    }

    const std::vector<SelectionGroup>& CLRegionNodes() const { return m_clCities.top; }
    const std::vector<SelectionGroup>& CLCountryNodes() const { return m_clCities.second; }
    const std::vector<SelectionGroup>& KJCountryNodes() const { return m_kjCities.top; }
    const std::vector<SelectionGroup>& KJStateNodes() const { return m_kjCities.second; }
    const std::vector<SelectionRow>& CLCityRows() const { return m_clCities.rows; }
    const std::vector<SelectionRow>& KJCityRows() const { return m_kjCities.rows; }
    const std::vector<SelectionRow>& CLSectionRows() const { return m_clSections.rows; }
    const std::vector<SelectionRow>& KJSectionRows() const { return m_kjSections.rows; }

    // One city row seen through the names its tree groups it by.
    struct CityNames {
        std::string_view top;     // Craigslist: Region; Kijiji: Country
        std::string_view second;  // Craigslist: CountryName; Kijiji: State
        std::string_view city;    // CityName or City
        std::string_view country; // the country matched across the sites: CountryName or Country
        std::string_view key;     // CityURL or URL
    };

    struct CityTreeState {
        SelectionTree* tree;
        std::vector<SelectionGroup> top;
        std::vector<SelectionGroup> second;
        std::vector<SelectionRow> rows;
        std::vector<CityNames> names;
        std::vector<int> boundGroup; // index into `second` when the row has no leaf of its own, else -1
    };

    struct SectionTreeState {
        SelectionTree* tree;
        std::vector<SelectionRow> rows;
        std::vector<std::string_view> names; // SectionName as stored
        std::vector<std::string> keys;
        std::vector<bool> topLevel;
    };

private:
    // Sets a city row's flag and check mark; a row bound to a group node keeps that node's flag in step.
    static void SetCityRow(CityTreeState& state, std::size_t row, int known);
    static bool ScanCityTree(CityTreeState& state, CityTreeState& other, bool autoSync);
    static void SyncCity(const CityTreeState& from, std::size_t row, CityTreeState& onto, int known);
    static bool ScanSectionTree(SectionTreeState& state, SectionTreeState& other, bool autoSync);

    const ReferenceTables& m_tables;
    CityTreeState m_clCities;
    CityTreeState m_kjCities;
    SectionTreeState m_clSections;
    SectionTreeState m_kjSections;
};

} // namespace trawl

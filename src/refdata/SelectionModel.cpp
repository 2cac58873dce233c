#include "refdata/SelectionModel.h"

namespace trawl {

namespace {

constexpr std::string_view kDefaultCity = "Default";
constexpr std::string_view kAllSuffix = " (All)";

int FindGroup(const std::vector<SelectionGroup>& groups, std::string_view name)
{
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (groups[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Region (or country) nodes, then country (or state) nodes under the first top node of their
// row's name, then the leaves under the first second-level node of their row's name.
void BuildCityTree(SelectionModel::CityTreeState& state, bool leavesChecked, bool defaultRowsBind)
{
    SelectionTree& tree = *state.tree;
    for (const auto& names : state.names) {
        if (FindGroup(state.top, names.top) < 0) {
            state.top.push_back({std::string(names.top), tree.InsertSorted(kNoTreeItem, std::string(names.top)), 0});
        }
    }
    for (const auto& names : state.names) {
        if (FindGroup(state.second, names.second) < 0) {
            const SelectionGroup& parent = state.top[static_cast<std::size_t>(FindGroup(state.top, names.top))];
            state.second.push_back(
                {std::string(names.second), tree.InsertSorted(parent.item, std::string(names.second)), 0});
        }
    }
    for (std::size_t row = 0; row < state.names.size(); ++row) {
        const int group = FindGroup(state.second, state.names[row].second);
        const TreeItem parent = state.second[static_cast<std::size_t>(group)].item;
        if (defaultRowsBind && state.names[row].city == kDefaultCity) {
            // A country that redirects straight to one site: its node stands for that site.
            state.rows[row].item = parent;
            state.boundGroup[row] = group;
            continue;
        }
        state.rows[row].item = tree.InsertSorted(parent, std::string(state.names[row].city));
        if (leavesChecked) {
            tree.SetChecked(state.rows[row].item, true);
            state.rows[row].known = 1;
        }
    }
}

// Parent rows go to the top level and become the current parent; other rows go under the most
// recent parent row (top level before the first one).
template <typename Row, typename IsParent, typename Label>
void BuildSectionTree(SelectionModel::SectionTreeState& state, const std::vector<Row>& rows, IsParent isParent,
                      Label label)
{
    TreeItem currentParent = kNoTreeItem;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (isParent(rows[i])) {
            state.rows[i].item = state.tree->InsertSorted(kNoTreeItem, label(rows[i], true));
            currentParent = state.rows[i].item;
        } else {
            state.rows[i].item = state.tree->InsertSorted(currentParent, label(rows[i], false));
        }
        state.topLevel[i] = state.tree->Parent(state.rows[i].item) == kNoTreeItem;
    }
}

std::string JoinKeys(const std::vector<std::string_view>& keys)
{
    std::string joined;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i > 0) {
            joined += ',';
        }
        joined += keys[i];
    }
    return joined;
}

std::string JoinLists(const std::string& first, const std::string& second)
{
    if (first.empty()) {
        return second;
    }
    if (second.empty()) {
        return first;
    }
    return first + "," + second;
}

bool ListHasKey(const std::string& surroundedList, std::string_view key)
{
    std::string needle;
    needle.reserve(key.size() + 2);
    needle += ',';
    needle += key;
    needle += ',';
    return surroundedList.find(needle) != std::string::npos;
}

std::string Surround(std::string_view list)
{
    std::string surrounded = ",";
    surrounded += list;
    surrounded += ',';
    return surrounded;
}

void ExpandIfAny(SelectionTree& tree, TreeItem item)
{
    if (item != kNoTreeItem) {
        tree.Expand(item);
    }
}

} // namespace

SelectionModel::SelectionModel(const ReferenceTables& tables, SelectionTrees trees)
    : m_tables(tables), m_clCities{&trees.clCities, {}, {}, {}, {}, {}},
      m_kjCities{&trees.kjCities, {}, {}, {}, {}, {}}, m_clSections{&trees.clSections, {}, {}, {}, {}},
      m_kjSections{&trees.kjSections, {}, {}, {}, {}}
{
    for (const CLCity& city : tables.CLCityTable) {
        m_clCities.names.push_back({city.Region, city.CountryName, city.CityName, city.CountryName, city.CityURL});
    }
    for (const KJCity& city : tables.KJCityTable) {
        m_kjCities.names.push_back({city.Country, city.State, city.City, city.Country, city.URL});
    }
    for (CityTreeState* state : {&m_clCities, &m_kjCities}) {
        state->rows.resize(state->names.size());
        state->boundGroup.assign(state->names.size(), -1);
    }
    for (const CLSection& section : tables.CLSectionTable) {
        m_clSections.names.push_back(section.SectionName);
        m_clSections.keys.push_back(section.SectionCode);
    }
    for (const KJSection& section : tables.KJSectionTable) {
        m_kjSections.names.push_back(section.SectionName);
        m_kjSections.keys.push_back(KJSectionKey(section));
    }
    for (SectionTreeState* state : {&m_clSections, &m_kjSections}) {
        state->rows.resize(state->names.size());
        state->topLevel.assign(state->names.size(), false);
    }
}

void SelectionModel::BuildSelectionTrees()
{
    BuildCityTree(m_clCities, false, true);
    BuildCityTree(m_kjCities, true, false);
    BuildSectionTree(
        m_clSections, m_tables.CLSectionTable,
        [](const CLSection& row) { return row.MasterSectionCode == row.SectionCode; },
        [](const CLSection& row, bool) { return row.SectionName; });
    BuildSectionTree(
        m_kjSections, m_tables.KJSectionTable,
        [](const KJSection& row) { return row.MasterSectionName == row.SectionName; },
        [](const KJSection& row, bool parent) {
            return parent ? row.SectionName + std::string(kAllSuffix) : row.SectionName;
        });
}

std::string SelectionModel::SelectedCLCityKeys() const
{
    std::vector<std::string_view> keys;
    for (std::size_t i = 0; i < m_clCities.rows.size(); ++i) {
        if (m_clCities.rows[i].known == 1) {
            keys.push_back(m_clCities.names[i].key);
        }
    }
    return JoinKeys(keys);
}

std::string SelectionModel::SelectedKJCityKeys() const
{
    std::vector<std::string_view> keys;
    for (std::size_t i = 0; i < m_kjCities.rows.size(); ++i) {
        if (m_kjCities.rows[i].known == 1) {
            keys.push_back(m_kjCities.names[i].key);
        }
    }
    return JoinKeys(keys);
}

std::string SelectionModel::SelectedCLSectionKeys() const
{
    std::vector<std::string_view> keys;
    for (std::size_t i = 0; i < m_clSections.rows.size(); ++i) {
        if (m_clSections.tree->IsChecked(m_clSections.rows[i].item)) {
            keys.push_back(m_clSections.keys[i]);
        }
    }
    return JoinKeys(keys);
}

std::string SelectionModel::SelectedKJSectionKeys() const
{
    std::vector<std::string_view> keys;
    for (std::size_t i = 0; i < m_kjSections.rows.size(); ++i) {
        if (m_kjSections.tree->IsChecked(m_kjSections.rows[i].item)) {
            keys.push_back(m_kjSections.keys[i]);
        }
    }
    return JoinKeys(keys);
}

SelectionLists SelectionModel::SelectedLists() const
{
    return {SelectedCLCityKeys(), SelectedCLSectionKeys(), SelectedKJCityKeys(), SelectedKJSectionKeys()};
}

SearchSelection SelectionModel::CaptureSearchSelection(bool searchCraigslist, bool searchKijiji) const
{
    const std::string noKeys;
    return {JoinLists(searchCraigslist ? SelectedCLCityKeys() : noKeys, searchKijiji ? SelectedKJCityKeys() : noKeys),
            JoinLists(searchCraigslist ? SelectedCLSectionKeys() : noKeys,
                      searchKijiji ? SelectedKJSectionKeys() : noKeys)};
}

void SelectionModel::ApplySelection(std::string_view clCityKeys, std::string_view clSectionKeys,
                                    std::string_view kjCityKeys, std::string_view kjSectionKeys)
{
    const auto applyCities = [](CityTreeState& state, std::string_view list) {
        const std::string surrounded = Surround(list);
        RedrawPause pause(*state.tree);
        pause.Begin();
        for (std::size_t i = 0; i < state.rows.size(); ++i) {
            const bool checked = ListHasKey(surrounded, state.names[i].key);
            SetCityRow(state, i, checked ? 1 : 0);
            if (checked) {
                const TreeItem parent = state.tree->Parent(state.rows[i].item);
                ExpandIfAny(*state.tree, parent);
                if (parent != kNoTreeItem) {
                    ExpandIfAny(*state.tree, state.tree->Parent(parent));
                }
            }
        }
    };
    const auto applySections = [](SectionTreeState& state, std::string_view list) {
        const std::string surrounded = Surround(list);
        RedrawPause pause(*state.tree);
        pause.Begin();
        for (std::size_t i = 0; i < state.rows.size(); ++i) {
            const bool checked = ListHasKey(surrounded, state.keys[i]);
            state.rows[i].known = checked ? 1 : 0;
            state.tree->SetChecked(state.rows[i].item, checked);
            if (checked) {
                ExpandIfAny(*state.tree, state.tree->Parent(state.rows[i].item));
            }
        }
    };
    applyCities(m_clCities, clCityKeys);
    applySections(m_clSections, clSectionKeys);
    applyCities(m_kjCities, kjCityKeys);
    applySections(m_kjSections, kjSectionKeys);
}

} // namespace trawl

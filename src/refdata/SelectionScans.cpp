#include "app/TextUtil.h"
#include "refdata/SelectionModel.h"

namespace trawl {

namespace {

int MarkOf(const SelectionTree& tree, TreeItem item)
{
    return tree.IsChecked(item) ? 1 : 0;
}

void ExpandIfAny(SelectionTree& tree, TreeItem item)
{
    if (item != kNoTreeItem) {
        tree.Expand(item);
    }
}

} // namespace

void SelectionModel::SetCityRow(CityTreeState& state, std::size_t row, int known)
{
    state.rows[row].known = known;
    state.tree->SetChecked(state.rows[row].item, known == 1);
    // The row's item is a country node: that node now shows what the program set, so its flag must
    // agree or the next scan would take the mark for a change by the user and spread it.
    if (const int group = state.boundGroup[row]; group >= 0) {
        state.second[static_cast<std::size_t>(group)].known = known;
    }
}

void SelectionModel::SyncCity(const CityTreeState& from, std::size_t row, CityTreeState& onto, int known)
{
    const CityNames& names = from.names[row];
    std::string key(names.country);
    key += '\\';
    key += names.city;
    const std::size_t slash = key.find('\\');
    const std::string_view whole = key;
    const std::string_view country = TrimSpaces(whole.substr(0, slash));
    std::string_view city = whole.substr(slash + 1);
    city = TrimSpaces(city.substr(0, city.find(',')));

    SelectionTree& tree = *onto.tree;
    for (std::size_t i = 0; i < onto.rows.size(); ++i) {
        if (onto.names[i].city != city || onto.names[i].country != country || onto.rows[i].known == known) {
            continue;
        }
        SetCityRow(onto, i, known);
        // Make the row visible: the row, its parent and its parent's parent.
        const TreeItem item = onto.rows[i].item;
        tree.Expand(item);
        const TreeItem parent = tree.Parent(item);
        ExpandIfAny(tree, parent);
        if (parent != kNoTreeItem) {
            ExpandIfAny(tree, tree.Parent(parent));
        }
    }
}

bool SelectionModel::ScanCityTree(CityTreeState& state, CityTreeState& other, bool autoSync)
{
    SelectionTree& tree = *state.tree;
    RedrawPause pause(tree);
    const auto giveRows = [&](auto matches, int mark) {
        for (std::size_t row = 0; row < state.rows.size(); ++row) {
            if (matches(state.names[row])) {
                SetCityRow(state, row, mark);
                if (autoSync) {
                    SyncCity(state, row, other, mark);
                }
            }
        }
    };

    bool topChanged = false;
    for (SelectionGroup& group : state.top) {
        const int mark = MarkOf(tree, group.item);
        if (mark == group.known) {
            continue;
        }
        pause.Begin();
        topChanged = true;
        group.known = mark;
        for (SelectionGroup& child : state.second) {
            if (tree.Parent(child.item) == group.item) {
                tree.SetChecked(child.item, mark == 1);
                child.known = mark;
            }
        }
        giveRows([&](const CityNames& names) { return names.top == group.name; }, mark);
    }
    if (topChanged) {
        return true; // second-level changes wait for the next scan
    }

    bool secondChanged = false;
    for (SelectionGroup& group : state.second) {
        const int mark = MarkOf(tree, group.item);
        if (mark == group.known) {
            continue;
        }
        pause.Begin();
        secondChanged = true;
        group.known = mark;
        giveRows([&](const CityNames& names) { return names.second == group.name; }, mark);
    }
    if (secondChanged) {
        return true;
    }

    bool rowChanged = false;
    for (std::size_t row = 0; row < state.rows.size(); ++row) {
        const int mark = MarkOf(tree, state.rows[row].item);
        if (mark == state.rows[row].known) {
            continue;
        }
        rowChanged = true;
        SetCityRow(state, row, mark);
        if (autoSync) {
            SyncCity(state, row, other, mark);
        }
    }
    return rowChanged;
}

bool SelectionModel::ScanSectionTree(SectionTreeState& state, SectionTreeState& other, bool autoSync)
{
    for (std::size_t row = 0; row < state.rows.size(); ++row) {
        const int mark = MarkOf(*state.tree, state.rows[row].item);
        if (mark == state.rows[row].known) {
            continue;
        }
        state.rows[row].known = mark;
        if (autoSync) {
            for (std::size_t i = 0; i < other.rows.size(); ++i) {
                if (other.names[i] != state.names[row] || other.rows[i].known == mark) {
                    continue;
                }
                other.rows[i].known = mark;
                other.tree->SetChecked(other.rows[i].item, mark == 1);
                other.tree->Expand(other.rows[i].item);
                ExpandIfAny(*other.tree, other.tree->Parent(other.rows[i].item));
            }
        }
        return true; // one section row per scan
    }
    return false;
}

bool SelectionModel::ScanCLCityTree(bool autoSync)
{
    return ScanCityTree(m_clCities, m_kjCities, autoSync);
}
bool SelectionModel::ScanKJCityTree(bool autoSync)
{
    return ScanCityTree(m_kjCities, m_clCities, autoSync);
}
bool SelectionModel::ScanCLSectionTree(bool autoSync)
{
    return ScanSectionTree(m_clSections, m_kjSections, autoSync);
}
bool SelectionModel::ScanKJSectionTree(bool autoSync)
{
    return ScanSectionTree(m_kjSections, m_clSections, autoSync);
}

void SelectionModel::ScanAllTrees(bool autoSync)
{
    // Every round settles at least one item, so the item count bounds the rounds.
    std::size_t rounds = 4 + m_clCities.rows.size() + m_kjCities.rows.size() + m_clCities.top.size() +
                         m_clCities.second.size() + m_kjCities.top.size() + m_kjCities.second.size() +
                         m_clSections.rows.size() + m_kjSections.rows.size();
    for (; rounds > 0; --rounds) {
        bool changed = ScanCLCityTree(autoSync);
        changed = ScanKJCityTree(autoSync) || changed;
        changed = ScanCLSectionTree(autoSync) || changed;
        changed = ScanKJSectionTree(autoSync) || changed;
        if (!changed) {
            return;
        }
    }
}

namespace {

void SetAllCities(SelectionModel::CityTreeState& state, int known)
{
    SelectionTree& tree = *state.tree;
    RedrawPause pause(tree);
    pause.Begin();
    for (auto* groups : {&state.top, &state.second}) {
        for (SelectionGroup& group : *groups) {
            if (group.known != known) {
                tree.SetChecked(group.item, known == 1);
                group.known = known;
            }
        }
    }
    for (SelectionRow& row : state.rows) {
        if (row.known != known) {
            tree.SetChecked(row.item, known == 1);
            row.known = known;
        }
    }
}

void SetAllSections(SelectionModel::SectionTreeState& state, bool parentsChecked)
{
    RedrawPause pause(*state.tree);
    pause.Begin();
    for (std::size_t i = 0; i < state.rows.size(); ++i) {
        const bool checked = parentsChecked && state.topLevel[i];
        state.tree->SetChecked(state.rows[i].item, checked);
        state.rows[i].known = checked ? 1 : 0;
    }
}

} // namespace

void SelectionModel::SelectAllCities()
{
    SetAllCities(m_clCities, 1);
    SetAllCities(m_kjCities, 1);
}

void SelectionModel::ClearAllCities()
{
    SetAllCities(m_clCities, 0);
    SetAllCities(m_kjCities, 0);
}

void SelectionModel::SelectAllSections()
{
    SetAllSections(m_clSections, true);
    SetAllSections(m_kjSections, true);
}

void SelectionModel::ClearAllSections()
{
    SetAllSections(m_clSections, false);
    SetAllSections(m_kjSections, false);
}

} // namespace trawl

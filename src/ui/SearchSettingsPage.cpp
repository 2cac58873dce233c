#include "ui/SearchSettingsPage.h"

#include "app/Settings.h"
#include "ui/PageLayout.h"

#include <QHeaderView>

namespace trawl::ui {

namespace {

void SetUpTree(QTreeWidget& tree, const QString& name)
{
    tree.setHeaderHidden(true);
    tree.setColumnCount(1);
    tree.setUniformRowHeights(true);
    tree.setAccessibleName(name);
}

} // namespace

SearchSettingsPage::SearchSettingsPage(const ReferenceTables& tables, const Settings& settings,
                                       const DialogUnits& units, QWidget* parent)
    : LaidOutPage(units, parent), clCities(this), kjCities(this), clSections(this), kjSections(this),
      selectAllCities(QStringLiteral("Select All"), this), clearAllCities(QStringLiteral("Clear All"), this),
      selectAllSections(QStringLiteral("Select All"), this), clearAllSections(QStringLiteral("Clear All"), this),
      termsLabel(QStringLiteral("Search terms:"), this), terms(this), go(QStringLiteral("Go!"), this),
      m_settings(settings), m_clCityTree(clCities, this), m_kjCityTree(kjCities, this),
      m_clSectionTree(clSections, this), m_kjSectionTree(kjSections, this),
      m_selection(tables, SelectionTrees{m_clCityTree, m_kjCityTree, m_clSectionTree, m_kjSectionTree})
{
    SetUpTree(clCities, QStringLiteral("Craigslist cities"));
    SetUpTree(kjCities, QStringLiteral("Kijiji cities"));
    SetUpTree(clSections, QStringLiteral("Craigslist sections"));
    SetUpTree(kjSections, QStringLiteral("Kijiji sections"));
    termsLabel.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    termsLabel.setBuddy(&terms);
    QFont bold = go.font();
    bold.setBold(true);
    go.setFont(bold);

    m_selection.BuildSelectionTrees();

    // A tree reports each check change the user makes; its scan handles it (and mirrors it onto
    // the other site's tree when AutoSync is on).
    const auto autoSync = [this] { return m_settings.AutoSync != 0; };
    m_clCityTree.SetUserChangeHandler([this, autoSync] { m_selection.ScanCLCityTree(autoSync()); });
    m_kjCityTree.SetUserChangeHandler([this, autoSync] { m_selection.ScanKJCityTree(autoSync()); });
    m_clSectionTree.SetUserChangeHandler([this, autoSync] { m_selection.ScanCLSectionTree(autoSync()); });
    m_kjSectionTree.SetUserChangeHandler([this, autoSync] { m_selection.ScanKJSectionTree(autoSync()); });

    connect(&selectAllCities, &QPushButton::clicked, this, [this] { m_selection.SelectAllCities(); });
    connect(&clearAllCities, &QPushButton::clicked, this, [this] { m_selection.ClearAllCities(); });
    connect(&selectAllSections, &QPushButton::clicked, this, [this] { m_selection.SelectAllSections(); });
    connect(&clearAllSections, &QPushButton::clicked, this, [this] { m_selection.ClearAllSections(); });
}

SearchSelection SearchSettingsPage::CaptureSearchSelection()
{
    m_selection.ScanAllTrees(m_settings.AutoSync != 0);
    return m_selection.CaptureSearchSelection(m_settings.SearchCraigslist != 0, m_settings.SearchKijiji != 0);
}

SelectionLists SearchSettingsPage::SelectedLists()
{
    m_selection.ScanAllTrees(m_settings.AutoSync != 0);
    return m_selection.SelectedLists();
}

void SearchSettingsPage::SetSelectionEnabled(bool enabled)
{
    for (QWidget* widget :
         std::initializer_list<QWidget*>{&clCities, &kjCities, &clSections, &kjSections, &selectAllCities,
                                         &clearAllCities, &selectAllSections, &clearAllSections, &terms}) {
        widget->setEnabled(enabled);
    }
}

void SearchSettingsPage::Lay()
{
    const DialogUnits& units = m_units;
    const auto [W, H] = PageSize::Of(*this, units);
    const int half = (W - 20) / 2;
    const bool craigslist = m_settings.SearchCraigslist != 0;
    const bool kijiji = m_settings.SearchKijiji != 0;
    clCities.setVisible(craigslist);
    clSections.setVisible(craigslist);
    kjCities.setVisible(kijiji);
    kjSections.setVisible(kijiji);
    if (craigslist && kijiji) {
        const int lower = (H - 130) / 2;
        const int height = (H - 130) / 2 - 10;
        Place(clCities, units, 2, 5, half - 10, height);
        Place(clSections, units, half, 5, half - 10, height);
        Place(kjCities, units, 2, lower, half - 10, height);
        Place(kjSections, units, half, lower, half - 10, height);
    } else {
        QTreeWidget& cities = craigslist ? clCities : kjCities;
        QTreeWidget& sections = craigslist ? clSections : kjSections;
        Place(cities, units, 2, 5, half - 10, H - 145);
        Place(sections, units, half, 5, half - 10, H - 145);
    }
    Place(selectAllCities, units, 2, H - 135, 50, 15);
    Place(clearAllCities, units, 57, H - 135, 50, 15);
    Place(selectAllSections, units, half, H - 135, 50, 15);
    Place(clearAllSections, units, half + 55, H - 135, 50, 15);
    Place(termsLabel, units, 2, H - 113, 50, 15);
    Place(terms, units, 55, H - 115, W - 145, 15);
    Place(go, units, W - 82, H - 115, 50, 15);
}

} // namespace trawl::ui

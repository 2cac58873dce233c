#pragma once

#include "refdata/SelectionModel.h"
#include "ui/DialogUnits.h"
#include "ui/PageLayout.h"
#include "ui/QtSelectionTree.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>
#include <functional>

namespace trawl {
struct ReferenceTables;
struct Settings;
} // namespace trawl

namespace trawl::ui {

// Page 2, "Search Settings": the four check-box trees (cities and sections of both sites), their
// Select All and Clear All buttons, the search-terms box and the second Go!. The page owns the
// selection model that keeps the trees' check marks, their group rules and the cross-site sync.
class SearchSettingsPage final : public LaidOutPage {
    Q_OBJECT

public:
    // `settings` is read for AutoSync and for which site's trees are shown; both outlive the page.
    SearchSettingsPage(const ReferenceTables& tables, const Settings& settings, const DialogUnits& units,
                       QWidget* parent = nullptr);

    // Places the controls for the page's size; the tree rule shows the trees of the sites that are on.
    void Lay() override;

    SelectionModel& selection() { return m_selection; }
    // Handles any check change not seen yet, then gives the selection as a search takes it.
    SearchSelection CaptureSearchSelection();
    SelectionLists SelectedLists();

    // What a running search disables.
    void SetSelectionEnabled(bool enabled);

    QTreeWidget clCities;
    QTreeWidget kjCities;
    QTreeWidget clSections;
    QTreeWidget kjSections;
    QPushButton selectAllCities;
    QPushButton clearAllCities;
    QPushButton selectAllSections;
    QPushButton clearAllSections;
    QLabel termsLabel;
    QLineEdit terms;
    QPushButton go;

private:
    const Settings& m_settings;
    QtSelectionTree m_clCityTree;
    QtSelectionTree m_kjCityTree;
    QtSelectionTree m_clSectionTree;
    QtSelectionTree m_kjSectionTree;
    SelectionModel m_selection;
};

} // namespace trawl::ui

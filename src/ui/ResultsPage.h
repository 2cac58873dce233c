#pragma once

#include "ui/DialogUnits.h"
#include "ui/PageLayout.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QWidget>

namespace trawl::ui {

class ResultListModel;

// The list of results as a report: full rows, several selectable. Enter is the double-click. A table
// view rather than a tree: it keeps nothing per row beyond its header's section sizes, so a million
// rows cost a few bytes each.
class ResultListView final : public QTableView {
    Q_OBJECT

public:
    explicit ResultListView(QWidget* parent = nullptr);

Q_SIGNALS:
    void ViewRequested();   // double-click or Enter
    void DeleteRequested(); // Delete or Backspace

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// Page 1, "Search Results": the list and the buttons under it.
class ResultsPage final : public LaidOutPage {
    Q_OBJECT

public:
    ResultsPage(ResultListModel& model, const DialogUnits& units, QWidget* parent = nullptr);

    void Lay() override;
    // The column widths as the list starts with them.
    void SetInitialColumnWidths(const DialogUnits& units);

    ResultListView list;
    QHeaderView& header() { return *list.horizontalHeader(); }
    QPushButton clear;
    QPushButton filter;
    QPushButton outputCsv;
    QPushButton viewHtml;
    QPushButton deepScan;
    QPushButton go;
};

} // namespace trawl::ui

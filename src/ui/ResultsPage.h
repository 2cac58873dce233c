#pragma once

#include "ui/DialogUnits.h"

#include <QPushButton>
#include <QTreeView>
#include <QWidget>

namespace trawl::ui {

class ResultListModel;

// The list of results as a report: full rows, several selectable. Enter is the double-click.
class ResultListView final : public QTreeView {
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
class ResultsPage final : public QWidget {
    Q_OBJECT

public:
    ResultsPage(ResultListModel& model, const DialogUnits& units, QWidget* parent = nullptr);

    void Lay();
    // The column widths as the list starts with them.
    void SetInitialColumnWidths(const DialogUnits& units);

    ResultListView list;
    QPushButton clear;
    QPushButton filter;
    QPushButton outputCsv;
    QPushButton viewHtml;
    QPushButton deepScan;
    QPushButton go;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    DialogUnits m_units;
};

} // namespace trawl::ui

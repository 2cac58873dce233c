#include "ui/ResultsPage.h"

#include "ui/PageLayout.h"
#include "ui/ResultListModel.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace trawl::ui {

ResultListView::ResultListView(QWidget* parent) : QTableView(parent)
{
    setShowGrid(false);
    setTabKeyNavigation(false); // Tab leaves the list, as it leaves every other control
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false); // a header click sorts the store itself
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Every row the same height: a million rows are laid out without asking each one its size.
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 2);
    QHeaderView* columns = horizontalHeader();
    columns->setSectionsClickable(true);
    columns->setSectionsMovable(false);
    columns->setStretchLastSection(false);
    columns->setHighlightSections(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setAccessibleName(QStringLiteral("Results"));
    connect(this, &QTableView::doubleClicked, this, &ResultListView::ViewRequested);
}

void ResultListView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT ViewRequested();
        return;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        Q_EMIT DeleteRequested();
        return;
    default:
        QTableView::keyPressEvent(event);
    }
}

ResultsPage::ResultsPage(ResultListModel& model, const DialogUnits& units, QWidget* parent)
    : LaidOutPage(units, parent), list(this), clear(QStringLiteral("Clear"), this),
      filter(QStringLiteral("Filter"), this), outputCsv(QStringLiteral("Output CSV"), this),
      viewHtml(QStringLiteral("View HTML"), this), deepScan(QStringLiteral("Deep Scan"), this),
      go(QStringLiteral("Go!"), this)
{
    list.setModel(&model);
    SetInitialColumnWidths(units);
    QFont bold = go.font();
    bold.setBold(true);
    go.setFont(bold);
}

void ResultsPage::SetInitialColumnWidths(const DialogUnits& units)
{
    const int widths[] = {50, 146, 55, 55, 45};
    for (int column = 0; column < ResultListModel::ColumnCount; ++column) {
        header().resizeSection(column, units.x(widths[column]));
    }
}

void ResultsPage::Lay()
{
    const DialogUnits& units = m_units;
    const auto [W, H] = PageSize::Of(*this, units);
    Place(list, units, 2, 5, W - 33, H - 125);
    header().resizeSection(ResultListModel::TitleColumn, units.x(std::max(20, W - 253)));
    Place(clear, units, 2, H - 115, 40, 15);
    Place(filter, units, 47, H - 115, 40, 15);
    Place(outputCsv, units, 107, H - 115, 50, 15);
    Place(viewHtml, units, 162, H - 115, 50, 15);
    Place(deepScan, units, W - 157, H - 115, 70, 15);
    Place(go, units, W - 82, H - 115, 50, 15);
}

} // namespace trawl::ui

#include "ui/QuickFilterDialog.h"

#include "app/TextUtil.h"
#include "results/BrowserView.h"
#include "results/ResultStore.h"
#include "ui/PageLayout.h"
#include "ui/QtText.h"

#include <QHeaderView>

namespace trawl::ui {

MatchListModel::MatchListModel(ResultStore& store, QObject* parent) : QAbstractListModel(parent), m_store(store) {}

int MatchListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_records.size());
}

int MatchListModel::RecordOfRow(int row) const
{
    return row >= 0 && row < rowCount() ? m_records[static_cast<std::size_t>(row)] : 0;
}

QVariant MatchListModel::data(const QModelIndex& index, int role) const
{
    const int record = RecordOfRow(index.row());
    if (record == 0) {
        return {};
    }
    if (role == RecordRole) {
        return record;
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    auto found = m_titles.find(record);
    if (found == m_titles.end()) {
        if (m_titles.size() > 2048) {
            m_titles.clear();
        }
        QString title;
        {
            auto locked = m_store.ReadLock();
            if (record <= locked.Count()) {
                title = ToQString(locked.View(record).Title);
            }
        }
        found = m_titles.emplace(record, std::move(title)).first;
    }
    return found->second;
}

std::vector<int> MatchListModel::SetRecords(std::vector<int> records)
{
    beginResetModel();
    m_records.swap(records);
    m_titles.clear();
    endResetModel();
    return records;
}

QuickFilterDialog::QuickFilterDialog(ResultStore& store, Prompts& prompts, Shell& shell, bool confirmSpawn,
                                     OutputWriter writeOutput, QWidget* owner)
    : QDialog(owner), filterLabel(QStringLiteral("Quick filter:"), this), filter(this),
      count(QStringLiteral("0"), this), resultsLabel(QStringLiteral("results."), this), titles(this),
      outputCsv(QStringLiteral("Output CSV"), this), viewHtml(QStringLiteral("View HTML"), this),
      close(QStringLiteral("Close"), this), m_store(store), m_prompts(prompts), m_shell(shell),
      m_confirmSpawn(confirmSpawn), m_writeOutput(std::move(writeOutput)), m_units(font()), m_model(store),
      m_runner(store)
{
    setWindowTitle(QStringLiteral("Search inside search results"));
    setModal(true);
    filterLabel.setBuddy(&filter);
    count.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    titles.setModel(&m_model);
    titles.setShowGrid(false);
    titles.setWordWrap(false);
    titles.setTabKeyNavigation(false);
    titles.setCornerButtonEnabled(false);
    titles.horizontalHeader()->hide();
    titles.horizontalHeader()->setStretchLastSection(true);
    titles.verticalHeader()->hide();
    titles.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    titles.verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
    titles.setEditTriggers(QAbstractItemView::NoEditTriggers);
    titles.setSelectionBehavior(QAbstractItemView::SelectRows);
    titles.setSelectionMode(QAbstractItemView::SingleSelection);
    // Enter in the filter box is typing, not a press of an output button.
    for (QPushButton* button : {&outputCsv, &viewHtml, &close}) {
        button->setAutoDefault(false);
    }
    setMinimumSize(m_units.size(260, 120));
    resize(m_units.size(330, 220));

    connect(&m_runner, &FilterRunner::Filtered, this, &QuickFilterDialog::ShowResult);
    connect(&filter, &QLineEdit::textChanged, this, &QuickFilterDialog::FilterChanged);
    connect(&titles, &QTableView::doubleClicked, this, &QuickFilterDialog::ViewSelected);
    connect(&outputCsv, &QPushButton::clicked, this,
            [this] { m_writeOutput(OutputKind::Csv, ToBytes(filter.text())); });
    connect(&viewHtml, &QPushButton::clicked, this,
            [this] { m_writeOutput(OutputKind::Html, ToBytes(filter.text())); });
    connect(&close, &QPushButton::clicked, this, &QDialog::accept);

    // Opening lists every title.
    m_runner.Request({});
}

void QuickFilterDialog::FilterChanged(const QString& text)
{
    const std::string applied = ToLowerAscii(TrimSpaces(ToBytes(text)));
    if (applied == m_lastApplied) {
        return;
    }
    m_lastApplied = applied;
    m_runner.Request(applied);
}

void QuickFilterDialog::ShowResult(long request, QuickFilterResult& result)
{
    m_answered = request;
    m_shown = result.count;
    titles.setUpdatesEnabled(false);
    m_runner.Recycle(m_model.SetRecords(std::move(result.records)));
    titles.setUpdatesEnabled(true);
    count.setText(QString::fromLatin1(GroupDigits(result.count).c_str()));
}

void QuickFilterDialog::ViewSelected()
{
    const QModelIndexList selected = titles.selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        return;
    }
    ViewAdInBrowser(m_store, m_model.RecordOfRow(selected.front().row()), ViewSource::QuickFilter, m_confirmSpawn,
                    m_prompts, m_shell);
}

void QuickFilterDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    Lay();
}

void QuickFilterDialog::Lay()
{
    const DialogUnits& units = m_units;
    const int W = units.unitsX(width());
    const int H = units.unitsY(height());
    Place(filterLabel, units, 5, 7, 50, 10);
    Place(filter, units, 58, 5, W - 58 - 85, 15);
    Place(count, units, W - 80, 7, 40, 10);
    Place(resultsLabel, units, W - 37, 7, 32, 10);
    Place(titles, units, 5, 25, W - 10, H - 50);
    Place(outputCsv, units, 5, H - 20, 55, 15);
    Place(viewHtml, units, 65, H - 20, 55, 15);
    Place(close, units, W - 60, H - 20, 55, 15);
}

} // namespace trawl::ui

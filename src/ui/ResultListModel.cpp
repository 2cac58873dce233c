#include "ui/ResultListModel.h"

#include "results/ResultRecord.h"
#include "results/ResultStore.h"
#include "ui/QtText.h"

namespace trawl::ui {

ResultListModel::ResultListModel(ResultStore& store, QObject* parent) : QAbstractTableModel(parent), m_store(store) {}

int ResultListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int ResultListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
    case DateColumn:
        return QStringLiteral("Date");
    case TitleColumn:
        return QStringLiteral("Title");
    case CityColumn:
        return QStringLiteral("City");
    case SectionColumn:
        return QStringLiteral("Section");
    case FullTextColumn:
        return QStringLiteral("Full Text");
    default:
        return {};
    }
}

int ResultListModel::RecordOfRow(int row) const
{
    if (row < 0 || row >= m_rows) {
        return 0;
    }
    const int added = m_rows - m_refilled;
    return row < added ? m_rows - row : row - added + 1;
}

int ResultListModel::RowOfRecord(int record) const
{
    if (record < 1 || record > m_rows) {
        return -1;
    }
    return record > m_refilled ? m_rows - record : (m_rows - m_refilled) + record - 1;
}

const ResultListModel::Fields& ResultListModel::FieldsOf(int record) const
{
    auto found = m_cache.find(record);
    if (found != m_cache.end()) {
        return found->second;
    }
    if (m_cache.size() >= kCacheRows) {
        m_cache.clear();
    }
    Fields fields;
    if (!m_frozen) {
        auto locked = m_store.Lock();
        if (record <= locked.Count()) {
            const RecordView view = locked.View(record);
            fields.text = {ToQString(view.Date), ToQString(view.Title), ToQString(view.City), ToQString(view.Section)};
        }
    }
    return m_cache.emplace(record, std::move(fields)).first->second;
}

QString ResultListModel::CellTextOfRow(int row) const
{
    const int record = RecordOfRow(row);
    if (record == 0) {
        return {};
    }
    FullTextCell& cell = const_cast<FullTextCell&>(m_cells[static_cast<std::size_t>(record - 1)]);
    if (cell == FullTextCell::FromStore && !m_frozen) {
        auto locked = m_store.Lock();
        cell = record <= locked.Count() ? CellOfText(StoredFullTextCell(locked.View(record).FullText))
                                        : FullTextCell::Empty;
    }
    return QString::fromLatin1(CellText(cell));
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows) {
        return {};
    }
    if (role == RecordRole) {
        return RecordOfRow(index.row());
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (index.column() == FullTextColumn) {
        return CellTextOfRow(index.row());
    }
    return FieldsOf(RecordOfRow(index.row())).text[static_cast<std::size_t>(index.column())];
}

void ResultListModel::Refill(int count)
{
    beginResetModel();
    m_rows = std::max(0, count);
    m_refilled = m_rows;
    m_cells.assign(static_cast<std::size_t>(m_rows), FullTextCell::FromStore);
    m_cells.shrink_to_fit();
    m_cache.clear();
    endResetModel();
}

void ResultListModel::AddRows(const std::vector<RowChange>& rows)
{
    // Records are appended in turn; one already shown (reported before a refill that covered it)
    // is passed over.
    std::vector<FullTextCell> fresh;
    int last = m_rows;
    for (const RowChange& row : rows) {
        if (row.record <= last) {
            continue;
        }
        while (last + 1 < row.record) {
            fresh.push_back(FullTextCell::FromStore);
            ++last;
        }
        fresh.push_back(row.cell);
        ++last;
    }
    if (fresh.empty()) {
        return;
    }
    const int count = static_cast<int>(fresh.size());
    beginInsertRows(QModelIndex(), 0, count - 1);
    m_cells.insert(m_cells.end(), fresh.begin(), fresh.end());
    m_rows += count;
    endInsertRows();
}

void ResultListModel::MarkCells(const std::vector<RowChange>& rows)
{
    int first = m_rows;
    int lastRow = -1;
    for (const RowChange& change : rows) {
        const int row = RowOfRecord(change.record);
        if (row < 0) {
            continue;
        }
        m_cells[static_cast<std::size_t>(change.record - 1)] = change.cell;
        // An expired ad's date changed with its text.
        m_cache.erase(change.record);
        first = std::min(first, row);
        lastRow = std::max(lastRow, row);
    }
    if (lastRow >= 0) {
        Q_EMIT dataChanged(index(first, 0), index(lastRow, ColumnCount - 1), {Qt::DisplayRole});
    }
}

void ResultListModel::SetFrozen(bool frozen)
{
    m_frozen = frozen;
}

std::size_t ResultListModel::MemoryBytes() const
{
    return m_cells.capacity() * sizeof(FullTextCell);
}

} // namespace trawl::ui

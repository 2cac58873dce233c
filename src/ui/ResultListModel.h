#pragma once

#include "ui/StatusSink.h"

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace trawl {
class ResultStore;
}

namespace trawl::ui {

// The result list as a model over the store: no item per record, one byte per row (its Full Text
// cell), so a million rows cost a megabyte. Rows are the store's records 1 to M in store order after
// a refill, with the records a search adds since then on top, newest first; a row's record number
// follows from its position. Fields are read from the store when a row is drawn, under its lock.
//
// While the store is being rebuilt off the GUI thread (load, sort, delete), the model is frozen:
// it keeps its rows and draws them from what it last read, and never touches the store.
class ResultListModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { DateColumn, TitleColumn, CityColumn, SectionColumn, FullTextColumn, ColumnCount };
    static constexpr int RecordRole = Qt::UserRole + 1;

    explicit ResultListModel(ResultStore& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The records 1 to `count` in store order. Each one's Full Text cell follows the rule for rows
    // filled from the store, worked out from its record when its row is first drawn rather than in a
    // pass over a million records. (A refill never happens while a worker runs; a deep scan started
    // afterwards marks the rows it stores a text for, and a row first drawn while its record is
    // being fetched shows that record's text of the moment.)
    void Refill(int count);
    void AddRows(const std::vector<RowChange>& rows);
    void MarkCells(const std::vector<RowChange>& rows);
    void SetFrozen(bool frozen);
    bool Frozen() const { return m_frozen; }

    int RecordOfRow(int row) const;
    int RowOfRecord(int record) const; // -1 when the record has no row
    QString CellTextOfRow(int row) const;

    // Bytes the model holds per row beyond the store (for measurements).
    std::size_t MemoryBytes() const;

private:
    struct Fields {
        std::array<QString, 4> text;
    };
    const Fields& FieldsOf(int record) const;

    ResultStore& m_store;
    int m_rows = 0;                    // rows shown
    int m_refilled = 0;                // rows that came from the last refill (the bottom ones)
    std::vector<FullTextCell> m_cells; // by record number - 1
    bool m_frozen = false;
    // The rows last drawn, so painting does not go to the store for every cell, and a frozen list can
    // still be drawn. Dropped when it grows past kCacheRows and at every refill.
    static constexpr std::size_t kCacheRows = 2048;
    mutable std::unordered_map<int, Fields> m_cache;
};

} // namespace trawl::ui

#pragma once

#include "results/OutputScope.h"
#include "ui/DialogUnits.h"
#include "ui/FilterRunner.h"

#include <QAbstractListModel>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace trawl {
class Prompts;
class ResultStore;
class Shell;
} // namespace trawl

namespace trawl::ui {

// The titles of the matching records, last record first; a title is read from the store when its
// row is drawn.
class MatchListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    static constexpr int RecordRole = Qt::UserRole + 1;

    explicit MatchListModel(ResultStore& store, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // Returns the records shown before.
    std::vector<int> SetRecords(std::vector<int> records);
    int RecordOfRow(int row) const;

private:
    ResultStore& m_store;
    std::vector<int> m_records;
    mutable std::unordered_map<int, QString> m_titles; // rows drawn lately
};

// "Search inside search results": a filter box whose matches are listed and counted as the user
// types, and the two outputs of exactly those records.
class QuickFilterDialog final : public QDialog {
    Q_OBJECT

public:
    // Writes an output of scope Filtered with the filter text as typed (the window's file dialogs).
    using OutputWriter = std::function<void(OutputKind kind, const std::string& filterText)>;

    QuickFilterDialog(ResultStore& store, Prompts& prompts, Shell& shell, bool confirmSpawn, OutputWriter writeOutput,
                      QWidget* owner);

    // Answers the filter box's text now: what typing does (without waiting for the result).
    void FilterChanged(const QString& text);
    int Shown() const { return m_shown; }        // matches on display
    long Answered() const { return m_answered; } // the request the list shows
    FilterRunner& runner() { return m_runner; }

    QLabel filterLabel;
    QLineEdit filter;
    QLabel count;
    QLabel resultsLabel;
    // A one-column table: a list view lays out every row again at each answer (a million of them).
    QTableView titles;
    QPushButton outputCsv;
    QPushButton viewHtml;
    QPushButton close;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowResult(long request, QuickFilterResult& result);
    void ViewSelected();
    void Lay();

    ResultStore& m_store;
    Prompts& m_prompts;
    Shell& m_shell;
    bool m_confirmSpawn;
    OutputWriter m_writeOutput;
    // The filter the list answers. Opening applies the empty one, so typing the filter of an earlier
    // opening is applied again rather than taken for the one on display.
    std::string m_lastApplied;
    DialogUnits m_units;
    MatchListModel m_model;
    FilterRunner m_runner;
    int m_shown = 0;
    long m_answered = 0;
};

} // namespace trawl::ui

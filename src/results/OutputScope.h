#pragma once

#include "app/Prompts.h"
#include "results/QuickFilter.h"
#include "results/ResultRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trawl {

class ResultStore;

// Which records an output (CSV or HTML) holds.
enum class OutputScope {
    All = 1,      // every record
    New = 2,      // NewMark not empty (added by a search during this run)
    Selected = 3, // ResultSelection flag set (rows selected in the result list)
    Filtered = 4, // Title followed by FullText passes FilterText
};

enum class OutputKind { Csv, Html };

inline constexpr const char* kAbortedCaption = "Aborted";
inline constexpr const char* kSelectScopeCaption = "Select Scope";
// Shown when the CSV save dialog gives no name, and when the scope question is cancelled.
inline constexpr const char* kCsvSaveCancelledMessage = "Save cancelled. CSV file has NOT been saved.";
inline constexpr const char* kNoRecordsToSaveMessage =
    "There are no records to save. I can not count your chickens before they've hatched.";
inline constexpr const char* kNoRecordsToViewMessage =
    "There are no records to view. I can not count your chickens before they've hatched.";

// "Would you like to output only the 1,234 new records? (If not, ...)" for CSV, "... view only ..." for HTML.
std::string ScopeQuestionText(OutputKind kind, std::int64_t newCount);

// The scope choice of the Output CSV and View HTML commands, shared by the window and batch mode.
// `selectedRecords` are the record numbers of the selected rows, from the first selected row on.
// More than one: scope Selected, with the store's selection flags cleared and then set for exactly
// those records. Otherwise the records are counted new and old: none at all is refused (the
// "chickens" message); both kinds present asks which (Yes: New, No: All, Cancel: nothing, with the
// cancel message for CSV only); one kind only gives All. nullopt: the output is not to be written.
// The window's thread only (it writes the selection flags).
std::optional<OutputScope> ChooseOutputScope(ResultStore& store, const std::vector<int>& selectedRecords,
                                             OutputKind kind, Prompts& prompts);

// Whether a record belongs to a scope. Built once per output: the filter is compiled here.
// `selection` is the store's flag table (index record - 1); only read for scope Selected.
class ScopeTest {
public:
    ScopeTest(OutputScope scope, const std::vector<unsigned char>& selection, std::string_view filterText);
    bool Includes(int record, const RecordView& view) const;

private:
    OutputScope m_scope;
    const std::vector<unsigned char>& m_selection;
    CompiledFilter m_filter;
};

} // namespace trawl

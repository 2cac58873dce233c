#include "results/OutputScope.h"

#include "app/TextUtil.h"
#include "results/ResultStore.h"

#include <algorithm>

namespace trawl {

std::string ScopeQuestionText(OutputKind kind, std::int64_t newCount)
{
    const std::string records = GroupDigits(newCount) + " new record" + (newCount > 1 ? "s" : "");
    if (kind == OutputKind::Csv) {
        return "Would you like to output only the " + records +
               "? (If not, everything will be included in the CSV file).";
    }
    return "Would you like to view only the " + records + "? (If not, everything will be included in the file).";
}

std::optional<OutputScope> ChooseOutputScope(ResultStore& store, const std::vector<int>& selectedRecords,
                                             OutputKind kind, Prompts& prompts)
{
    if (selectedRecords.size() > 1) {
        std::vector<unsigned char>& selection = store.Selection();
        std::fill(selection.begin(), selection.end(), 0);
        const int count = store.Count();
        for (int record : selectedRecords) {
            // A stale row number (the store changed under the list) marks nothing: neither outside
            // the table nor a slot that a later result would fill.
            if (record >= 1 && record <= count && static_cast<std::size_t>(record) <= selection.size()) {
                selection[static_cast<std::size_t>(record - 1)] = 1;
            }
        }
        return OutputScope::Selected;
    }

    std::int64_t newCount = 0;
    std::int64_t oldCount = 0;
    store.ForEach([&](int, const RecordView& view) { ++(view.NewMark.empty() ? oldCount : newCount); });

    if (newCount == 0 && oldCount == 0) {
        prompts.Show(PromptKind::Error, kAbortedCaption,
                     kind == OutputKind::Csv ? kNoRecordsToSaveMessage : kNoRecordsToViewMessage);
        return std::nullopt;
    }
    if (newCount == 0 || oldCount == 0) {
        return OutputScope::All;
    }
    switch (prompts.Show(PromptKind::ThreeWay, kSelectScopeCaption, ScopeQuestionText(kind, newCount))) {
    case PromptAnswer::Yes:
        return OutputScope::New;
    case PromptAnswer::No:
        return OutputScope::All;
    default:
        break;
    }
    if (kind == OutputKind::Csv) {
        prompts.Show(PromptKind::Error, kAbortedCaption, kCsvSaveCancelledMessage);
    }
    return std::nullopt;
}

ScopeTest::ScopeTest(OutputScope scope, const std::vector<unsigned char>& selection, std::string_view filterText)
    : m_scope(scope), m_selection(selection), m_filter(scope == OutputScope::Filtered ? filterText : std::string_view())
{
}

bool ScopeTest::Includes(int record, const RecordView& view) const
{
    switch (m_scope) {
    case OutputScope::All:
        return true;
    case OutputScope::New:
        return !view.NewMark.empty();
    case OutputScope::Selected:
        return record >= 1 && static_cast<std::size_t>(record) <= m_selection.size() &&
               m_selection[static_cast<std::size_t>(record - 1)] != 0;
    case OutputScope::Filtered:
        return m_filter.Matches(view.Title, view.FullText);
    }
    return false;
}

} // namespace trawl

#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace trawl {

class ResultStore;

// The filter language: terms separated by commas (or by spaces outside double quotes), all of which
// must occur; a term with a leading "-" must not occur. Plain substring tests, case-insensitive.

// Double quotes dropped; a space inside quotes stays a space, outside it becomes a comma. Keeps a
// one-entry cache of its last input and output (safe to call from any thread).
std::string NormaliseFilter(std::string_view filter);

// Whether `text` passes `filter` (the filter is normalised and lower-cased here).
bool MatchesFilter(std::string_view text, std::string_view filter);

// A filter prepared once for many texts: normalised, lower-cased and cut into terms.
class CompiledFilter {
public:
    explicit CompiledFilter(std::string_view filter);
    // `title` followed directly by `fullText` is the text tested, so a term may span the two.
    bool Matches(std::string_view title, std::string_view fullText) const;
    bool MatchesAll() const { return m_terms.empty(); }

private:
    struct Term {
        std::string text; // lower case
        bool excluded;
    };
    std::vector<Term> m_terms;
};

struct QuickFilterResult {
    std::vector<int> records; // in the order the dialog lists them: last record first
    int count = 0;
};

// Every record whose Title followed by FullText passes `filter`.
QuickFilterResult ApplyQuickFilter(ResultStore& store, std::string_view filter);

} // namespace trawl

#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace trawl {

class GramIndex;
class ResultStore;

// The filter language: terms separated by commas (or by spaces outside double quotes), all of which
// must occur; a term with a leading "-" must not occur. Plain substring tests, case-insensitive.

// Double quotes dropped; a space inside quotes stays a space, outside it becomes a comma. Keeps a
// one-entry cache of its last input and output (safe to call from any thread).
std::string NormaliseFilter(std::string_view filter);

// Whether `needle` (already lower case) occurs in `haystack`, ASCII case ignored.
bool ContainsFolded(std::string_view haystack, std::string_view needle);

// Whether `text` passes `filter` (the filter is normalised and lower-cased here).
bool MatchesFilter(std::string_view text, std::string_view filter);

// A filter prepared once for many texts: normalised, lower-cased and cut into terms.
class CompiledFilter {
public:
    explicit CompiledFilter(std::string_view filter);
    // `title` followed directly by `fullText` is the text tested, so a term may span the two.
    bool Matches(std::string_view title, std::string_view fullText) const;
    bool MatchesAll() const { return m_terms.empty(); }
    // True when every text that passes this filter also passes `wider`: each term `wider` requires
    // is inside a term this one requires, and each term `wider` rules out contains one this one
    // rules out. (Typing on at the end of a term, or adding a term, gives such a filter.)
    bool Narrows(const CompiledFilter& wider) const;
    // This filter without the terms `passed` also has (same text, same sign): what is left to test
    // on a text already known to pass `passed`.
    CompiledFilter Remaining(const CompiledFilter& passed) const;

    struct Term {
        std::string text; // lower case
        bool excluded;
        bool operator==(const Term&) const = default;
    };
    // Longest first: every term must hold, so the order changes no answer.
    const std::vector<Term>& Terms() const { return m_terms; }

private:
    CompiledFilter() = default;
    std::vector<Term> m_terms;
};

struct QuickFilterResult {
    std::vector<int> records; // in the order the dialog lists them: last record first
    int count = 0;
    bool cancelled = false; // given up on the way: records and count mean nothing
};

// How a filter run goes: on how many threads (each takes a share of the records, reading the store
// under its shared lock), a flag that, once raised, ends the run early as cancelled, and an index of
// the records' texts to look terms up in first (used for the records it holds while it is current).
struct QuickFilterRun {
    int threads = 1;
    const std::atomic<int>* cancel = nullptr;
    const GramIndex* index = nullptr;
    // Storage for the answer's records, taken when given: a vector whose pages are present already
    // (at a million results a fresh one costs more in page faults than the filtering).
    std::vector<int>* room = nullptr;
};

// Every record whose Title followed by FullText passes `filter`.
QuickFilterResult ApplyQuickFilter(ResultStore& store, std::string_view filter);

// The last answer of ApplyQuickFilter for one store, so that the next keystroke, when it narrows the
// filter and no record has changed meanwhile (ResultStore generation), tests only the records that
// passed before and those added since. The answer is always that of the plain call.
class QuickFilterMemo {
public:
    void Forget() { m_valid = false; }

private:
    friend QuickFilterResult ApplyQuickFilter(ResultStore& store, std::string_view filter, QuickFilterMemo& memo,
                                              const QuickFilterRun& run);
    bool m_valid = false;
    const ResultStore* m_store = nullptr;
    std::uint64_t m_generation = 0;
    int m_tested = 0; // records 1..m_tested were tested
    CompiledFilter m_filter{""};
    std::vector<int> m_matches; // ascending
    // Room the next answer is built in, kept from one keystroke to the next (see QuickFilterRun::room).
    std::vector<int> m_spare;
    std::vector<std::vector<int>> m_found; // per share
};

QuickFilterResult ApplyQuickFilter(ResultStore& store, std::string_view filter, QuickFilterMemo& memo);
// The same with threads and a cancel flag; a cancelled run leaves the memo as it was.
QuickFilterResult ApplyQuickFilter(ResultStore& store, std::string_view filter, QuickFilterMemo& memo,
                                   const QuickFilterRun& run);

} // namespace trawl

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
// Where `needle` first starts in `haystack` at or after `from`, ASCII case ignored; npos if nowhere.
std::size_t FindFolded(std::string_view haystack, std::string_view needle, std::size_t from = 0);

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
    // The term written last in the filter (the one being typed), or null when there is none.
    const Term* Newest() const { return m_newest < m_terms.size() ? &m_terms[m_newest] : nullptr; }

private:
    CompiledFilter() = default;
    std::vector<Term> m_terms;
    std::size_t m_newest = static_cast<std::size_t>(-1);
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
    // Whether PrepareForNextKey has work to do for the last answer.
    bool Unprepared() const;

private:
    friend QuickFilterResult ApplyQuickFilter(ResultStore& store, std::string_view filter, QuickFilterMemo& memo,
                                              const QuickFilterRun& run);
    friend bool PrepareForNextKey(ResultStore& store, QuickFilterMemo& memo, const QuickFilterRun& run);
    bool m_valid = false;
    const ResultStore* m_store = nullptr;
    std::uint64_t m_generation = 0;
    int m_tested = 0; // records 1..m_tested were tested
    CompiledFilter m_filter{""};
    std::vector<int> m_matches; // ascending
    // For the answer's newest term (when it must occur), in each match: where no occurrence starts
    // earlier, an offset into Title followed by FullText (~0: not known), and the classes of the
    // bytes that follow its occurrences (GramIndex::Class bits, with the top bit once known). Typing
    // on at the end of that term starts the search there, or for one more letter or digit needs no
    // search. Each vector is parallel to m_matches, or empty when nothing is known.
    std::string m_placedTerm; // "" when none
    std::vector<std::uint32_t> m_placedAt;
    std::vector<std::uint64_t> m_followers;
    bool m_prepared = false; // PrepareForNextKey found the rest
    // Room the next answer is built in, kept from one keystroke to the next (see QuickFilterRun::room).
    std::vector<int> m_spare;
    std::vector<std::uint32_t> m_sparePlaces;
    std::vector<std::vector<int>> m_found; // per share
    std::vector<std::vector<std::uint32_t>> m_foundPlaces;
};

QuickFilterResult ApplyQuickFilter(ResultStore& store, std::string_view filter, QuickFilterMemo& memo);
// The same with threads and a cancel flag; a cancelled run leaves the memo as it was.
QuickFilterResult ApplyQuickFilter(ResultStore& store, std::string_view filter, QuickFilterMemo& memo,
                                   const QuickFilterRun& run);

// Work for the pause after an answer: reads the matches for the answer's newest term, noting where
// it first occurs and which bytes follow it, so that the next key, typing on at the end of that term,
// is answered for one more letter or digit without reading a text, and otherwise reads from there.
// A raised cancel ends it early, keeping what was found; true when nothing is left to do.
bool PrepareForNextKey(ResultStore& store, QuickFilterMemo& memo, const QuickFilterRun& run);

} // namespace trawl

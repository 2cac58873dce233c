#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

namespace trawl {

class ResultStore;

// Which letters, digits and pairs of neighbouring bytes occur in each record's Title followed by its
// FullText, case ignored: one bit per record for each of them. A filter term is looked up here before
// any text is read: a record without one of the term's pairs cannot hold the term, and for a term of
// one or two letters or digits the bits are the answer itself. Everything that is not an ASCII letter
// or digit counts as one "other" byte, so terms with such bytes get candidates, never an answer.
//
// The index grows in rows of 64 records from record 1 (Extend), so it can be built a step at a time
// between keystrokes and follow records appended later; records after the last whole row are not in
// it. Any other change to the store (its generation) makes it stale: it is emptied at the next Extend.
// One thread uses an index at a time; Extend shares its work among threads of its own.
class GramIndex {
public:
    static constexpr int kClasses = 37; // "other", a-z, 0-9
    static constexpr int kGrams = kClasses + kClasses * kClasses;
    static constexpr int kRowRecords = 64;

    GramIndex() = default;
    ~GramIndex();
    GramIndex(const GramIndex&) = delete;
    GramIndex& operator=(const GramIndex&) = delete;

    // Records 1..Records() are indexed, as they were at Generation().
    int Records() const { return m_rows * kRowRecords; }
    std::uint64_t Generation() const { return m_generation; }
    std::size_t MemoryBytes() const { return m_mappedBytes; }

    enum class Step { Grown, Whole, Cancelled, Stale };
    // Indexes up to `maxRows` more rows of the store's records on `threads` threads, under the store's
    // shared lock. Whole when nothing was left to index; Cancelled when `cancel` was raised, Stale when
    // the store changed on the way (either way the rows of this step are dropped).
    Step Extend(ResultStore& store, int maxRows, int threads, const std::atomic<int>* cancel);

    // The records 1..Records() that may hold `term` (lower case, not empty), one bit each: record n is
    // bit (n - 1) % 64 of word (n - 1) / 64. True when they are exactly those that hold it.
    bool Candidates(std::string_view term, std::vector<std::uint64_t>& words) const;

    // The class a byte counts as: 0 for anything but an ASCII letter or digit, 1-26 for a-z (either
    // case), 27-36 for 0-9.
    static int Class(char c);

private:
    // Room for `wantedRows` rows (all the store holds), pages present for the first `neededRows`.
    bool Reserve(int wantedRows, int neededRows);
    // The words of one row: gram g of row r is m_bits[r * kGrams + g].
    const std::uint64_t* Row(int row) const { return m_bits + static_cast<std::size_t>(row) * kGrams; }

    std::uint64_t* m_bits = nullptr;
    std::size_t m_mappedBytes = 0;
    int m_rows = 0;
    std::uint64_t m_generation = 0;
};

} // namespace trawl

#pragma once

#include <functional>
#include <string_view>

namespace trawl {

// The records a deep scan still takes, by kind: an empty full text, or a feed text (one holding the
// "<!--RSS-->" mark).
enum class ScanKind { EmptyText = 0, FeedText = 1 };

// Whether a full text is of that kind.
bool IsOfScanKind(std::string_view fullText, ScanKind kind);

// Finds the first record (lowest number) of each kind without reading the store from record 1 every
// time. Each kind keeps a cursor: every record before it is known not to be of that kind. A search
// only moves the cursor forward, past records that are not of the kind; a record whose full text
// becomes of the kind pulls the cursor back to it; removing, reordering or replacing records puts it
// back to 1. A deep scan of n records so costs O(n) record checks in all, not O(n) per claim.
// Not thread-safe: the store calls it under its lock.
class ScanCursors {
public:
    using FullTextOf = std::function<std::string_view(int record)>;

    // Records were removed, reordered or replaced.
    void Reset() { m_from[0] = m_from[1] = 1; }
    // Record `record`'s full text is now `fullText`.
    void Changed(int record, std::string_view fullText);
    // The first record in 1..count of that kind; 0 when none.
    int First(ScanKind kind, int count, const FullTextOf& fullTextOf);

private:
    int m_from[2] = {1, 1};
};

} // namespace trawl

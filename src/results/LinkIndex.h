#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace trawl {

// Answers "which is the first record whose link contains this text?" without reading every link.
//
// Each stored link contributes the 8-byte pieces ("grams") that start at every 8th byte. If a stored
// link S contains the text T, the grams of S that fall inside the occurrence are also pieces of T,
// at offsets of T that share one remainder modulo 8 (which one depends on where T sits in S). So for
// each of the 8 remainders we look up the rarest gram of T with that remainder; the union of those
// posting lists holds every record that can contain T. Candidates are then checked with a real
// substring search, in record order, so the answer is exactly that of a plain scan. Texts too
// short to have a gram at every remainder fall back to the plain scan.
//
// Grams are hashed into buckets; a collision only adds candidates, never loses one. Entries are
// never removed: a record whose link changed keeps stale entries that the check rejects. Bulk
// renumbering rewrites the record numbers in place (Renumber) rather than hashing every link again.
class LinkIndex {
public:
    using LinkOf = std::function<std::string_view(int record)>;

    static constexpr std::size_t kGram = 8;
    static constexpr std::size_t kStride = 8;

    void Reset(int capacity);
    void Add(int record, std::string_view link);
    // The same as Add for a run of links (a file being loaded): the link's buckets are looked up now
    // and its entries written a few links later, so the memory loads of many links overlap. Every
    // other call takes the waiting entries in first.
    void AddSoon(int record, std::string_view link);
    void Flush();
    // First record in 1..count whose link (from linkOf) contains `text`; 0 when none.
    int FindFirst(std::string_view text, int count, const LinkOf& linkOf);
    // Records move: `newNumber[old]` is the new number of record `old` (0 for a removed record, whose
    // entries then never match). Numbers outside the table become 0 too.
    void Renumber(const std::vector<int>& newNumber);

    std::size_t MemoryBytes() const;

private:
    struct Entry {
        std::uint32_t record;
        std::uint32_t next; // index + 1 of the next entry in the bucket's chain; 0 ends it
    };
    std::size_t BucketOf(const char* gram) const;
    // Entries live in fixed-size chunks, so growing never copies them and never leaves a doubled
    // array half empty (at a million links that slack alone would be over 60 bytes a record).
    static constexpr unsigned kChunkBits = 16;
    static constexpr std::size_t kChunkSize = std::size_t{1} << kChunkBits;
    Entry& EntryAt(std::uint32_t index) { return m_chunks[index >> kChunkBits][index & (kChunkSize - 1)]; }
    const Entry& EntryAt(std::uint32_t index) const
    {
        return m_chunks[index >> kChunkBits][index & (kChunkSize - 1)];
    }

    // A bucket's chain head and length side by side: adding a gram touches one cache line, not two.
    struct Bucket {
        std::uint32_t head = 0;  // index + 1 of the newest entry
        std::uint32_t count = 0; // number of entries
    };
    std::vector<Bucket> m_buckets;

    // Grams looked up but not yet entered, oldest first.
    struct Waiting {
        std::uint32_t record;
        std::uint32_t bucket;
    };
    static constexpr std::size_t kWaitingSlots = 256; // a power of two
    static constexpr std::size_t kLookahead = 96;     // grams asked for ahead of the one entered
    void EnterOldest();
    void Enter(std::uint32_t record, std::size_t bucket);
    Waiting m_waiting[kWaitingSlots];
    std::size_t m_waitingHead = 0;
    std::size_t m_waitingTail = 0;
    std::vector<std::unique_ptr<Entry[]>> m_chunks;
    std::uint32_t m_entryCount = 0;
    bool m_full = false;
    unsigned m_shift = 64;
};

} // namespace trawl

#pragma once

#include "results/LinkIndex.h"
#include "results/RecordArena.h"
#include "results/ResultRecord.h"
#include "results/ScanCursors.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace trawl {

class Prompts;
class StatusView;

enum class AddOutcome { Added, Duplicate, Full };

// "The results list has overflowed (25,000 elements). Please increase max results in the settings."
std::string OverflowMessage(int count);

// The one table of results the whole program shares. Records are numbered from 1 and kept
// contiguous (1 to Count()); capacity is MaxResults at allocation.
//
// Threads: search workers append, deep-scan workers rewrite FullText, Date and URI of existing
// records, the window reads. Every field access and every change goes through Locked, which holds
// ResultsLock; Count() alone may be read without it (it is published after the record is complete).
// Records are held one block per record behind a table that never moves, so a record number stays
// valid while others append; only the bulk operations (clear, load, sort, delete), which the
// program refuses while a worker runs, renumber records.
class ResultStore {
public:
    // How many threads may pack records of one load at once (see PackLoaded).
    static constexpr int kLoadLanes = 4;
    // A record packed by a load lane, not yet in the store: its memory and its link.
    struct PackedRecord {
        char* block = nullptr;
        std::string_view link;
    };

    ResultStore(int capacity, StatusView& view, Prompts& prompts);
    ~ResultStore();
    ResultStore(const ResultStore&) = delete;
    ResultStore& operator=(const ResultStore&) = delete;

    int Capacity() const { return m_capacity.load(std::memory_order_acquire); }
    int Count() const { return m_count.load(std::memory_order_acquire); }
    std::int64_t NewResultCount() const { return m_newResultCount.load(); }
    bool UnsavedResults() const { return m_unsaved.load() != 0; }
    void SetUnsavedResults(bool unsaved) { m_unsaved.store(unsaved ? 1 : 0); }

    // ResultsLock held for the guard's lifetime.
    class Locked {
    public:
        int Count() const { return m_store->Count(); }
        int Capacity() const { return m_store->Capacity(); }

        // The first record (lowest number) whose URI contains `link` byte for byte; 0 when none.
        int FindResultByLink(std::string_view link) const;
        // Appends a record added by a search (NewMark "Yes"), counts it, tells the view (counters,
        // a row at the top) and marks the results unsaved. Full: nothing changes; the caller shows
        // OverflowMessage once the lock is released.
        AddOutcome AddResult(const ResultRecord& fields);

        // Changes whenever a stored record changes or records are renumbered or dropped; appending
        // leaves it as it is. Lets a reader tell that what it learned about records 1..n still holds.
        std::uint64_t Generation() const { return m_store->m_generation; }
        // Bytes held by the duplicate-test index (for measurements).
        std::size_t IndexBytes() const { return m_store->m_index.MemoryBytes(); }
        // Memory of the records loaded from a file, which live in the arena rather than on the heap.
        std::size_t ArenaBytes() const
        {
            std::size_t bytes = 0;
            for (const RecordArena& arena : m_store->m_arenas) {
                bytes += arena.PresentBytes();
            }
            return bytes;
        }

        RecordView View(int record) const;
        // A hint that `record` will be read soon (records lie scattered; a scan asks a few ahead).
        void Prefetch(int record) const
        {
            if (record >= 1 && record <= Count()) {
                __builtin_prefetch(m_store->Slot(record));
            }
        }
        std::string_view Get(int record, Field field) const { return View(record).Get(field); }
        // Rewrites one field; the link index follows a changed URI.
        void Set(int record, Field field, std::string_view value);
        // The first record (lowest number) whose full text is of `kind`, 0 when none: what a deep
        // scan takes next. Amortised O(1) over a scan (see ScanCursors).
        int FirstToScan(ScanKind kind);

        // --- Bulk operations: only while no worker runs. ---
        // Removes every record (capacity unchanged) and sets NewResultCount to 0, before a load. The
        // memory of loaded records is kept for the records that follow until FinishLoad.
        void ResetForLoad();
        // Appends a record read from a search file (NewMark as given); false when the store is full.
        bool AppendLoaded(const ResultRecord& record);
        // After the last AppendLoaded: memory of the replaced records that the new ones did not need
        // is given back.
        void FinishLoad();

        // --- A load on several threads (between ResetForLoad and FinishLoad) ---
        // Packs a record read from a file in lane `lane` (0 to kLoadLanes - 1) without adding it.
        // While this guard is held, each lane may be used by one other thread, which touches nothing
        // else of the store; the records are then appended in file order by AppendPacked.
        PackedRecord PackLoaded(int lane, const ResultRecord& record);
        // Appends a packed record as AppendLoaded does; false, and nothing changed, when full.
        bool AppendPacked(const PackedRecord& packed);
        // Gives back a packed record that was not appended, once no lane is in use any more.
        void DiscardPacked(const PackedRecord& packed);
        // Discards every record and allocates `capacity` slots (ClearResults). NewResultCount,
        // UnsavedResults and the selection flags keep their values.
        void Clear(int capacity);
        // Puts the records in a new order: order[k] is the old number of the record that becomes
        // number k + 1. `order` must be a permutation of 1..Count().
        void Reorder(const std::vector<int>& order);
        // Removes exactly these records and closes the gaps, keeping the order of the rest.
        void Remove(const std::vector<int>& records);

    private:
        friend class ResultStore;
        explicit Locked(ResultStore& store) : m_store(&store), m_lock(store.m_mutex) {}
        ResultStore* m_store;
        std::unique_lock<std::shared_mutex> m_lock;
    };

    Locked Lock() { return Locked(*this); }

    // ResultsLock held for reading only: several readers (a filter on both cores) at once, while
    // every change waits for them, and they for it.
    class ReadLocked {
    public:
        int Count() const { return m_store->Count(); }
        std::uint64_t Generation() const { return m_store->m_generation; }
        RecordView View(int record) const { return Unpack(m_store->Slot(record)); }
        // As Locked::Prefetch: the record's header and first bytes, for a reader a few records behind.
        void Prefetch(int record) const
        {
            if (record >= 1 && record <= Count()) {
                const char* block = m_store->Slot(record);
                for (int line = 0; line < 4; ++line) {
                    __builtin_prefetch(block + 64 * line);
                }
            }
        }
        // The second stage, a few records later, once the header is in: the record's Title to the
        // end of its FullText (its first 2 KB), which a search that finds nothing reads whole.
        void PrefetchText(int record) const
        {
            if (record >= 1 && record <= Count()) {
                const RecordView view = View(record);
                const char* end = view.FullText.data() + std::min<std::size_t>(view.FullText.size(), 2048);
                for (const char* line = view.Title.data(); line < end; line += 64) {
                    __builtin_prefetch(line);
                }
            }
        }

    private:
        friend class ResultStore;
        explicit ReadLocked(const ResultStore& store) : m_store(&store), m_lock(store.m_mutex) {}
        const ResultStore* m_store;
        std::shared_lock<std::shared_mutex> m_lock;
    };

    ReadLocked ReadLock() const { return ReadLocked(*this); }

    // The record rule's duplicate test and add as one step under the lock, as a search worker
    // needs it; on Full the overflow message is shown after the lock is released.
    AddOutcome AddIfNew(std::string_view linkToTest, const ResultRecord& fields);
    void ShowOverflowMessage();
    // How many times the overflow message has been shown: a front end that asks nothing (batch)
    // learns from it that a run did not keep everything it found.
    int Overflows() const { return m_overflows.load(); }

    // Calls fn(recordNumber, view) for records 1..Count() in store order. The lock is taken for
    // batches of records and released between them, so workers are never held up for long.
    template <typename Fn> void ForEach(Fn&& fn)
    {
        const int total = Count();
        for (int first = 1; first <= total; first += kBatch) {
            auto locked = Lock();
            const int last = std::min(total, first + kBatch - 1);
            for (int n = first; n <= last; ++n) {
                fn(n, locked.View(n));
            }
        }
    }

    // One flag per record slot (output scope 3); the window's thread only.
    std::vector<unsigned char>& Selection() { return m_selection; }

    StatusView& view() { return m_view; }
    Prompts& prompts() { return m_prompts; }

private:
    static constexpr int kBatch = 4096;
    using Block = char*; // one record: field lengths, the new mark, then the field bytes

    // Blocks of loaded records come from the arena (one allocation for thousands of records); the
    // others are allocated one by one, as they come and go one by one.
    // `arena`: the arena to take the block from, -1 for an allocation of its own.
    Block Pack(const ResultRecord& record, bool isNew, int arena = -1);
    Block PackView(const RecordView& view, int arena = -1);
    static RecordView Unpack(Block block);
    void Free(Block block);
    Block& Slot(int record) { return m_blocks[static_cast<std::size_t>(record - 1)]; }
    Block Slot(int record) const { return m_blocks[static_cast<std::size_t>(record - 1)]; }
    void Allocate(int capacity);
    void FreeAll(bool keepArenaMemory = false);

    mutable std::shared_mutex m_mutex;
    StatusView& m_view;
    Prompts& m_prompts;
    std::atomic<int> m_capacity{0};
    std::atomic<int> m_count{0};
    std::atomic<std::int64_t> m_newResultCount{0};
    std::atomic<int> m_unsaved{0};
    std::atomic<int> m_overflows{0};
    std::vector<Block> m_blocks; // sized to capacity at allocation, never grown afterwards
    LinkIndex m_index;
    // Arena 0 for loads on one thread; a load on several takes one arena per thread (lane).
    std::array<RecordArena, kLoadLanes> m_arenas;
    std::atomic<std::size_t> m_ownBlocks{0}; // blocks allocated one by one rather than in an arena
    std::uint64_t m_generation = 0;          // under the lock; see Locked::Generation
    ScanCursors m_scanCursors;               // under the lock
    std::vector<unsigned char> m_selection;
};

} // namespace trawl

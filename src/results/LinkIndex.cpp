#include "results/LinkIndex.h"

#include <algorithm>
#include <cstring>

namespace trawl {

namespace {

bool Contains(std::string_view haystack, std::string_view needle)
{
    if (needle.empty()) {
        return true;
    }
    if (needle.size() > haystack.size()) {
        return false;
    }
    return ::memmem(haystack.data(), haystack.size(), needle.data(), needle.size()) != nullptr;
}

} // namespace

void LinkIndex::Reset(int capacity)
{
    // About two buckets per record, at least 4096: chains stay short for the unique parts of links.
    std::size_t buckets = 4096;
    unsigned bits = 12;
    while (buckets < static_cast<std::size_t>(capacity) * 2 && bits < 24) {
        buckets <<= 1;
        ++bits;
    }
    m_shift = 64 - bits;
    m_buckets.assign(buckets, Bucket{});
    m_chunks.clear();
    m_chunks.shrink_to_fit();
    m_entryCount = 0;
    m_full = false;
    m_waitingHead = m_waitingTail = 0;
}

std::size_t LinkIndex::BucketOf(const char* gram) const
{
    std::uint64_t value;
    std::memcpy(&value, gram, sizeof value);
    return static_cast<std::size_t>((value * 0x9E3779B97F4A7C15ull) >> m_shift);
}

void LinkIndex::Add(int record, std::string_view link)
{
    Flush();
    // A link's buckets are all asked for before any is written, so their loads overlap.
    constexpr std::size_t kBatch = 16;
    std::size_t buckets[kBatch];
    for (std::size_t first = 0; first + kGram <= link.size() && !m_buckets.empty(); first += kBatch * kStride) {
        std::size_t n = 0;
        for (std::size_t at = first; n < kBatch && at + kGram <= link.size(); at += kStride) {
            buckets[n] = BucketOf(link.data() + at);
            __builtin_prefetch(&m_buckets[buckets[n]], 1);
            ++n;
        }
        for (std::size_t k = 0; k < n; ++k) {
            Enter(static_cast<std::uint32_t>(record), buckets[k]);
        }
    }
}

void LinkIndex::AddSoon(int record, std::string_view link)
{
    if (m_buckets.empty()) {
        return;
    }
    // The buckets lie far apart in a table much larger than the cache: each is asked for here and
    // written only once kLookahead later grams have been asked for too.
    for (std::size_t at = 0; at + kGram <= link.size(); at += kStride) {
        if (m_waitingTail - m_waitingHead == kWaitingSlots) {
            EnterOldest();
        }
        const std::size_t bucket = BucketOf(link.data() + at);
        __builtin_prefetch(&m_buckets[bucket], 1);
        m_waiting[m_waitingTail++ % kWaitingSlots] = {static_cast<std::uint32_t>(record),
                                                      static_cast<std::uint32_t>(bucket)};
        if (m_waitingTail - m_waitingHead > kLookahead) {
            EnterOldest();
        }
    }
}

void LinkIndex::Flush()
{
    while (m_waitingHead != m_waitingTail) {
        EnterOldest();
    }
}

void LinkIndex::EnterOldest()
{
    const Waiting waiting = m_waiting[m_waitingHead++ % kWaitingSlots];
    Enter(waiting.record, waiting.bucket);
}

void LinkIndex::Enter(std::uint32_t record, std::size_t bucketNumber)
{
    if (m_full) {
        return;
    }
    if (m_entryCount == UINT32_MAX - 1) {
        m_full = true; // entry numbers would wrap: from now on every search reads every link
        return;
    }
    if ((m_entryCount & (kChunkSize - 1)) == 0 && (m_entryCount >> kChunkBits) == m_chunks.size()) {
        m_chunks.push_back(std::make_unique<Entry[]>(kChunkSize));
    }
    Bucket& bucket = m_buckets[bucketNumber];
    EntryAt(m_entryCount) = Entry{record, bucket.head};
    ++m_entryCount;
    bucket.head = m_entryCount;
    ++bucket.count;
}

int LinkIndex::FindFirst(std::string_view text, int count, const LinkOf& linkOf)
{
    Flush();
    if (count <= 0) {
        return 0;
    }
    if (m_buckets.empty() || m_full || text.size() < kGram + kStride - 1) {
        for (int record = 1; record <= count; ++record) {
            if (Contains(linkOf(record), text)) {
                return record;
            }
        }
        return 0;
    }

    // The rarest bucket for each remainder.
    std::size_t chosen[kStride];
    for (std::size_t remainder = 0; remainder < kStride; ++remainder) {
        std::size_t best = 0;
        std::uint32_t bestCount = UINT32_MAX;
        for (std::size_t at = remainder; at + kGram <= text.size(); at += kStride) {
            const std::size_t bucket = BucketOf(text.data() + at);
            if (m_buckets[bucket].count < bestCount) {
                bestCount = m_buckets[bucket].count;
                best = bucket;
            }
        }
        if (bestCount == 0) {
            // No stored link has this gram at this alignment; the other alignments still count.
            chosen[remainder] = SIZE_MAX;
        } else {
            chosen[remainder] = best;
        }
    }

    std::vector<std::uint32_t> candidates;
    for (std::size_t remainder = 0; remainder < kStride; ++remainder) {
        if (chosen[remainder] == SIZE_MAX) {
            continue;
        }
        const std::size_t bucket = chosen[remainder];
        if (std::find(chosen, chosen + remainder, bucket) != chosen + remainder) {
            continue; // same bucket already taken
        }
        for (std::uint32_t e = m_buckets[bucket].head; e != 0; e = EntryAt(e - 1).next) {
            candidates.push_back(EntryAt(e - 1).record);
        }
    }
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    for (const std::uint32_t record : candidates) {
        if (record >= 1 && static_cast<int>(record) <= count && Contains(linkOf(static_cast<int>(record)), text)) {
            return static_cast<int>(record);
        }
    }
    return 0;
}

void LinkIndex::Renumber(const std::vector<int>& newNumber)
{
    Flush();
    // Candidates are sorted before they are checked, so the order of entries within a chain never
    // matters: changing the numbers is enough.
    for (std::uint32_t e = 0; e < m_entryCount; ++e) {
        Entry& entry = EntryAt(e);
        entry.record = entry.record < newNumber.size() ? static_cast<std::uint32_t>(newNumber[entry.record]) : 0;
    }
}

std::size_t LinkIndex::MemoryBytes() const
{
    return m_buckets.capacity() * sizeof(Bucket) +
           m_chunks.capacity() * sizeof(m_chunks[0]) + m_chunks.size() * kChunkSize * sizeof(Entry);
}

} // namespace trawl

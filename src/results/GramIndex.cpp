#include "results/GramIndex.h"

#include "results/ResultStore.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <emmintrin.h>
#include <sys/mman.h>
#include <thread>

namespace trawl {

namespace {

constexpr std::array<std::uint8_t, 256> kClassOf = [] {
    std::array<std::uint8_t, 256> table{};
    for (int c = 'a'; c <= 'z'; ++c) {
        table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(1 + c - 'a');
        table[static_cast<std::size_t>(c - 'a' + 'A')] = static_cast<std::uint8_t>(1 + c - 'a');
    }
    for (int c = '0'; c <= '9'; ++c) {
        table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(27 + c - '0');
    }
    return table;
}();

constexpr int kPairBase = GramIndex::kClasses;
// The marks are gathered 16 at a time.
constexpr int kMarkedGrams = (GramIndex::kGrams + 15) / 16 * 16;
// Rows built between two looks at the cancel flag and the store's generation.
constexpr int kRowsPerLock = 16;

// The pair gram of two bytes, looked up by the two bytes as one little-endian 16-bit number.
const std::array<std::uint16_t, 65536>& PairTable()
{
    static const auto table = [] {
        std::array<std::uint16_t, 65536> pairs{};
        for (std::size_t both = 0; both < pairs.size(); ++both) {
            pairs[both] = static_cast<std::uint16_t>(kPairBase + kClassOf[both & 0xFF] * GramIndex::kClasses +
                                                     kClassOf[both >> 8]);
        }
        return pairs;
    }();
    return table;
}

int PairOf(char first, char second)
{
    return kPairBase + kClassOf[static_cast<unsigned char>(first)] * GramIndex::kClasses +
           kClassOf[static_cast<unsigned char>(second)];
}

// Marks in `seen` every pair of neighbouring bytes of `text`: one load, one look-up and one plain
// store a byte (setting bits in the row directly made each byte wait for the last write to the same
// word). The single bytes are gathered from the pairs afterwards.
void MarkPairs(std::string_view text, const std::array<std::uint16_t, 65536>& pairs, std::uint8_t* seen)
{
    const char* at = text.data();
    for (std::size_t k = 0; k + 1 < text.size(); ++k) {
        std::uint16_t both;
        std::memcpy(&both, at + k, sizeof both);
        seen[pairs[both]] = 1;
    }
}

// Marks the grams of `title` followed by `text` (the pair across the seam included, and a lone
// byte's class, which makes no pair).
void MarkGrams(std::string_view title, std::string_view text, const std::array<std::uint16_t, 65536>& pairs,
               std::uint8_t* seen)
{
    MarkPairs(title, pairs, seen);
    MarkPairs(text, pairs, seen);
    if (!title.empty() && !text.empty()) {
        seen[PairOf(title.back(), text.front())] = 1;
    }
    if (title.size() + text.size() == 1) {
        seen[kClassOf[static_cast<unsigned char>(title.empty() ? text[0] : title[0])]] = 1;
    }
}

// Sets each class's word in `row` from its pairs: a record holds a byte of a class when the byte
// begins or ends a pair (or is its only byte, marked already).
void GatherClasses(std::uint64_t* row)
{
    constexpr int n = GramIndex::kClasses;
    for (int c = 0; c < n; ++c) {
        std::uint64_t word = row[c];
        for (int x = 0; x < n; ++x) {
            word |= row[kPairBase + c * n + x] | row[kPairBase + x * n + c];
        }
        row[c] = word;
    }
}

// Sets `bit` in `row` for every gram marked in `seen` and clears the marks, 16 at a time.
void CollectGrams(std::uint8_t* seen, std::uint64_t bit, std::uint64_t* row)
{
    const __m128i zero = _mm_setzero_si128();
    for (int g = 0; g < kMarkedGrams; g += 16) {
        const __m128i marks = _mm_loadu_si128(reinterpret_cast<const __m128i*>(seen + g));
        auto present = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(marks, zero))) ^ 0xFFFFu;
        if (present == 0) {
            continue;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(seen + g), zero);
        for (; present != 0; present &= present - 1) {
            row[g + __builtin_ctz(present)] |= bit;
        }
    }
}

} // namespace

GramIndex::~GramIndex()
{
    if (m_bits != nullptr) {
        ::munmap(m_bits, m_mappedBytes);
    }
}

bool GramIndex::Reserve(int wantedRows, int neededRows)
{
    const auto bytesFor = [](int rows) {
        constexpr std::size_t kPage = 4096;
        return (static_cast<std::size_t>(rows) * kGrams * sizeof(std::uint64_t) + kPage - 1) / kPage * kPage;
    };
    const std::size_t bytes = bytesFor(std::max(wantedRows, neededRows));
    if (bytes > m_mappedBytes) {
        // Mapped rather than allocated: growing moves page tables, not the rows built so far.
        void* grown = m_bits == nullptr
                          ? ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                          : ::mremap(m_bits, m_mappedBytes, bytes, MREMAP_MAYMOVE);
        if (grown == MAP_FAILED) {
            return false;
        }
        m_bits = static_cast<std::uint64_t*>(grown);
        m_mappedBytes = bytes;
    }
    // Pages made present in one call: a fault for every 4 KB costs far more where memory is lent by
    // a hypervisor. Where the kernel cannot, they fault in as the rows are written.
    const std::size_t from = bytesFor(m_rows) - (m_rows > 0 ? 4096 : 0);
    ::madvise(reinterpret_cast<char*>(m_bits) + from, bytesFor(neededRows) - from, MADV_POPULATE_WRITE);
    return true;
}

int GramIndex::Class(char c)
{
    return kClassOf[static_cast<unsigned char>(c)];
}

GramIndex::Step GramIndex::Extend(ResultStore& store, int maxRows, int threads, const std::atomic<int>* cancel)
{
    std::uint64_t generation;
    int count;
    {
        auto locked = store.ReadLock();
        generation = locked.Generation();
        count = locked.Count();
    }
    if (generation != m_generation) {
        m_rows = 0;
        m_generation = generation;
    }
    const int rows = std::min(maxRows, count / kRowRecords - m_rows);
    if (rows <= 0) {
        return Step::Whole;
    }
    if (!Reserve(count / kRowRecords, m_rows + rows)) {
        return Step::Stale; // no memory for it: the filter reads the texts, as without an index
    }

    const int parts = std::clamp(threads, 1, std::max(1, rows / kRowsPerLock));
    std::vector<Step> ends(static_cast<std::size_t>(parts), Step::Grown);
    const auto build = [&](int part) {
        std::vector<std::uint64_t> row(static_cast<std::size_t>(kMarkedGrams));
        std::vector<std::uint8_t> seen(static_cast<std::size_t>(kMarkedGrams));
        const auto& pairs = PairTable();
        const int first = m_rows + rows * part / parts;
        const int last = m_rows + rows * (part + 1) / parts; // exclusive
        for (int from = first; from < last; from += kRowsPerLock) {
            if (cancel != nullptr && cancel->load(std::memory_order_relaxed) != 0) {
                ends[static_cast<std::size_t>(part)] = Step::Cancelled;
                return;
            }
            auto locked = store.ReadLock();
            if (locked.Generation() != generation) {
                ends[static_cast<std::size_t>(part)] = Step::Stale;
                return;
            }
            for (int r = from; r < std::min(last, from + kRowsPerLock); ++r) {
                std::fill(row.begin(), row.end(), 0);
                for (int k = 0; k < kRowRecords; ++k) {
                    const int record = r * kRowRecords + k + 1;
                    if (k + 8 < kRowRecords) {
                        locked.Prefetch(record + 8);
                    }
                    const RecordView view = locked.View(record);
                    const std::uint64_t bit = std::uint64_t{1} << k;
                    MarkGrams(view.Title, view.FullText, pairs, seen.data());
                    CollectGrams(seen.data(), bit, row.data());
                }
                GatherClasses(row.data());
                std::copy_n(row.begin(), kGrams, m_bits + static_cast<std::size_t>(r) * kGrams);
            }
        }
    };
    std::vector<std::thread> helpers;
    for (int part = 1; part < parts; ++part) {
        helpers.emplace_back(build, part);
    }
    build(0);
    for (std::thread& helper : helpers) {
        helper.join();
    }
    const Step end = *std::max_element(ends.begin(), ends.end());
    if (end != Step::Grown) {
        return end;
    }
    m_rows += rows;
    return Step::Grown;
}

bool GramIndex::Candidates(std::string_view term, std::vector<std::uint64_t>& words) const
{
    words.assign(static_cast<std::size_t>(m_rows), ~std::uint64_t{0});
    if (term.empty()) {
        return true; // every text holds the empty term
    }
    std::vector<int> grams;
    bool exact = term.size() <= 2;
    if (term.size() == 1) {
        grams.push_back(Class(term[0]));
    }
    for (std::size_t k = 0; k + 1 < term.size(); ++k) {
        grams.push_back(kPairBase + Class(term[k]) * kClasses + Class(term[k + 1]));
    }
    for (const char c : term) {
        exact = exact && Class(c) != 0;
    }
    std::sort(grams.begin(), grams.end());
    grams.erase(std::unique(grams.begin(), grams.end()), grams.end());
    for (int r = 0; r < m_rows; ++r) {
        const std::uint64_t* row = Row(r);
        std::uint64_t word = ~std::uint64_t{0};
        for (const int gram : grams) {
            word &= row[gram];
        }
        words[static_cast<std::size_t>(r)] = word;
    }
    return exact;
}

} // namespace trawl

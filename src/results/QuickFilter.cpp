#include "results/QuickFilter.h"

#include "app/TextUtil.h"
#include "results/GramIndex.h"
#include "results/ResultStore.h"

#include <algorithm>
#include <cstring>
#include <immintrin.h>
#include <thread>

namespace trawl {

namespace {

std::mutex g_normaliseMutex;
std::string g_normaliseInput;
std::string g_normaliseOutput;
bool g_normaliseValid = false;

std::string NormaliseUncached(std::string_view filter)
{
    std::string out;
    out.reserve(filter.size());
    bool inQuotes = false;
    for (char c : filter) {
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ' ') {
            out.push_back(inQuotes ? ' ' : ',');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Whether `needle` (lower case) starts at `at`, ignoring ASCII case.
bool FoldedEqual(const char* at, std::string_view needle)
{
    for (std::size_t k = 0; k < needle.size(); ++k) {
        if (LowerAscii(at[k]) != needle[k]) {
            return false;
        }
    }
    return true;
}

// Whether the needle starts at any of the starts `at` + k whose bit k is set in `mask`.
bool AnyCandidate(const char* at, unsigned mask, std::string_view needle)
{
    for (; mask != 0; mask &= mask - 1) {
        if (FoldedEqual(at + __builtin_ctz(mask), needle)) {
            return true;
        }
    }
    return false;
}

// Setting bit 5 maps both cases of a letter to one byte, so (byte | 0x20) matching the needle's
// first and last bytes (also | 0x20) is necessary for a match; only those starts are compared in
// full. Each step tests a vector's width of starts; the last step is moved back to end at the last
// start (testing some starts twice) instead of finishing a byte at a time, which on short texts cost
// as much as the vector steps before it. Both test every start 0..last (last >= width - 1).
bool ScanFoldedSse2(const char* data, std::size_t last, std::string_view needle)
{
    const std::size_t tail = needle.size() - 1;
    const __m128i bit5 = _mm_set1_epi8(0x20);
    const __m128i first = _mm_set1_epi8(static_cast<char>(needle[0] | 0x20));
    const __m128i lastByte = _mm_set1_epi8(static_cast<char>(needle[tail] | 0x20));
    for (std::size_t at = 0;; at += 16) {
        at = std::min(at, last - 15);
        const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)), bit5);
        const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + tail)), bit5);
        const auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, lastByte))));
        if (mask != 0 && AnyCandidate(data + at, mask, needle)) {
            return true;
        }
        if (at == last - 15) {
            return false;
        }
    }
}

__attribute__((target("avx2"))) bool ScanFoldedAvx2(const char* data, std::size_t last, std::string_view needle)
{
    const std::size_t tail = needle.size() - 1;
    const __m256i bit5 = _mm256_set1_epi8(0x20);
    const __m256i first = _mm256_set1_epi8(static_cast<char>(needle[0] | 0x20));
    const __m256i lastByte = _mm256_set1_epi8(static_cast<char>(needle[tail] | 0x20));
    for (std::size_t at = 0;; at += 32) {
        at = std::min(at, last - 31);
        const __m256i a = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at)), bit5);
        const __m256i b = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at + tail)), bit5);
        const auto mask = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, lastByte))));
        if (mask != 0 && AnyCandidate(data + at, mask, needle)) {
            return true;
        }
        if (at == last - 31) {
            return false;
        }
    }
}

bool HaveAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

} // namespace

bool ContainsFolded(std::string_view haystack, std::string_view needle)
{
    if (needle.empty()) {
        return true;
    }
    if (needle.size() > haystack.size()) {
        return false;
    }
    const char* data = haystack.data();
    const std::size_t last = haystack.size() - needle.size(); // last possible start
    if (last >= 31 && HaveAvx2()) {
        return ScanFoldedAvx2(data, last, needle);
    }
    if (last >= 15) {
        return ScanFoldedSse2(data, last, needle);
    }
    for (std::size_t at = 0; at <= last; ++at) {
        if (FoldedEqual(data + at, needle)) {
            return true;
        }
    }
    return false;
}

namespace {

// Whether `needle` occurs in a + b (joined) ignoring ASCII case.
bool ContainsFoldedJoined(std::string_view a, std::string_view b, std::string_view needle)
{
    if (ContainsFolded(a, needle) || ContainsFolded(b, needle)) {
        return true;
    }
    // An occurrence across the seam starts in the last needle.size() - 1 bytes of a.
    if (needle.size() < 2 || a.empty() || b.empty()) {
        return false;
    }
    const std::size_t tailLength = std::min(a.size(), needle.size() - 1);
    const std::size_t headLength = std::min(b.size(), needle.size() - 1);
    char shortSeam[64];
    std::string longSeam;
    char* seam = shortSeam;
    if (tailLength + headLength > sizeof shortSeam) {
        longSeam.resize(tailLength + headLength);
        seam = longSeam.data();
    }
    std::memcpy(seam, a.data() + a.size() - tailLength, tailLength);
    std::memcpy(seam + tailLength, b.data(), headLength);
    return ContainsFolded(std::string_view(seam, tailLength + headLength), needle);
}

} // namespace

std::string NormaliseFilter(std::string_view filter)
{
    std::lock_guard lock(g_normaliseMutex);
    if (g_normaliseValid && filter == g_normaliseInput) {
        return g_normaliseOutput;
    }
    g_normaliseInput.assign(filter);
    g_normaliseOutput = NormaliseUncached(filter);
    g_normaliseValid = true;
    return g_normaliseOutput;
}

CompiledFilter::CompiledFilter(std::string_view filter)
{
    const std::string normalised = NormaliseFilter(ToLowerAscii(filter));
    for (const std::string& part : SplitPlain(normalised)) {
        std::string term = TrimmedCopy(part);
        if (term.empty()) {
            continue;
        }
        if (term[0] == '-') {
            m_terms.push_back(Term{term.substr(1), true});
        } else {
            m_terms.push_back(Term{std::move(term), false});
        }
    }
    // Every term must hold, so the order they are tested in changes no answer; longer terms tend to
    // be rarer, and a text that fails early is not searched for the rest.
    std::stable_sort(m_terms.begin(), m_terms.end(),
                     [](const Term& a, const Term& b) { return a.text.size() > b.text.size(); });
}

bool CompiledFilter::Matches(std::string_view title, std::string_view fullText) const
{
    for (const Term& term : m_terms) {
        if (ContainsFoldedJoined(title, fullText, term.text) == term.excluded) {
            return false;
        }
    }
    return true;
}

bool MatchesFilter(std::string_view text, std::string_view filter)
{
    return CompiledFilter(filter).Matches(text, {});
}

bool CompiledFilter::Narrows(const CompiledFilter& wider) const
{
    for (const Term& old : wider.m_terms) {
        const auto covers = [&old](const Term& term) {
            if (term.excluded != old.excluded) {
                return false;
            }
            return old.excluded ? old.text.find(term.text) != std::string::npos
                                : term.text.find(old.text) != std::string::npos;
        };
        if (std::none_of(m_terms.begin(), m_terms.end(), covers)) {
            return false;
        }
    }
    return true;
}

CompiledFilter CompiledFilter::Remaining(const CompiledFilter& passed) const
{
    CompiledFilter rest;
    for (const Term& term : m_terms) {
        if (std::find(passed.m_terms.begin(), passed.m_terms.end(), term) == passed.m_terms.end()) {
            rest.m_terms.push_back(term);
        }
    }
    return rest;
}

namespace {

constexpr std::size_t kFilterBatch = 4096;
// Records whose headers are fetched ahead of the one tested, and whose texts are (two stages: a text
// lies where the header says).
constexpr std::size_t kPrefetchAhead = 16;
constexpr std::size_t kPrefetchTextAhead = 4;

// What one share of a run reads: either records first..last, or the candidates [begin, end).
struct Share {
    int first = 1;
    int last = 0;
    const int* begin = nullptr;
    const int* end = nullptr;
};

enum class ScanEnd { Done, Changed, Cancelled };

bool Raised(const std::atomic<int>* cancel)
{
    return cancel != nullptr && cancel->load(std::memory_order_relaxed) != 0;
}

// Tests a share in batches under the store's shared lock; appends the passing records to `matches`.
// Changed when the store's generation moved away from `generation` on the way (the answer is still
// the plain call's for candidates only if nothing changed, so the caller starts again then).
ScanEnd Scan(ResultStore& store, const CompiledFilter& filter, const Share& share, std::uint64_t generation,
             const std::atomic<int>* cancel, std::vector<int>& matches)
{
    ScanEnd end = ScanEnd::Done;
    const bool candidates = share.begin != nullptr;
    const std::size_t total = candidates ? static_cast<std::size_t>(share.end - share.begin)
                                         : static_cast<std::size_t>(std::max(0, share.last - share.first + 1));
    const auto recordAt = [&](std::size_t k) {
        return candidates ? share.begin[k] : share.first + static_cast<int>(k);
    };
    for (std::size_t from = 0; from < total; from += kFilterBatch) {
        if (Raised(cancel)) {
            return ScanEnd::Cancelled;
        }
        auto locked = store.ReadLock();
        if (locked.Generation() != generation) {
            if (candidates) {
                return ScanEnd::Changed;
            }
            end = ScanEnd::Changed;
        }
        const std::size_t to = std::min(total, from + kFilterBatch);
        for (std::size_t k = from; k < to; ++k) {
            // Most texts are decided in their first bytes: the time goes to fetching each record's
            // header from memory, so the next ones are asked for while this one is tested.
            if (k + kPrefetchAhead < total) {
                locked.Prefetch(recordAt(k + kPrefetchAhead));
            }
            const int n = recordAt(k);
            if (n > locked.Count()) {
                break;
            }
            const RecordView view = locked.View(n);
            if (filter.Matches(view.Title, view.FullText)) {
                matches.push_back(n);
            }
        }
    }
    return end;
}

// Runs work(part) for parts 0..parts-1 at once, part 0 on this thread; joins what each found in part
// order. The worst end of any part is the run's.
// `found` is room for the parts' matches, kept between runs.
template <typename Work>
ScanEnd RunParts(std::size_t parts, Work&& work, std::vector<std::vector<int>>& found, std::vector<int>& matches)
{
    found.resize(std::max(found.size(), parts));
    for (std::size_t p = 0; p < parts; ++p) {
        found[p].clear();
    }
    std::vector<ScanEnd> ends(parts, ScanEnd::Done);
    std::vector<std::thread> helpers;
    for (std::size_t p = 1; p < parts; ++p) {
        helpers.emplace_back([&, p] { ends[p] = work(p, found[p]); });
    }
    ends[0] = work(0, found[0]);
    for (std::thread& helper : helpers) {
        helper.join();
    }
    for (std::size_t p = 0; p < parts; ++p) {
        matches.insert(matches.end(), found[p].begin(), found[p].end());
    }
    return *std::max_element(ends.begin(), ends.end());
}

std::size_t PartsFor(int threads, std::size_t records)
{
    return std::clamp<std::size_t>(static_cast<std::size_t>(threads), 1,
                                   std::max<std::size_t>(1, records / kFilterBatch));
}

// Splits the work into `threads` shares in order, scans them at once and joins the matches in
// ascending order.
ScanEnd ScanShared(ResultStore& store, const CompiledFilter& filter, const Share& whole, int threads,
                   std::uint64_t generation, const std::atomic<int>* cancel, std::vector<std::vector<int>>& found,
                   std::vector<int>& matches)
{
    const bool candidates = whole.begin != nullptr;
    const std::size_t total = candidates ? static_cast<std::size_t>(whole.end - whole.begin)
                                         : static_cast<std::size_t>(std::max(0, whole.last - whole.first + 1));
    const std::size_t parts = PartsFor(threads, total);
    return RunParts(
        parts,
        [&](std::size_t p, std::vector<int>& into) {
            Share share;
            const std::size_t from = total * p / parts;
            const std::size_t to = total * (p + 1) / parts;
            if (candidates) {
                share.begin = whole.begin + from;
                share.end = whole.begin + to;
            } else {
                share.first = whole.first + static_cast<int>(from);
                share.last = whole.first + static_cast<int>(to) - 1;
            }
            return Scan(store, filter, share, generation, cancel, into);
        },
        found, matches);
}

// The answer before this one, when this filter narrows it: its matches among records 1..tested.
struct Narrowing {
    const std::vector<int>& matches; // ascending
    int tested;
    const CompiledFilter& passed;
};

// A term the index cannot answer alone, so it is looked for in the text.
struct TextCheck {
    const CompiledFilter::Term* term;
    std::vector<std::uint64_t> mayHold; // excluded terms: where the index says the term may occur
    bool passedBefore;                  // a term of the narrowed answer: its matches hold it already
};

bool Bit(const std::vector<std::uint64_t>& words, int record)
{
    const auto k = static_cast<std::size_t>(record - 1);
    return ((words[k / 64] >> (k % 64)) & 1) != 0;
}

bool PassesChecks(const std::vector<TextCheck>& checks, int record, bool testedBefore, const RecordView& view)
{
    for (const TextCheck& check : checks) {
        if (check.passedBefore && testedBefore) {
            continue;
        }
        if (check.term->excluded && !Bit(check.mayHold, record)) {
            continue;
        }
        if (ContainsFoldedJoined(view.Title, view.FullText, check.term->text) == check.term->excluded) {
            return false;
        }
    }
    return true;
}

// The matches among the records the index holds. The index gives, per term, the records that may
// hold it (and for short terms exactly those that do); only records left after every term's answer
// are read, and only for the terms the index could not settle. With a narrowed answer, the records
// it tested must be among its matches, and are not searched again for the terms they passed.
ScanEnd IndexedScan(ResultStore& store, const CompiledFilter& filter, const GramIndex& index,
                    const Narrowing* narrowing, int threads, std::uint64_t generation, const std::atomic<int>* cancel,
                    std::vector<std::vector<int>>& found, std::vector<int>& matches)
{
    const std::size_t rows = static_cast<std::size_t>(index.Records() / GramIndex::kRowRecords);
    std::vector<std::uint64_t> must(rows, ~std::uint64_t{0});
    std::vector<TextCheck> checks;
    std::vector<std::uint64_t> words;
    for (const CompiledFilter::Term& term : filter.Terms()) {
        const bool exact = index.Candidates(term.text, words);
        const bool passed = narrowing != nullptr &&
                            std::find(narrowing->passed.Terms().begin(), narrowing->passed.Terms().end(), term) !=
                                narrowing->passed.Terms().end();
        if (!term.excluded) {
            for (std::size_t r = 0; r < rows; ++r) {
                must[r] &= words[r];
            }
            if (!exact) {
                checks.push_back(TextCheck{&term, {}, passed});
            }
        } else if (exact) {
            for (std::size_t r = 0; r < rows; ++r) {
                must[r] &= ~words[r];
            }
        } else {
            checks.push_back(TextCheck{&term, words, passed});
        }
    }
    int tested = 0;
    if (narrowing != nullptr) {
        tested = std::min(narrowing->tested, index.Records());
        std::vector<std::uint64_t> kept(rows, 0);
        for (const int n : narrowing->matches) {
            if (n > tested) {
                break;
            }
            kept[static_cast<std::size_t>(n - 1) / 64] |= std::uint64_t{1} << ((n - 1) % 64);
        }
        for (std::size_t r = static_cast<std::size_t>(tested) / 64; r < rows; ++r) {
            const int before = tested - static_cast<int>(r) * 64; // records of this row already tested
            kept[r] |= ~std::uint64_t{0} << std::max(0, before);
        }
        for (std::size_t r = 0; r < rows; ++r) {
            must[r] &= kept[r];
        }
    }
    const std::size_t parts = PartsFor(threads, rows * GramIndex::kRowRecords);
    constexpr std::size_t kRowsPerBatch = kFilterBatch / GramIndex::kRowRecords;
    return RunParts(
        parts,
        [&](std::size_t p, std::vector<int>& into) {
            std::vector<int> batch;
            for (std::size_t from = rows * p / parts, last = rows * (p + 1) / parts; from < last;
                 from += kRowsPerBatch) {
                if (Raised(cancel)) {
                    return ScanEnd::Cancelled;
                }
                batch.clear();
                for (std::size_t r = from; r < std::min(last, from + kRowsPerBatch); ++r) {
                    for (std::uint64_t word = must[r]; word != 0; word &= word - 1) {
                        batch.push_back(static_cast<int>(r * 64) + __builtin_ctzll(word) + 1);
                    }
                }
                if (checks.empty()) {
                    into.insert(into.end(), batch.begin(), batch.end());
                    continue;
                }
                auto locked = store.ReadLock();
                if (locked.Generation() != generation) {
                    return ScanEnd::Changed;
                }
                for (std::size_t k = 0; k < batch.size(); ++k) {
                    if (k + kPrefetchAhead < batch.size()) {
                        locked.Prefetch(batch[k + kPrefetchAhead]);
                    }
                    if (k + kPrefetchTextAhead < batch.size()) {
                        locked.PrefetchText(batch[k + kPrefetchTextAhead]);
                    }
                    if (PassesChecks(checks, batch[k], batch[k] <= tested, locked.View(batch[k]))) {
                        into.push_back(batch[k]);
                    }
                }
            }
            return ScanEnd::Done;
        },
        found, matches);
}

QuickFilterResult Listed(const std::vector<int>& ascending, std::vector<int>* room)
{
    QuickFilterResult result;
    if (room != nullptr) {
        result.records.swap(*room);
    }
    result.records.assign(ascending.rbegin(), ascending.rend());
    result.count = static_cast<int>(result.records.size());
    return result;
}

} // namespace

QuickFilterResult ApplyQuickFilter(ResultStore& store, std::string_view filter)
{
    QuickFilterMemo memo;
    return ApplyQuickFilter(store, filter, memo);
}

QuickFilterResult ApplyQuickFilter(ResultStore& store, std::string_view filter, QuickFilterMemo& memo)
{
    return ApplyQuickFilter(store, filter, memo, QuickFilterRun{});
}

QuickFilterResult ApplyQuickFilter(ResultStore& store, std::string_view filter, QuickFilterMemo& memo,
                                   const QuickFilterRun& run)
{
    CompiledFilter compiled(filter);
    std::uint64_t generation;
    int count;
    {
        auto locked = store.ReadLock();
        generation = locked.Generation();
        count = locked.Count();
    }
    std::vector<int>& matches = memo.m_spare; // the memo's matches are read meanwhile
    matches.clear();
    std::vector<std::vector<int>>& found = memo.m_found;
    const bool narrows = memo.m_valid && memo.m_store == &store && memo.m_generation == generation &&
                         memo.m_tested <= count && compiled.Narrows(memo.m_filter);
    const bool indexCurrent =
        run.index != nullptr && run.index->Generation() == generation && run.index->Records() <= count;
    const int indexed = indexCurrent ? run.index->Records() : 0;
    ScanEnd end = ScanEnd::Done;
    if (indexed > 0) {
        const Narrowing narrowing{memo.m_matches, memo.m_tested, memo.m_filter};
        end = IndexedScan(store, compiled, *run.index, narrows ? &narrowing : nullptr, run.threads, generation,
                          run.cancel, found, matches);
    }
    // The records after those the index holds (all of them without an index).
    if (end == ScanEnd::Done && narrows) {
        // The previous matches passed every term the two filters share; only the others are tested.
        const CompiledFilter rest = compiled.Remaining(memo.m_filter);
        const auto above = std::upper_bound(memo.m_matches.begin(), memo.m_matches.end(), indexed);
        Share previous;
        previous.begin = memo.m_matches.data() + (above - memo.m_matches.begin());
        previous.end = memo.m_matches.data() + memo.m_matches.size();
        end = ScanShared(store, rest, previous, run.threads, generation, run.cancel, found, matches);
        if (end == ScanEnd::Done) {
            end = ScanShared(store, compiled, Share{std::max(memo.m_tested, indexed) + 1, count}, run.threads,
                             generation, run.cancel, found, matches);
        }
    } else if (end == ScanEnd::Done) {
        end =
            ScanShared(store, compiled, Share{indexed + 1, count}, run.threads, generation, run.cancel, found, matches);
    }
    if (end == ScanEnd::Changed) {
        matches.clear();
        end = ScanShared(store, compiled, Share{1, count}, run.threads, generation, run.cancel, found, matches);
    }
    if (end == ScanEnd::Cancelled) {
        QuickFilterResult cancelled;
        cancelled.cancelled = true;
        return cancelled;
    }
    memo.m_valid = end == ScanEnd::Done;
    memo.m_store = &store;
    memo.m_generation = generation;
    memo.m_tested = count;
    memo.m_matches.swap(matches);
    memo.m_filter = std::move(compiled);
    return Listed(memo.m_matches, run.room);
}

} // namespace trawl

#include "results/QuickFilter.h"

#include "app/TextUtil.h"
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

// The same test as the SSE2 loop below, 32 starts at a time, on processors that have AVX2. Tests
// the starts from `at` while a whole step fits before `last`; leaves `at` at the first start it did
// not test.
__attribute__((target("avx2"))) bool ScanFoldedAvx2(const char* data, std::size_t last, std::string_view needle,
                                                    std::size_t& at)
{
    const std::size_t tail = needle.size() - 1;
    const __m256i bit5 = _mm256_set1_epi8(0x20);
    const __m256i first = _mm256_set1_epi8(static_cast<char>(needle[0] | 0x20));
    const __m256i lastByte = _mm256_set1_epi8(static_cast<char>(needle[tail] | 0x20));
    for (; at + 31 <= last; at += 32) {
        const __m256i a = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at)), bit5);
        const __m256i b = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at + tail)), bit5);
        auto mask = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, lastByte))));
        while (mask != 0) {
            const std::size_t start = at + static_cast<std::size_t>(__builtin_ctz(mask));
            if (FoldedEqual(data + start, needle)) {
                return true;
            }
            mask &= mask - 1;
        }
    }
    return false;
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
    // Setting bit 5 maps both cases of a letter to one byte, so (byte | 0x20) matching the needle's
    // first and last bytes (also | 0x20) is necessary for a match; only those starts are compared
    // in full. Sixteen starts are tested at once.
    const char* data = haystack.data();
    const std::size_t last = haystack.size() - needle.size(); // last possible start
    const std::size_t tail = needle.size() - 1;
    std::size_t at = 0;
    if (last >= 31 && HaveAvx2() && ScanFoldedAvx2(data, last, needle, at)) {
        return true;
    }
    const __m128i bit5 = _mm_set1_epi8(0x20);
    const __m128i first = _mm_set1_epi8(static_cast<char>(needle[0] | 0x20));
    const __m128i lastByte = _mm_set1_epi8(static_cast<char>(needle[tail] | 0x20));
    for (; at + 15 <= last; at += 16) {
        const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)), bit5);
        const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + tail)), bit5);
        auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, lastByte))));
        while (mask != 0) {
            const std::size_t start = at + static_cast<std::size_t>(__builtin_ctz(mask));
            if (FoldedEqual(data + start, needle)) {
                return true;
            }
            mask &= mask - 1;
        }
    }
    for (; at <= last; ++at) {
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
    std::string seam(a.substr(a.size() - tailLength));
    seam.append(b.substr(0, std::min(b.size(), needle.size() - 1)));
    return ContainsFolded(seam, needle);
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

// What one share of a run reads: either records first..last, or the candidates [begin, end).
struct Share {
    int first = 1;
    int last = 0;
    const int* begin = nullptr;
    const int* end = nullptr;
};

enum class ScanEnd { Done, Changed, Cancelled };

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
    for (std::size_t from = 0; from < total; from += kFilterBatch) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed) != 0) {
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
            const int n = candidates ? share.begin[k] : share.first + static_cast<int>(k);
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

// Splits the work into `threads` shares in order, scans them at once and joins the matches in
// ascending order. The worst end of any share is the run's.
ScanEnd ScanShared(ResultStore& store, const CompiledFilter& filter, const Share& whole, int threads,
                   std::uint64_t generation, const std::atomic<int>* cancel, std::vector<int>& matches)
{
    const bool candidates = whole.begin != nullptr;
    const std::size_t total = candidates ? static_cast<std::size_t>(whole.end - whole.begin)
                                         : static_cast<std::size_t>(std::max(0, whole.last - whole.first + 1));
    const std::size_t parts =
        std::clamp<std::size_t>(static_cast<std::size_t>(threads), 1, std::max<std::size_t>(1, total / kFilterBatch));
    std::vector<Share> shares(parts);
    for (std::size_t p = 0; p < parts; ++p) {
        const std::size_t from = total * p / parts;
        const std::size_t to = total * (p + 1) / parts;
        if (candidates) {
            shares[p].begin = whole.begin + from;
            shares[p].end = whole.begin + to;
        } else {
            shares[p].first = whole.first + static_cast<int>(from);
            shares[p].last = whole.first + static_cast<int>(to) - 1;
        }
    }
    std::vector<std::vector<int>> found(parts);
    std::vector<ScanEnd> ends(parts, ScanEnd::Done);
    std::vector<std::thread> helpers;
    for (std::size_t p = 1; p < parts; ++p) {
        helpers.emplace_back([&, p] { ends[p] = Scan(store, filter, shares[p], generation, cancel, found[p]); });
    }
    ends[0] = Scan(store, filter, shares[0], generation, cancel, found[0]);
    for (std::thread& helper : helpers) {
        helper.join();
    }
    ScanEnd end = ScanEnd::Done;
    for (std::size_t p = 0; p < parts; ++p) {
        matches.insert(matches.end(), found[p].begin(), found[p].end());
        end = std::max(end, ends[p]);
    }
    return end;
}

QuickFilterResult Listed(std::vector<int> ascending)
{
    QuickFilterResult result;
    result.records = std::move(ascending);
    std::reverse(result.records.begin(), result.records.end());
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
    std::vector<int> matches;
    ScanEnd end = ScanEnd::Changed;
    const bool narrows = memo.m_valid && memo.m_store == &store && memo.m_generation == generation &&
                         memo.m_tested <= count && compiled.Narrows(memo.m_filter);
    if (narrows) {
        // The previous matches passed every term the two filters share; only the others are tested.
        const CompiledFilter rest = compiled.Remaining(memo.m_filter);
        Share previous;
        previous.begin = memo.m_matches.data();
        previous.end = memo.m_matches.data() + memo.m_matches.size();
        end = ScanShared(store, rest, previous, run.threads, generation, run.cancel, matches);
        if (end == ScanEnd::Done) {
            end = ScanShared(store, compiled, Share{memo.m_tested + 1, count}, run.threads, generation, run.cancel,
                             matches);
        }
    }
    if (end == ScanEnd::Changed) {
        matches.clear();
        end = ScanShared(store, compiled, Share{1, count}, run.threads, generation, run.cancel, matches);
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
    memo.m_matches = matches;
    memo.m_filter = std::move(compiled);
    return Listed(std::move(matches));
}

} // namespace trawl

#include "results/QuickFilter.h"

#include "app/TextUtil.h"
#include "results/GramIndex.h"
#include "results/ResultStore.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <sys/mman.h>
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

constexpr std::size_t kNowhere = std::string_view::npos;
constexpr std::uint32_t kUnplaced = ~std::uint32_t{0};

// The first of the starts k whose bit is set in `mask` where the needle starts at `at` + k, or
// kNowhere.
std::size_t FirstCandidate(const char* at, unsigned mask, std::string_view needle)
{
    for (; mask != 0; mask &= mask - 1) {
        const auto k = static_cast<std::size_t>(__builtin_ctz(mask));
        if (FoldedEqual(at + k, needle)) {
            return k;
        }
    }
    return kNowhere;
}

// Setting bit 5 maps both cases of a letter to one byte, so (byte | 0x20) matching the needle's
// first and last bytes (also | 0x20) is necessary for a match; only those starts are compared in
// full. Each step tests a vector's width of starts; the last step is moved back to end at the last
// start (testing some starts twice) instead of finishing a byte at a time, which on short texts cost
// as much as the vector steps before it. Both test every start 0..last (last >= width - 1) in order
// and return the first where the needle is, or kNowhere.
std::size_t ScanFoldedSse2(const char* data, std::size_t last, std::string_view needle)
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
        if (mask != 0) {
            const std::size_t found = FirstCandidate(data + at, mask, needle);
            if (found != kNowhere) {
                return at + found;
            }
        }
        if (at == last - 15) {
            return kNowhere;
        }
    }
}

__attribute__((target("avx2"))) std::size_t ScanFoldedAvx2(const char* data, std::size_t last, std::string_view needle)
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
        if (mask != 0) {
            const std::size_t found = FirstCandidate(data + at, mask, needle);
            if (found != kNowhere) {
                return at + found;
            }
        }
        if (at == last - 31) {
            return kNowhere;
        }
    }
}

bool HaveAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

} // namespace

std::size_t FindFolded(std::string_view haystack, std::string_view needle, std::size_t from)
{
    if (from > haystack.size()) {
        return kNowhere;
    }
    if (needle.empty()) {
        return from;
    }
    if (needle.size() > haystack.size() - from) {
        return kNowhere;
    }
    const char* data = haystack.data() + from;
    const std::size_t last = haystack.size() - from - needle.size(); // last possible start
    std::size_t found = kNowhere;
    if (last >= 31 && HaveAvx2()) {
        found = ScanFoldedAvx2(data, last, needle);
    } else if (last >= 15) {
        found = ScanFoldedSse2(data, last, needle);
    } else {
        for (std::size_t at = 0; at <= last; ++at) {
            if (FoldedEqual(data + at, needle)) {
                found = at;
                break;
            }
        }
    }
    return found == kNowhere ? kNowhere : from + found;
}

bool ContainsFolded(std::string_view haystack, std::string_view needle)
{
    return FindFolded(haystack, needle) != kNowhere;
}

namespace {

// The first start at or after `from` of `needle` in a + b (joined) ignoring ASCII case, or kNowhere.
std::size_t FindFoldedJoined(std::string_view a, std::string_view b, std::string_view needle, std::size_t from = 0)
{
    if (from < a.size()) {
        const std::size_t found = FindFolded(a, needle, from);
        if (found != kNowhere) {
            return found;
        }
    }
    // An occurrence across the seam starts in the last needle.size() - 1 bytes of a; one that lies
    // in a whole was looked for above.
    if (needle.size() >= 2 && !a.empty() && !b.empty() && from < a.size()) {
        const std::size_t tailLength = std::min(a.size(), needle.size() - 1);
        const std::size_t headLength = std::min(b.size(), needle.size() - 1);
        const std::size_t seamStart = a.size() - tailLength;
        char shortSeam[64];
        std::string longSeam;
        char* seam = shortSeam;
        if (tailLength + headLength > sizeof shortSeam) {
            longSeam.resize(tailLength + headLength);
            seam = longSeam.data();
        }
        std::memcpy(seam, a.data() + seamStart, tailLength);
        std::memcpy(seam + tailLength, b.data(), headLength);
        const std::size_t found = FindFolded(std::string_view(seam, tailLength + headLength), needle,
                                             from > seamStart ? from - seamStart : 0);
        if (found != kNowhere) {
            return seamStart + found;
        }
    }
    const std::size_t found = FindFolded(b, needle, from > a.size() ? from - a.size() : 0);
    return found == kNowhere ? kNowhere : a.size() + found;
}

bool ContainsFoldedJoined(std::string_view a, std::string_view b, std::string_view needle)
{
    return FindFoldedJoined(a, b, needle) != kNowhere;
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
    if (m_terms.empty()) {
        return;
    }
    // Every term must hold, so the order they are tested in changes no answer; longer terms tend to
    // be rarer, and a text that fails early is not searched for the rest.
    const Term newest = m_terms.back();
    std::stable_sort(m_terms.begin(), m_terms.end(),
                     [](const Term& a, const Term& b) { return a.text.size() > b.text.size(); });
    m_newest = static_cast<std::size_t>(std::find(m_terms.begin(), m_terms.end(), newest) - m_terms.begin());
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

// Runs work(part) for parts 0..parts-1 at once, part 0 on this thread. The worst end of any part is
// the run's.
template <typename Work> ScanEnd RunOnThreads(std::size_t parts, Work&& work)
{
    std::vector<ScanEnd> ends(parts, ScanEnd::Done);
    std::vector<std::thread> helpers;
    for (std::size_t p = 1; p < parts; ++p) {
        helpers.emplace_back([&, p] { ends[p] = work(p); });
    }
    ends[0] = work(0);
    for (std::thread& helper : helpers) {
        helper.join();
    }
    return *std::max_element(ends.begin(), ends.end());
}

// Makes room for `count` elements with their pages present. At a million results a fresh vector's
// pages, faulted in one at a time as it is written, cost more than the filtering that fills it; the
// kernel maps them in one call far quicker (where it cannot, they fault in as before).
template <typename T> void ReservePresent(std::vector<T>& vector, std::size_t count)
{
    if (vector.capacity() >= count) {
        return;
    }
    vector.reserve(count);
    constexpr std::uintptr_t kPage = 4096;
    const auto from = (reinterpret_cast<std::uintptr_t>(vector.data() + vector.size()) + kPage - 1) & ~(kPage - 1);
    const auto to = reinterpret_cast<std::uintptr_t>(vector.data() + count) & ~(kPage - 1);
    if (to > from) {
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
    }
}

// Appends the parts' vectors to `joined` in part order.
template <typename T>
void JoinParts(const std::vector<std::vector<T>>& parts, std::size_t count, std::vector<T>& joined)
{
    std::size_t total = joined.size();
    for (std::size_t p = 0; p < count; ++p) {
        total += parts[p].size();
    }
    ReservePresent(joined, total);
    for (std::size_t p = 0; p < count; ++p) {
        joined.insert(joined.end(), parts[p].begin(), parts[p].end());
    }
}

// Empties the first `count` vectors of `parts` (kept between runs as room), adding any missing.
template <typename T> void ClearParts(std::vector<std::vector<T>>& parts, std::size_t count)
{
    parts.resize(std::max(parts.size(), count));
    for (std::size_t p = 0; p < count; ++p) {
        parts[p].clear();
    }
}

// RunOnThreads for work that finds records: joins what each part found in part order. `found` is
// room for the parts' matches, kept between runs.
template <typename Work>
ScanEnd RunParts(std::size_t parts, Work&& work, std::vector<std::vector<int>>& found, std::vector<int>& matches)
{
    ClearParts(found, parts);
    const ScanEnd end = RunOnThreads(parts, [&](std::size_t p) { return work(p, found[p]); });
    JoinParts(found, parts, matches);
    return end;
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

// What is known of the answer before this one, when this filter narrows it: its matches among
// records 1..tested, and for its placed term in each match where no occurrence starts earlier and
// which classes of bytes follow its occurrences (each may be empty: nothing known).
struct Narrowing {
    const std::vector<int>& matches; // ascending
    int tested;
    const CompiledFilter& passed;
    const std::string& placedTerm;               // "" when none was placed
    const std::vector<std::uint32_t>& placedAt;  // parallel to matches, or empty
    const std::vector<std::uint64_t>& followers; // parallel to matches, or empty
};

// A term the index cannot answer alone, so it is looked for in the text.
struct TextCheck {
    const CompiledFilter::Term* term;
    std::vector<std::uint64_t> mayHold; // excluded terms: where the index says the term may occur
    bool passedBefore;                  // a term of the narrowed answer: its matches hold it already
};

// The term whose place in each match is noted (the newest, when it must occur and is looked for in
// texts) and how the narrowed answer's placed term lies inside it: at `shift`, so in a record of that
// answer it cannot start before that term's place less `shift`. Typing on at the end of a term gives
// shift 0 and, for one more letter or digit, `nextClass`: whether the term is there is then whether
// that class followed the shorter one.
struct Placing {
    const CompiledFilter::Term* term = nullptr;
    std::size_t shift = kNowhere; // kNowhere: the earlier places say nothing
    int nextClass = 0;            // 0: not the shorter term and one letter or digit more
};

// What the narrowed answer knew of one record.
struct Earlier {
    bool tested = false; // among the records it tested (so among its matches)
    std::uint32_t place = kUnplaced;
    std::uint64_t followers = 0;
};

constexpr std::uint64_t kFollowersKnown = std::uint64_t{1} << 63;

bool Bit(const std::vector<std::uint64_t>& words, int record)
{
    const auto k = static_cast<std::size_t>(record - 1);
    return ((words[k / 64] >> (k % 64)) & 1) != 0;
}

// Where in a record the placed term may first start, from what the narrowed answer knew.
std::size_t SearchFrom(const Placing& placing, const Earlier& earlier)
{
    if (earlier.place == kUnplaced || placing.shift == kNowhere) {
        return 0;
    }
    return earlier.place > placing.shift ? earlier.place - placing.shift : 0;
}

std::uint32_t PlaceOf(std::size_t found)
{
    return found < kUnplaced ? static_cast<std::uint32_t>(found) : kUnplaced;
}

// Asks for the lines a search from `from` of Title followed by FullText reads first.
void PrefetchFrom(const RecordView& view, std::size_t from)
{
    const char* at = from < view.Title.size()
                         ? view.Title.data() + from
                         : view.FullText.data() + std::min(from - view.Title.size(), view.FullText.size());
    __builtin_prefetch(at);
    __builtin_prefetch(at + 64);
}

// Visits records recordAt(0) .. recordAt(count - 1) in order with their views, asking for each
// record's header kPrefetchAhead records ahead and, once that is in, kPrefetchTextAhead ahead the text
// a search of it reads first: from textFrom(j) on, or when that is kNowhere from the start.
template <typename RecordAt, typename TextFrom, typename Visit>
void ReadAhead(const ResultStore::ReadLocked& locked, std::size_t count, RecordAt recordAt, TextFrom textFrom,
               Visit visit)
{
    for (std::size_t j = 0; j < count; ++j) {
        if (j + kPrefetchAhead < count) {
            locked.Prefetch(recordAt(j + kPrefetchAhead));
        }
        if (j + kPrefetchTextAhead < count) {
            const std::size_t ahead = j + kPrefetchTextAhead;
            const std::size_t from = textFrom(ahead);
            if (from == kNowhere) {
                locked.PrefetchText(recordAt(ahead));
            } else {
                PrefetchFrom(locked.View(recordAt(ahead)), from);
            }
        }
        visit(j, locked.View(recordAt(j)));
    }
}

enum class Verdict { Fails, Passes, NeedsText };

// Judges a record by the checks: from what is known without its text when `view` is null (NeedsText
// when that is not enough), else reading the text where needed. `place` is set to where the placed
// term cannot start before (kUnplaced: anywhere).
Verdict Judge(const std::vector<TextCheck>& checks, const Placing& placing, int record, const Earlier& earlier,
              const RecordView* view, std::uint32_t& place)
{
    place = kUnplaced;
    bool needsText = false;
    for (const TextCheck& check : checks) {
        const bool placed = check.term == placing.term;
        if (check.passedBefore && earlier.tested) {
            if (placed && placing.shift == 0) {
                place = earlier.place; // where a prefix of the term cannot start before
            }
            continue;
        }
        if (check.term->excluded && !Bit(check.mayHold, record)) {
            continue;
        }
        if (placed && placing.nextClass != 0 && earlier.tested && (earlier.followers & kFollowersKnown) != 0) {
            if (((earlier.followers >> placing.nextClass) & 1) == 0) {
                return Verdict::Fails;
            }
            place = earlier.place;
            continue;
        }
        if (view == nullptr) {
            needsText = true;
            continue;
        }
        if (placed) {
            const std::size_t found =
                FindFoldedJoined(view->Title, view->FullText, check.term->text, SearchFrom(placing, earlier));
            if (found == kNowhere) {
                return Verdict::Fails;
            }
            place = PlaceOf(found);
        } else if (ContainsFoldedJoined(view->Title, view->FullText, check.term->text) == check.term->excluded) {
            return Verdict::Fails;
        }
    }
    return needsText ? Verdict::NeedsText : Verdict::Passes;
}

// The matches among the records the index holds, and (when the placed term is looked for in texts)
// where it cannot start before in each. The index gives, per term, the records that may hold it (and
// for short terms exactly those that do); only records left after every term's answer are read, and
// only for the terms nothing else settles. With a narrowed answer, the records it tested must be among
// its matches, are not searched again for the terms they passed, and the placed term is looked for
// from where the earlier one was, or answered by the classes that followed it.
ScanEnd IndexedScan(ResultStore& store, const CompiledFilter& filter, const GramIndex& index,
                    const Narrowing* narrowing, int threads, std::uint64_t generation, const std::atomic<int>* cancel,
                    std::vector<std::vector<int>>& found, std::vector<std::vector<std::uint32_t>>& foundPlaces,
                    std::vector<int>& matches, std::vector<std::uint32_t>& places)
{
    const std::size_t rows = static_cast<std::size_t>(index.Records() / GramIndex::kRowRecords);
    std::vector<std::uint64_t> must(rows, ~std::uint64_t{0});
    std::vector<TextCheck> checks;
    std::vector<std::uint64_t> words;
    bool newestSearched = false;
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
                newestSearched = newestSearched || &term == filter.Newest();
            }
        } else if (exact) {
            for (std::size_t r = 0; r < rows; ++r) {
                must[r] &= ~words[r];
            }
        } else {
            checks.push_back(TextCheck{&term, words, passed});
        }
    }
    Placing placing;
    if (newestSearched) {
        placing.term = filter.Newest();
        if (narrowing != nullptr && !narrowing->placedTerm.empty()) {
            const std::string& shorter = narrowing->placedTerm;
            placing.shift = placing.term->text.find(shorter);
            if (placing.shift == 0 && placing.term->text.size() == shorter.size() + 1) {
                placing.nextClass = GramIndex::Class(placing.term->text.back());
            }
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
    const bool earlierPlaces = placing.shift != kNowhere && narrowing->placedAt.size() == narrowing->matches.size();
    const bool earlierFollowers = placing.nextClass != 0 && narrowing->followers.size() == narrowing->matches.size();
    const std::size_t parts = PartsFor(threads, rows * GramIndex::kRowRecords);
    ClearParts(foundPlaces, parts);
    constexpr std::size_t kRowsPerBatch = kFilterBatch / GramIndex::kRowRecords;
    const ScanEnd end = RunParts(
        parts,
        [&](std::size_t p, std::vector<int>& into) {
            std::vector<std::uint32_t>& intoPlaces = foundPlaces[p];
            std::vector<int> batch;
            std::vector<Earlier> known;
            std::vector<Verdict> verdicts;
            std::vector<std::uint32_t> batchPlaces;
            std::vector<std::size_t> toRead;
            const std::size_t firstRow = rows * p / parts;
            const std::size_t lastRow = rows * (p + 1) / parts;
            std::size_t candidates = 0;
            for (std::size_t r = firstRow; r < lastRow; ++r) {
                candidates += static_cast<std::size_t>(__builtin_popcountll(must[r]));
            }
            ReservePresent(into, candidates);
            if (placing.term != nullptr) {
                ReservePresent(intoPlaces, candidates);
            }
            // The narrowed answer's matches are walked beside the candidates for what it knew of them.
            std::size_t cursor = 0;
            if (narrowing != nullptr) {
                cursor = static_cast<std::size_t>(std::lower_bound(narrowing->matches.begin(), narrowing->matches.end(),
                                                                   static_cast<int>(firstRow * 64) + 1) -
                                                  narrowing->matches.begin());
            }
            for (std::size_t from = firstRow; from < lastRow; from += kRowsPerBatch) {
                if (Raised(cancel)) {
                    return ScanEnd::Cancelled;
                }
                if (checks.empty()) { // the index's answer is the answer
                    for (std::size_t r = from; r < std::min(lastRow, from + kRowsPerBatch); ++r) {
                        for (std::uint64_t word = must[r]; word != 0; word &= word - 1) {
                            into.push_back(static_cast<int>(r * 64) + __builtin_ctzll(word) + 1);
                        }
                    }
                    continue;
                }
                batch.clear();
                known.clear();
                for (std::size_t r = from; r < std::min(lastRow, from + kRowsPerBatch); ++r) {
                    for (std::uint64_t word = must[r]; word != 0; word &= word - 1) {
                        const int n = static_cast<int>(r * 64) + __builtin_ctzll(word) + 1;
                        Earlier earlier;
                        if (n <= tested) {
                            while (narrowing->matches[cursor] < n) {
                                ++cursor; // n is among them: records tested before must be
                            }
                            earlier.tested = true;
                            earlier.place = earlierPlaces ? narrowing->placedAt[cursor] : kUnplaced;
                            earlier.followers = earlierFollowers ? narrowing->followers[cursor] : 0;
                        }
                        batch.push_back(n);
                        known.push_back(earlier);
                    }
                }
                // First what is settled without reading; then the texts the rest need, fetched ahead.
                verdicts.resize(batch.size());
                batchPlaces.resize(batch.size());
                toRead.clear();
                for (std::size_t k = 0; k < batch.size(); ++k) {
                    verdicts[k] = Judge(checks, placing, batch[k], known[k], nullptr, batchPlaces[k]);
                    if (verdicts[k] == Verdict::NeedsText) {
                        toRead.push_back(k);
                    }
                }
                if (!toRead.empty()) {
                    auto locked = store.ReadLock();
                    if (locked.Generation() != generation) {
                        return ScanEnd::Changed;
                    }
                    ReadAhead(
                        locked, toRead.size(), [&](std::size_t j) { return batch[toRead[j]]; },
                        [&](std::size_t j) {
                            const Earlier& earlier = known[toRead[j]];
                            return placing.term != nullptr && earlier.place != kUnplaced ? SearchFrom(placing, earlier)
                                                                                         : kNowhere;
                        },
                        [&](std::size_t j, const RecordView& view) {
                            const std::size_t k = toRead[j];
                            verdicts[k] = Judge(checks, placing, batch[k], known[k], &view, batchPlaces[k]);
                        });
                }
                for (std::size_t k = 0; k < batch.size(); ++k) {
                    if (verdicts[k] == Verdict::Passes) {
                        into.push_back(batch[k]);
                        if (placing.term != nullptr) {
                            intoPlaces.push_back(batchPlaces[k]);
                        }
                    }
                }
            }
            return ScanEnd::Done;
        },
        found, matches);
    if (placing.term != nullptr) {
        JoinParts(foundPlaces, parts, places);
    }
    return end;
}

QuickFilterResult Listed(const std::vector<int>& ascending, std::vector<int>* room)
{
    QuickFilterResult result;
    if (room != nullptr) {
        result.records.swap(*room);
    }
    result.records.clear();
    ReservePresent(result.records, ascending.size());
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
    std::vector<std::uint32_t>& places = memo.m_sparePlaces;
    places.clear();
    std::vector<std::vector<int>>& found = memo.m_found;
    const bool narrows = memo.m_valid && memo.m_store == &store && memo.m_generation == generation &&
                         memo.m_tested <= count && compiled.Narrows(memo.m_filter);
    const bool indexCurrent =
        run.index != nullptr && run.index->Generation() == generation && run.index->Records() <= count;
    const int indexed = indexCurrent ? run.index->Records() : 0;
    ScanEnd end = ScanEnd::Done;
    if (indexed > 0) {
        const Narrowing narrowing{memo.m_matches,    memo.m_tested,   memo.m_filter,
                                  memo.m_placedTerm, memo.m_placedAt, memo.m_followers};
        end = IndexedScan(store, compiled, *run.index, narrows ? &narrowing : nullptr, run.threads, generation,
                          run.cancel, found, memo.m_foundPlaces, matches, places);
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
        places.clear();
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
    if (!places.empty()) {
        places.resize(memo.m_matches.size(), kUnplaced); // records read without the index
    }
    memo.m_placedAt.swap(places);
    memo.m_followers.clear();
    const CompiledFilter::Term* newest = compiled.Newest();
    memo.m_placedTerm = newest != nullptr && !newest->excluded ? newest->text : std::string();
    memo.m_prepared = false;
    memo.m_filter = std::move(compiled);
    return Listed(memo.m_matches, run.room);
}

bool QuickFilterMemo::Unprepared() const
{
    // After a one-byte term the next key makes a two-byte one, which the index answers from its bits.
    return m_valid && !m_prepared && m_placedTerm.size() >= 2;
}

namespace {

// Where `term` first occurs in Title followed by FullText from `from` on (kNowhere: nowhere), and
// into `followers` the classes of the bytes that follow its occurrences.
std::size_t Occurrences(const RecordView& view, std::string_view term, std::size_t from, std::uint64_t& followers)
{
    const std::size_t first = FindFoldedJoined(view.Title, view.FullText, term, from);
    for (std::size_t at = first; at != kNowhere; at = FindFoldedJoined(view.Title, view.FullText, term, at + 1)) {
        const std::size_t next = at + term.size();
        if (next < view.Title.size()) {
            followers |= std::uint64_t{1} << GramIndex::Class(view.Title[next]);
        } else if (next - view.Title.size() < view.FullText.size()) {
            followers |= std::uint64_t{1} << GramIndex::Class(view.FullText[next - view.Title.size()]);
        }
    }
    return first;
}

} // namespace

bool PrepareForNextKey(ResultStore& store, QuickFilterMemo& memo, const QuickFilterRun& run)
{
    if (!memo.Unprepared()) {
        return true;
    }
    const std::size_t total = memo.m_matches.size();
    std::vector<std::uint32_t>& places = memo.m_placedAt;
    std::vector<std::uint64_t>& followers = memo.m_followers;
    ReservePresent(places, total);
    ReservePresent(followers, total);
    places.resize(total, kUnplaced);
    followers.resize(total, 0);
    const std::size_t parts = PartsFor(run.threads, total);
    // Each text is read whole here, so batches are short: the next key waits for the one under way.
    constexpr std::size_t kBatch = 256;
    const ScanEnd end = RunOnThreads(parts, [&](std::size_t p) {
        std::vector<std::size_t> batch; // indices into the matches
        for (std::size_t from = total * p / parts, last = total * (p + 1) / parts; from < last; from += kBatch) {
            if (Raised(run.cancel)) {
                return ScanEnd::Cancelled;
            }
            batch.clear();
            for (std::size_t k = from; k < std::min(last, from + kBatch); ++k) {
                if ((followers[k] & kFollowersKnown) == 0) {
                    batch.push_back(k);
                }
            }
            auto locked = store.ReadLock();
            if (locked.Generation() != memo.m_generation) {
                return ScanEnd::Changed;
            }
            ReadAhead(
                locked, batch.size(), [&](std::size_t j) { return memo.m_matches[batch[j]]; },
                [](std::size_t) { return kNowhere; },
                [&](std::size_t j, const RecordView& view) {
                    const std::size_t k = batch[j];
                    std::uint64_t seen = kFollowersKnown;
                    places[k] =
                        PlaceOf(Occurrences(view, memo.m_placedTerm, places[k] == kUnplaced ? 0 : places[k], seen));
                    followers[k] = seen;
                });
        }
        return ScanEnd::Done;
    });
    // Done also when the records changed: the next answer starts afresh then.
    memo.m_prepared = end != ScanEnd::Cancelled;
    return memo.m_prepared;
}

} // namespace trawl

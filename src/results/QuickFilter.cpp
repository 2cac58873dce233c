#include "results/QuickFilter.h"

#include "app/TextUtil.h"
#include "results/ResultStore.h"

#include <algorithm>
#include <cstring>

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

// Whether `needle` (lower case) occurs in `haystack` ignoring ASCII case.
bool ContainsFolded(std::string_view haystack, std::string_view needle)
{
    if (needle.empty()) {
        return true;
    }
    if (needle.size() > haystack.size()) {
        return false;
    }
    const char first = needle[0];
    const char firstUpper = UpperAscii(first);
    const char* data = haystack.data();
    const std::size_t last = haystack.size() - needle.size(); // last possible start
    std::size_t at = 0;
    while (at <= last) {
        // Next position where the first byte matches in either case.
        const void* lower = std::memchr(data + at, first, last - at + 1);
        const void* upper = firstUpper == first ? nullptr : std::memchr(data + at, firstUpper, last - at + 1);
        const char* hit = static_cast<const char*>(lower);
        if (upper != nullptr && (hit == nullptr || static_cast<const char*>(upper) < hit)) {
            hit = static_cast<const char*>(upper);
        }
        if (hit == nullptr) {
            return false;
        }
        std::size_t k = 1;
        while (k < needle.size() && LowerAscii(hit[k]) == needle[k]) {
            ++k;
        }
        if (k == needle.size()) {
            return true;
        }
        at = static_cast<std::size_t>(hit - data) + 1;
    }
    return false;
}

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

bool MatchesFilter(std::string_view text, std::string_view filter) { return CompiledFilter(filter).Matches(text, {}); }

QuickFilterResult ApplyQuickFilter(ResultStore& store, std::string_view filter)
{
    const CompiledFilter compiled(filter);
    QuickFilterResult result;
    store.ForEach([&](int record, const RecordView& view) {
        if (compiled.Matches(view.Title, view.FullText)) {
            result.records.push_back(record);
        }
    });
    std::reverse(result.records.begin(), result.records.end());
    result.count = static_cast<int>(result.records.size());
    return result;
}

} // namespace trawl

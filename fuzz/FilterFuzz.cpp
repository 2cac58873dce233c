// The quick filter: the normaliser, the one-shot matcher, the compiled matcher and the first place of
// a term agree with a plain implementation of the filter language (lower-case both sides, then
// std::string::find).
#include "FuzzSupport.h"
#include "app/TextUtil.h"
#include "results/QuickFilter.h"

using namespace trawl;
using trawl::fuzz::Check;

namespace {

std::string PlainNormalise(std::string_view filter)
{
    std::string out;
    bool inQuotes = false;
    for (char c : filter) {
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ' ' && !inQuotes) {
            out.push_back(',');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

bool PlainMatches(std::string_view text, std::string_view filter)
{
    const std::string haystack = fuzz::PlainLower(text);
    for (const std::string& part : SplitPlain(PlainNormalise(fuzz::PlainLower(filter)))) {
        std::string term = TrimmedCopy(part);
        if (term.empty()) {
            continue;
        }
        const bool excluded = term[0] == '-';
        if (excluded) {
            term.erase(0, 1);
        }
        const bool found = haystack.find(term) != std::string::npos;
        if (found == excluded) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // "filter \0 title \0 full text"
    const auto parts = fuzz::SplitParts(fuzz::AsText(data, size), '\0', 3);
    const std::string_view filter = parts[0];
    const std::string_view title = parts.size() > 1 ? parts[1] : std::string_view();
    const std::string_view fullText = parts.size() > 2 ? parts[2] : std::string_view();

    const std::string normalised = NormaliseFilter(filter);
    Check(normalised == PlainNormalise(filter), "NormaliseFilter differs", filter);
    Check(NormaliseFilter(filter) == normalised, "the cached normal form differs", filter);

    std::string joined(title);
    joined.append(fullText);
    const bool plain = PlainMatches(joined, filter);
    Check(MatchesFilter(joined, filter) == plain, "MatchesFilter differs from the plain matcher", filter);
    const CompiledFilter compiled(filter);
    Check(compiled.Matches(title, fullText) == plain, "CompiledFilter across title and text differs", filter);
    Check(compiled.Matches(joined, {}) == plain, "CompiledFilter on one text differs", filter);
    Check(compiled.Matches({}, joined) == plain, "CompiledFilter on the second text differs", filter);

    // Where a term first occurs, from a start anywhere up to one past the end.
    const std::string lowerJoined = fuzz::PlainLower(joined);
    const std::size_t from = size % (joined.size() + 2);
    for (const CompiledFilter::Term& term : compiled.Terms()) {
        Check(FindFolded(joined, term.text, from) == lowerJoined.find(term.text, from),
              "FindFolded differs from the plain find", filter);
    }
    return 0;
}

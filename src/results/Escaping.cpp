#include "results/Escaping.h"

#include <array>
#include <cstring>
#include <emmintrin.h>
#include <vector>

namespace trawl {

namespace {

// Bytes that EscapeField replaces.
constexpr auto kNeedsEscape = [] {
    std::array<bool, 256> table{};
    for (unsigned char c : {'\\', '"', '\r', '\n', '\f'}) {
        table[c] = true;
    }
    return table;
}();

// The first byte at or after `from` that needs escaping, or `size`. Sixteen bytes at a time: texts
// are long and such bytes rare.
std::size_t NextToEscape(const char* p, std::size_t from, std::size_t size)
{
    std::size_t i = from;
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i ff = _mm_set1_epi8('\f');
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i hits = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, backslash), _mm_cmpeq_epi8(v, quote)),
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)), _mm_cmpeq_epi8(v, ff)));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        if (mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(mask));
        }
    }
    while (i < size && !kNeedsEscape[static_cast<unsigned char>(p[i])]) {
        ++i;
    }
    return i;
}

} // namespace

void AppendEscaped(std::string& out, std::string_view text)
{
    // One pass gives the same text as replacing \, ", CR LF, CR, LF and form feed one after the
    // other: no replacement produces a byte that a later one would match.
    const char* p = text.data();
    const std::size_t size = text.size();
    std::size_t runStart = 0;
    std::size_t i = 0;
    while (true) {
        i = NextToEscape(p, i, size);
        out.append(p + runStart, i - runStart);
        if (i == size) {
            return;
        }
        switch (p[i]) {
        case '\\':
            out.append("\\\\", 2);
            break;
        case '"':
            out.append("\\\"", 2);
            break;
        case '\r':
            if (i + 1 < size && p[i + 1] == '\n') {
                ++i;
            }
            out.append("\\n", 2);
            break;
        default:
            out.append("\\n", 2);
            break;
        }
        runStart = ++i;
    }
}

std::string EscapeField(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    AppendEscaped(out, text);
    return out;
}

namespace {

bool IsEscapeUnit(std::string_view text, std::size_t i)
{
    if (text[i] != '\\' || i + 1 >= text.size()) {
        return false;
    }
    const char next = text[i + 1];
    return next == '\\' || next == '"' || next == 'n';
}

// Marks each double quote that is the second byte of a \" unit, reading units left to right, so
// that in \\" the quote is a real one.
std::vector<bool> EscapedQuotes(std::string_view line)
{
    std::vector<bool> escaped(line.size(), false);
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (IsEscapeUnit(line, i)) {
            escaped[i + 1] = line[i + 1] == '"';
            ++i;
        }
    }
    return escaped;
}

std::string Unescape(std::string_view raw)
{
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (!IsEscapeUnit(raw, i)) {
            out += raw[i];
            continue;
        }
        ++i;
        if (raw[i] == 'n') {
            out += "\r\n";
        } else {
            out += raw[i];
        }
    }
    return out;
}

} // namespace

std::string ReadRecordField(std::string_view line, int n)
{
    if (n < 1) {
        return {};
    }
    const std::vector<bool> escaped = EscapedQuotes(line);
    std::size_t pos = 0;
    for (int field = 1;; ++field) {
        while (pos < line.size() && line[pos] == ' ') {
            ++pos;
        }
        std::string_view raw;
        std::size_t comma;
        if (pos < line.size() && line[pos] == '"') {
            std::size_t close = pos + 1;
            while (close < line.size() && (line[close] != '"' || escaped[close])) {
                ++close;
            }
            raw = line.substr(pos + 1, close - pos - 1);
            comma = close < line.size() ? line.find(',', close + 1) : std::string_view::npos;
        } else {
            comma = line.find(',', pos);
            raw = line.substr(pos, (comma == std::string_view::npos ? line.size() : comma) - pos);
            while (!raw.empty() && raw.back() == ' ') {
                raw.remove_suffix(1);
            }
        }
        if (field == n) {
            return Unescape(raw);
        }
        if (comma == std::string_view::npos) {
            return {};
        }
        pos = comma + 1;
    }
}

namespace {

// Appends p[from, to) with escape units undone; the units never straddle `to` because callers cut
// before a comma, a space or a real quote.
void AppendUnescaped(std::string& out, const char* p, std::size_t from, std::size_t to)
{
    while (from < to) {
        const void* hit = std::memchr(p + from, '\\', to - from);
        if (hit == nullptr) {
            out.append(p + from, to - from);
            return;
        }
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - p);
        out.append(p + from, at - from);
        if (at + 1 < to && (p[at + 1] == '\\' || p[at + 1] == '"')) {
            out.push_back(p[at + 1]);
            from = at + 2;
        } else if (at + 1 < to && p[at + 1] == 'n') {
            out.append("\r\n", 2);
            from = at + 2;
        } else {
            out.push_back('\\');
            from = at + 1;
        }
    }
}

const char* FindComma(const char* p, std::size_t from, std::size_t size)
{
    return from < size ? static_cast<const char*>(std::memchr(p + from, ',', size - from)) : nullptr;
}

} // namespace

void ReadRecordFields(std::string_view line, ResultRecord& into)
{
    std::string* const fields[6] = {&into.Date, &into.Title, &into.City, &into.Section, &into.URI, &into.FullText};
    for (std::string* field : fields) {
        field->clear();
    }
    const char* p = line.data();
    const std::size_t size = line.size();
    std::size_t pos = 0;
    for (std::string* field : fields) {
        while (pos < size && p[pos] == ' ') {
            ++pos;
        }
        const char* comma;
        if (pos < size && p[pos] == '"') {
            // The closing quote is the first quote that is not the second byte of a \" unit; escape
            // units are undone on the way, so each byte is looked at once (by memchr, mostly).
            std::size_t at = pos + 1;
            std::size_t close = size;
            std::size_t quoteAt = 0; // the next quote at or after `at`, looked for again once passed
            while (at < size) {
                if (quoteAt < at) {
                    const void* quote = std::memchr(p + at, '"', size - at);
                    quoteAt = quote ? static_cast<std::size_t>(static_cast<const char*>(quote) - p) : size;
                }
                const void* slash = quoteAt > at ? std::memchr(p + at, '\\', quoteAt - at) : nullptr;
                if (slash == nullptr) {
                    field->append(p + at, quoteAt - at);
                    close = quoteAt;
                    break;
                }
                const std::size_t slashAt = static_cast<std::size_t>(static_cast<const char*>(slash) - p);
                field->append(p + at, slashAt - at);
                const char next = slashAt + 1 < size ? p[slashAt + 1] : '\0';
                if (next == '\\' || next == '"') {
                    field->push_back(next);
                    at = slashAt + 2;
                } else if (next == 'n') {
                    field->append("\r\n", 2);
                    at = slashAt + 2;
                } else {
                    field->push_back('\\');
                    at = slashAt + 1;
                }
            }
            if (close >= size) {
                return;
            }
            comma = FindComma(p, close + 1, size);
        } else {
            comma = FindComma(p, pos, size);
            std::size_t end = comma != nullptr ? static_cast<std::size_t>(comma - p) : size;
            while (end > pos && p[end - 1] == ' ') {
                --end;
            }
            AppendUnescaped(*field, p, pos, end);
        }
        if (comma == nullptr) {
            return;
        }
        pos = static_cast<std::size_t>(comma - p) + 1;
    }
}

} // namespace trawl

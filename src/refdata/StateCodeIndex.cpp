#include "refdata/StateCodeIndex.h"

#include "app/TextUtil.h"
#include "refdata/Geography.h"
#include "sites/Endpoints.h"

#include <algorithm>
#include <cstring>
#include <deque>

namespace trawl {

namespace {

constexpr std::string_view kUnknownState = "--";

enum class Table { Craigslist, Kijiji, Marker };

struct Pattern {
    std::string_view text;
    Table table;
    std::int32_t row;
};

// Where the host of a link ends: the first "/" after the first "//"; npos when there is none. Links
// are short and their host comes early, so a plain loop beats the library's searches here.
std::size_t HostEnd(std::string_view link)
{
    std::size_t at = 0;
    while (at + 1 < link.size() && !(link[at] == '/' && link[at + 1] == '/')) {
        ++at;
    }
    for (at += 2; at < link.size(); ++at) {
        if (link[at] == '/') {
            return at;
        }
    }
    return std::string_view::npos;
}

// A slot for a host, from a few of its bytes: hosts that share a slot only cost a walk more.
std::size_t HostSlot(std::string_view host)
{
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    // The bytes after "http://" tell cities apart; the last ones tell sites and longer names apart.
    const std::size_t from = std::min<std::size_t>(7, host.size());
    std::memcpy(&head, host.data() + from, std::min<std::size_t>(8, host.size() - from));
    std::memcpy(&tail, host.data() + host.size() - std::min<std::size_t>(8, host.size()),
                std::min<std::size_t>(8, host.size()));
    const std::uint64_t mixed = (head * 0x9E3779B97F4A7C15ull) ^ (tail * 0xC2B2AE3D27D4EB4Full) ^ host.size();
    return static_cast<std::size_t>(mixed >> 54); // 10 bits: kHostSlots
}

} // namespace

void StateCodeIndex::Found::Take(const Found& other)
{
    craigslistRow = std::min(craigslistRow, other.craigslistRow);
    kijijiRow = std::min(kijijiRow, other.kijijiRow);
    marker = marker || other.marker;
}

StateCodeIndex::StateCodeIndex(const ReferenceTables& tables)
{
    for (const CLStateEntry& entry : tables.CLStateTable) {
        m_craigslistCodes.push_back(entry.StateCode);
    }
    for (const KJCity& city : tables.KJCityTable) {
        m_kijijiCodes.emplace_back(StateCodeOfKijijiCity(city));
    }
    Build(tables);
}

void StateCodeIndex::Build(const ReferenceTables& tables)
{
    std::vector<Pattern> patterns;
    // An empty link would occur in every link: it matches nothing.
    for (std::size_t row = 0; row < tables.CLStateTable.size(); ++row) {
        if (!tables.CLStateTable[row].CityURI.empty()) {
            patterns.push_back({tables.CLStateTable[row].CityURI, Table::Craigslist, static_cast<std::int32_t>(row)});
        }
    }
    for (std::size_t row = 0; row < tables.KJCityTable.size(); ++row) {
        if (!tables.KJCityTable[row].URL.empty()) {
            patterns.push_back({tables.KJCityTable[row].URL, Table::Kijiji, static_cast<std::int32_t>(row)});
        }
    }
    patterns.push_back({endpoints::kCraigslistLinkMarker, Table::Marker, 0});

    // Columns: one for each byte some pattern holds, 0 for every other. The text is lower-cased, so a
    // text byte takes the column of its lower-case form; a capital in a pattern gets a column that no
    // text byte reaches, and so never matches, as in the plain lookup.
    std::array<std::uint32_t, 256> patternColumn{};
    std::uint32_t columns = 1;
    for (const Pattern& pattern : patterns) {
        for (const char c : pattern.text) {
            std::uint32_t& column = patternColumn[static_cast<unsigned char>(c)];
            if (column == 0) {
                column = columns++;
            }
        }
    }
    for (unsigned byte = 0; byte < 256; ++byte) {
        m_column[byte] = patternColumn[static_cast<unsigned char>(LowerAscii(static_cast<char>(byte)))];
    }
    while ((1u << m_shift) < columns) {
        ++m_shift;
    }
    m_shift = std::max(m_shift, 1u); // bit 0 of a row number is the "something ends here" flag
    const std::size_t width = std::size_t{1} << m_shift;

    // The trie; -1 for no edge yet.
    std::vector<std::int64_t> next(width, -1);
    m_found.assign(1, Found{});
    for (const Pattern& pattern : patterns) {
        std::size_t state = 0;
        for (const char c : pattern.text) {
            const std::size_t edge = state * width + patternColumn[static_cast<unsigned char>(c)];
            if (next[edge] < 0) {
                next[edge] = static_cast<std::int64_t>(m_found.size());
                m_found.emplace_back();
                next.resize(next.size() + width, -1);
            }
            state = static_cast<std::size_t>(next[edge]);
        }
        Found& found = m_found[state];
        switch (pattern.table) {
        case Table::Craigslist:
            found.craigslistRow = std::min(found.craigslistRow, pattern.row);
            break;
        case Table::Kijiji:
            found.kijijiRow = std::min(found.kijijiRow, pattern.row);
            break;
        case Table::Marker:
            found.marker = true;
            break;
        }
    }

    // Failure links breadth first, turning the trie into a full transition table; each state also
    // takes what ends at its longest proper suffix that is a state, so it knows every link ending
    // where it stands.
    std::vector<std::size_t> fail(m_found.size(), 0);
    std::deque<std::size_t> queue;
    for (std::size_t column = 0; column < width; ++column) {
        if (next[column] < 0) {
            next[column] = 0;
        } else {
            queue.push_back(static_cast<std::size_t>(next[column]));
        }
    }
    while (!queue.empty()) {
        const std::size_t state = queue.front();
        queue.pop_front();
        m_found[state].Take(m_found[fail[state]]);
        for (std::size_t column = 0; column < width; ++column) {
            std::int64_t& edge = next[state * width + column];
            const std::int64_t viaFail = next[fail[state] * width + column];
            if (edge < 0) {
                edge = viaFail;
            } else {
                fail[static_cast<std::size_t>(edge)] = static_cast<std::size_t>(viaFail);
                queue.push_back(static_cast<std::size_t>(edge));
            }
        }
    }

    // Edges as row numbers, so a step is one load and an add; the flag tells when to look at m_found.
    m_next.resize(next.size());
    for (std::size_t i = 0; i < next.size(); ++i) {
        const auto state = static_cast<std::size_t>(next[i]);
        const Found& found = m_found[state];
        const bool something = found.marker || found.craigslistRow != INT32_MAX || found.kijijiRow != INT32_MAX;
        m_next[i] = static_cast<std::uint32_t>(state << m_shift) | (something ? 1u : 0u);
    }
    for (unsigned byte = 0; byte < 256; ++byte) {
        m_leavesStart[byte] = m_next[m_column[byte]] != 0;
    }
}

std::uint32_t StateCodeIndex::Walk(std::string_view text, std::uint32_t row, Found& found) const
{
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at != end) {
        if (row == 0) {
            // At the start most bytes lead nowhere (no link begins with them): those are passed over
            // without a step through the table each, which would wait for the one before.
            while (at != end && !m_leavesStart[static_cast<unsigned char>(*at)]) {
                ++at;
            }
            if (at == end) {
                break;
            }
        }
        const std::uint32_t edge = m_next[row + m_column[static_cast<unsigned char>(*at++)]];
        row = edge & ~1u;
        if ((edge & 1u) != 0) {
            found.Take(m_found[row >> m_shift]);
        }
    }
    return row;
}

std::string_view StateCodeIndex::CodeOfLink(std::string_view link)
{
    Found found;
    std::uint32_t row = 0;
    std::string_view rest = link;
    const std::size_t slash = HostEnd(link);
    if (slash <= kHostBytes) {
        // The state after the host is the same whatever follows it, so remembering it changes nothing.
        const std::string_view host = link.substr(0, slash);
        static_assert(kHostSlots == std::size_t{1} << 10, "HostSlot gives 10 bits");
        HostState& memo = m_hosts[HostSlot(host)];
        if (memo.length != host.size() || std::memcmp(memo.host, host.data(), host.size()) != 0) {
            memo.length = static_cast<std::uint32_t>(host.size());
            std::memcpy(memo.host, host.data(), host.size());
            memo.found = Found{};
            memo.row = Walk(host, 0, memo.found);
        }
        row = memo.row;
        found = memo.found;
        rest = link.substr(slash);
    }
    Walk(rest, row, found);
    const std::int32_t first = found.marker ? found.craigslistRow : found.kijijiRow;
    if (first == INT32_MAX) {
        return kUnknownState;
    }
    return (found.marker ? m_craigslistCodes : m_kijijiCodes)[static_cast<std::size_t>(first)];
}

} // namespace trawl

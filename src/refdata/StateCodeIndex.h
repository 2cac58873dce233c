#pragma once

#include "refdata/ReferenceTables.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trawl {

// StateCodeOfLink for many links against the same tables (a CSV export of a million records): the
// same answer, from one pass over each link instead of a substring search per table row.
//
// The Craigslist state links, the Kijiji city links and the Craigslist link marker together make one
// automaton (Aho-Corasick) that reads the lower-cased link byte by byte. Each state knows the lowest
// row of each table among the links that end where it stands, and whether the marker does; the lowest
// row over the whole pass is the first matching row in table order, as the plain scan finds it.
//
// The links of one export come from a few hundred hosts, and the host is half of a link: where the
// automaton stands after a host is remembered, so most links are read from their first "/" on.
// Not thread-safe (that memory changes as links are looked up): one export, one thread.
class StateCodeIndex {
public:
    explicit StateCodeIndex(const ReferenceTables& tables);

    // "--" when no row matches, or the row's state is not in the United States or Canadian table.
    std::string_view CodeOfLink(std::string_view link);

private:
    // What ends at a state: the lowest row of each table, and the marker.
    struct Found {
        std::int32_t craigslistRow = INT32_MAX;
        std::int32_t kijijiRow = INT32_MAX;
        bool marker = false;
        void Take(const Found& other);
    };
    void Build(const ReferenceTables& tables);
    // Reads `text` on from `row`, adding what ends on the way to `found`; returns the row it ends at.
    std::uint32_t Walk(std::string_view text, std::uint32_t row, Found& found) const;

    // Where the automaton stands after a link's scheme and host ("http://sfbay.craigslist.org"); the
    // host is kept in place, so a look-up reads one slot and nothing behind it. Longer hosts are read
    // every time.
    static constexpr std::size_t kHostBytes = 44;
    struct HostState {
        std::uint32_t length = 0; // 0: an empty slot (a host is never empty)
        char host[kHostBytes];
        std::uint32_t row = 0;
        Found found;
    };
    static constexpr std::size_t kHostSlots = 1024; // a slot keeps the last host hashed to it

    // Byte of the text -> its column (the byte lower-cased; column 0 for bytes no link holds).
    std::array<std::uint32_t, 256> m_column{};
    std::array<bool, 256> m_leavesStart{}; // byte (not lower-cased) -> the start state goes elsewhere on it
    unsigned m_shift = 0;                  // a state's row is (state << m_shift); rows are a power of two wide
    // Row (state << m_shift) + column -> the next state's row, with bit 0 set when something ends there.
    std::vector<std::uint32_t> m_next;
    std::vector<Found> m_found;                 // per state
    std::vector<std::string> m_craigslistCodes; // per CLStateTable row
    std::vector<std::string> m_kijijiCodes;     // per KJCityTable row
    std::vector<HostState> m_hosts = std::vector<HostState>(kHostSlots);
};

} // namespace trawl

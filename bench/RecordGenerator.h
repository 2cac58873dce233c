#pragma once

#include "results/ResultRecord.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trawl {
class ResultStore;
}

namespace trawl::bench {

// Realistic result records made quickly and deterministically, for benchmarks:
// - URI: 45 to 100 bytes, three Craigslist links ("http://CITY.craigslist.org/bik/1234567890.html",
//   some with an area folder) to one Kijiji link ("http://CITY.kijiji.ca/c-SLUG-W0QQAdIdZ1234567890");
//   the ten digits are 1000000000 + the record's index, so every link is unique;
// - Title: exactly 60 bytes of mixed-case words; City: one of 40 names; Section: one of 16 names;
// - Date: 2023-01-01 to 2024-12-28; NewMark: "Yes" for about three records in ten;
// - FullText: 0 to 3072 bytes cut from a pool of words (3072 x u^2, mean about 1 KB), no line breaks,
//   four in ten with "<!--RSS-->" in front; empty for every record when `emptyTexts`.
// The same seed and index always give the same record, whatever was generated before.
class RecordGenerator {
public:
    explicit RecordGenerator(std::uint32_t seed, bool emptyTexts = false);

    ResultRecord Record(std::size_t index) const;
    // The same, reusing the strings' storage.
    void Record(std::size_t index, ResultRecord& into) const;

private:
    std::uint64_t m_seed;
    bool m_emptyTexts;
    std::string m_pool; // words the texts are cut from
};

std::vector<ResultRecord> GenerateRecords(std::size_t n, std::uint32_t seed, bool emptyTexts = false);

// Appends records 0..n-1 to the store as loaded records (new mark as generated); stops when the store
// is full. Returns the number appended. Generates one record at a time, so a million records never
// exist twice in memory.
std::size_t FillStore(ResultStore& store, std::size_t n, std::uint32_t seed, bool emptyTexts = false);

// The 40 city host names the links are made with ("sfbay" for "http://sfbay.craigslist.org/...").
std::span<const std::string_view> GeneratedCityHosts();

// The index a generated link was made for (its last ten digits minus 1000000000).
std::size_t GeneratedIndexOfLink(std::string_view link);

// Words that occur, in mixed case, in generated titles and texts: with seed 20240315 and texts, "bike"
// is in 45% of the records (title followed by text), "vintage" in 12%, both in 6%.
inline constexpr std::string_view kCommonWord = "bike";
inline constexpr std::string_view kRareWord = "vintage";

} // namespace trawl::bench

// The sort compares keys by their first 16 bytes held inline and falls back to the whole key; these
// checks hold it to the plain algorithm on keys built to hit every boundary of that shortcut.

#include "results/Sort.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace trawl {
namespace {

// The list's quicksort over the keys themselves, comparing with std::string only.
std::vector<int> PlainQuicksortOrder(std::vector<std::string> keys, bool descending)
{
    std::vector<int> order(keys.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        order[k] = static_cast<int>(k);
    }
    if (keys.size() < 2) {
        return order;
    }
    auto before = [descending](const std::string& a, const std::string& p) { return descending ? a > p : a < p; };
    std::vector<std::pair<int, int>> stack;
    int lo = 1, hi = static_cast<int>(keys.size());
    while (true) {
        const std::string pivot = keys[static_cast<std::size_t>(lo / 2 + hi / 2 - 1)];
        int i = lo, j = hi;
        do {
            while (before(keys[static_cast<std::size_t>(i - 1)], pivot))
                ++i;
            while (before(pivot, keys[static_cast<std::size_t>(j - 1)]))
                --j;
            if (i <= j) {
                if (i < j) {
                    std::swap(keys[static_cast<std::size_t>(i - 1)], keys[static_cast<std::size_t>(j - 1)]);
                    std::swap(order[static_cast<std::size_t>(i - 1)], order[static_cast<std::size_t>(j - 1)]);
                }
                ++i;
                --j;
            }
        } while (i <= j);
        if (i < hi)
            stack.emplace_back(i, hi);
        if (lo < j) {
            hi = j;
            continue;
        }
        if (stack.empty())
            break;
        std::tie(lo, hi) = stack.back();
        stack.pop_back();
    }
    return order;
}

void ExpectSameOrder(const std::vector<std::string>& keys)
{
    const std::vector<std::string_view> views(keys.begin(), keys.end());
    for (bool descending : {false, true}) {
        ASSERT_EQ(QuicksortOrder(views, descending), PlainQuicksortOrder(keys, descending))
            << (descending ? "descending" : "ascending") << ", " << keys.size() << " keys";
    }
}

TEST(QuicksortOrderDiff, keys_around_the_inline_prefix_boundaries)
{
    // Shared stems of 7, 8, 15, 16 and 17 bytes, then endings that are empty, NUL, high bytes or
    // ordinary: keys equal in their first 16 bytes, keys that differ only after them, keys that are
    // prefixes of others, and keys that differ from another only by trailing NULs.
    const std::string stems[] = {"", "abcdefg", "abcdefgh", "abcdefghijklmno", "abcdefghijklmnop", "abcdefghijklmnopq"};
    const std::string endings[] = {"",     std::string(1, '\0'), std::string(2, '\0'), "\x80", "\xff", "a", "b",
                                   "\x7f", std::string("\0a", 2)};
    std::vector<std::string> keys;
    for (const auto& stem : stems) {
        for (const auto& ending : endings) {
            keys.push_back(stem + ending);
            keys.push_back(stem + ending + "tail beyond sixteen bytes");
        }
    }
    std::mt19937 random(31);
    for (int round = 0; round < 40; ++round) {
        std::vector<std::string> sample;
        for (int k = 0; k < 300; ++k) {
            sample.push_back(keys[random() % keys.size()]); // many equal keys
        }
        ExpectSameOrder(sample);
    }
}

TEST(QuicksortOrderDiff, random_keys_from_a_tiny_alphabet_and_long_common_prefixes)
{
    std::mt19937 random(77);
    const std::string alphabet = std::string("a\0\x80\xff", 4);
    for (int round = 0; round < 30; ++round) {
        std::vector<std::string> keys;
        const std::string common(random() % 24, 'x');
        for (int k = 0; k < 500; ++k) {
            std::string key = random() % 2 ? common : "";
            const std::size_t length = random() % 20;
            for (std::size_t c = 0; c < length; ++c) {
                key.push_back(alphabet[random() % alphabet.size()]);
            }
            keys.push_back(key);
        }
        ExpectSameOrder(keys);
    }
}

TEST(QuicksortOrderDiff, sixteen_distinct_values_many_times_over)
{
    // The shape of a section column: few distinct keys, some longer than 16 bytes.
    const std::vector<std::string> names = {"bicycles",
                                            "cars+trucks",
                                            "furniture - by owner",
                                            "general for sale",
                                            "general for sale!",
                                            "a",
                                            "",
                                            "zz",
                                            "antiques",
                                            "appliances",
                                            "arts+crafts",
                                            "atv/utv/sno",
                                            "auto parts",
                                            "baby+kid",
                                            "barter",
                                            "beauty+hlth"};
    std::mt19937 random(5);
    std::vector<std::string> keys;
    for (int k = 0; k < 20000; ++k) {
        keys.push_back(names[random() % names.size()]);
    }
    ExpectSameOrder(keys);
}

} // namespace
} // namespace trawl

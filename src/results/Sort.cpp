#include "results/Sort.h"

#include "app/Prompts.h"
#include "app/RunFlags.h"
#include "app/StatusView.h"
#include "app/TextUtil.h"
#include "results/ResultStore.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace trawl {

namespace {

// A key as the sort moves it: its first 16 bytes as two big-endian numbers (zero padded), so most
// comparisons never touch the key's bytes, which lie scattered in memory.
struct SortItem {
    std::uint64_t high;
    std::uint64_t low;
    std::uint32_t index; // into the keys, and the answer
    std::uint32_t length;
};

std::uint64_t BigEndianAt(std::string_view key, std::size_t from)
{
    std::uint64_t value = 0;
    for (std::size_t k = 0; k < 8; ++k) {
        const std::size_t at = from + k;
        value = (value << 8) | (at < key.size() ? static_cast<unsigned char>(key[at]) : 0u);
    }
    return value;
}

// The sign of keys[x].compare(keys[y]), as memcmp orders bytes (unsigned).
int CompareItems(const SortItem& x, const SortItem& y, const std::vector<std::string_view>& keys)
{
    if (x.high != y.high) {
        return x.high < y.high ? -1 : 1;
    }
    if (x.low != y.low) {
        return x.low < y.low ? -1 : 1;
    }
    if (x.length <= 16 && y.length <= 16) {
        // Equal padded prefixes: the keys agree up to the shorter length, and the shorter is less.
        return x.length == y.length ? 0 : (x.length < y.length ? -1 : 1);
    }
    const int order = keys[x.index].compare(keys[y.index]);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

} // namespace

std::vector<int> QuicksortOrder(std::vector<std::string_view> keys, bool descending)
{
    const int count = static_cast<int>(keys.size());
    std::vector<SortItem> items(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        items[k] = SortItem{BigEndianAt(keys[k], 0), BigEndianAt(keys[k], 8), static_cast<std::uint32_t>(k),
                            static_cast<std::uint32_t>(std::min<std::size_t>(keys[k].size(), UINT32_MAX))};
    }
    if (count >= 2) {
        // Positions are 1-based as in the list; a key carries its record's index, so moving the key
        // is all a swap costs.
        auto item = [&](int position) -> SortItem& { return items[static_cast<std::size_t>(position - 1)]; };
        auto before = [&](const SortItem& a, const SortItem& pivot) {
            const int order = CompareItems(a, pivot, keys);
            return descending ? order > 0 : order < 0;
        };

        std::vector<std::pair<int, int>> pending;
        int lo = 1;
        int hi = count;
        while (true) {
            const SortItem pivot = item(lo / 2 + hi / 2);
            int i = lo;
            int j = hi;
            do {
                while (before(item(i), pivot)) {
                    ++i;
                }
                while (before(pivot, item(j))) {
                    --j;
                }
                if (i <= j) {
                    if (i < j) {
                        std::swap(item(i), item(j));
                    }
                    ++i;
                    --j;
                }
            } while (i <= j);
            if (i < hi) {
                pending.emplace_back(i, hi);
            }
            if (lo < j) {
                hi = j;
                continue;
            }
            if (pending.empty()) {
                break;
            }
            std::tie(lo, hi) = pending.back();
            pending.pop_back();
        }
    }
    std::vector<int> order(keys.size());
    for (std::size_t k = 0; k < items.size(); ++k) {
        order[k] = static_cast<int>(items[k].index);
    }
    return order;
}

bool SortResults(ResultStore& store, SortColumn column, const RunFlags& flags, Prompts& prompts)
{
    if (flags.SearchRunning.load() != 0 || flags.ScanRunning.load() != 0) {
        prompts.Show(PromptKind::Error, "Error", std::string(kActiveSearchSortMessage));
        return false;
    }
    if (column == SortColumn::FullText || store.Count() < 2) {
        return false;
    }
    const Field field = static_cast<Field>(static_cast<int>(column));
    const bool descending = column == SortColumn::Date;
    {
        auto locked = store.Lock();
        const int count = locked.Count();
        // One arena for every key, so a million keys cost a few allocations and compare by memcmp.
        // One pass over the records: each record's block is touched once (they are scattered, so
        // each touch is a cache miss); keys are kept as offsets because the arena may still grow.
        std::string arena;
        arena.reserve(static_cast<std::size_t>(count) * 32);
        std::vector<std::size_t> starts(static_cast<std::size_t>(count) + 1);
        for (int n = 1; n <= count; ++n) {
            locked.Prefetch(n + 8);
            starts[static_cast<std::size_t>(n - 1)] = arena.size();
            const std::string_view value = locked.Get(n, field);
            const std::size_t at = arena.size();
            arena.resize(at + value.size());
            char* out = arena.data() + at;
            if (descending) {
                std::copy(value.begin(), value.end(), out);
            } else {
                for (std::size_t i = 0; i < value.size(); ++i) {
                    out[i] = LowerAscii(value[i]);
                }
            }
        }
        starts[static_cast<std::size_t>(count)] = arena.size();
        std::vector<std::string_view> keys(static_cast<std::size_t>(count));
        const char* base = arena.data();
        for (std::size_t k = 0; k < keys.size(); ++k) {
            keys[k] = std::string_view(base + starts[k], starts[k + 1] - starts[k]);
        }
        std::vector<int> order = QuicksortOrder(std::move(keys), descending);
        for (int& index : order) {
            ++index; // record numbers
        }
        locked.Reorder(order);
    }
    store.view().ResultsRefilled();
    return true;
}

} // namespace trawl

#include "results/Sort.h"

#include "app/Prompts.h"
#include "app/RunFlags.h"
#include "app/StatusView.h"
#include "app/TextUtil.h"
#include "results/ResultStore.h"

#include <utility>

namespace trawl {

std::vector<int> QuicksortOrder(std::vector<std::string_view> keys, bool descending)
{
    const int count = static_cast<int>(keys.size());
    std::vector<int> order(keys.size());
    for (int k = 0; k < count; ++k) {
        order[static_cast<std::size_t>(k)] = k;
    }
    if (count < 2) {
        return order;
    }
    // Positions are 1-based as in the list; the keys move with their records, so swapping the two
    // small arrays is all a swap costs.
    auto key = [&](int position) -> std::string_view { return keys[static_cast<std::size_t>(position - 1)]; };
    auto swapPositions = [&](int a, int b) {
        std::swap(keys[static_cast<std::size_t>(a - 1)], keys[static_cast<std::size_t>(b - 1)]);
        std::swap(order[static_cast<std::size_t>(a - 1)], order[static_cast<std::size_t>(b - 1)]);
    };
    auto before = [descending](std::string_view a, std::string_view pivot) {
        return descending ? a.compare(pivot) > 0 : a.compare(pivot) < 0;
    };

    std::vector<std::pair<int, int>> pending;
    int lo = 1;
    int hi = count;
    while (true) {
        const std::string_view pivot = key(lo / 2 + hi / 2);
        int i = lo;
        int j = hi;
        do {
            while (before(key(i), pivot)) {
                ++i;
            }
            while (before(pivot, key(j))) {
                --j;
            }
            if (i <= j) {
                if (i < j) {
                    swapPositions(i, j);
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
        // One arena for every key, so a million keys cost one allocation and compare by memcmp.
        std::size_t total = 0;
        for (int n = 1; n <= count; ++n) {
            total += locked.Get(n, field).size();
        }
        std::string arena;
        arena.reserve(total);
        std::vector<std::size_t> starts(static_cast<std::size_t>(count) + 1);
        for (int n = 1; n <= count; ++n) {
            starts[static_cast<std::size_t>(n - 1)] = arena.size();
            const std::string_view value = locked.Get(n, field);
            if (descending) {
                arena.append(value);
            } else {
                for (char c : value) {
                    arena.push_back(LowerAscii(c));
                }
            }
        }
        starts[static_cast<std::size_t>(count)] = arena.size();
        std::vector<std::string_view> keys(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k) {
            keys[static_cast<std::size_t>(k)] = std::string_view(arena).substr(
                starts[static_cast<std::size_t>(k)], starts[static_cast<std::size_t>(k) + 1] - starts[static_cast<std::size_t>(k)]);
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

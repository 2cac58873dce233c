// The duplicate test after the bulk operations renumber records in its index instead of rebuilding
// it: after any mix of adds, loaded records, link changes, reorders and removals it must answer as a
// plain scan.

#include "results/ResultStore.h"
#include "support/Doubles.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace trawl {
namespace {

int PlainFind(ResultStore::Locked& locked, std::string_view text)
{
    for (int n = 1; n <= locked.Count(); ++n) {
        if (locked.Get(n, Field::URI).find(text) != std::string_view::npos) {
            return n;
        }
    }
    return 0;
}

TEST(LinkIndexRenumber, answers_as_a_plain_scan_through_loads_reorders_removals_and_changed_links)
{
    test::RecordingStatusView view;
    test::RecordingPrompts prompts;
    ResultStore store(3000, view, prompts);
    std::mt19937 random(1234);
    auto link = [&] {
        // Few distinct stems, so many links share grams and are prefixes of one another.
        std::string text = "http://" + std::string(random() % 2 ? "van" : "vancouver") + ".craigslist.org/bik/" +
                           std::to_string(random() % 500);
        if (random() % 3 == 0) {
            text += ".html";
        }
        if (random() % 8 == 0) {
            text += static_cast<char>(0x80 + random() % 128);
        }
        return text;
    };
    int hits = 0;
    auto locked = store.Lock();
    auto reorder = [&] {
        std::vector<int> order(static_cast<std::size_t>(locked.Count()));
        for (int k = 0; k < locked.Count(); ++k) {
            order[static_cast<std::size_t>(k)] = k + 1;
        }
        std::shuffle(order.begin(), order.end(), random);
        locked.Reorder(order);
    };
    auto remove = [&] {
        std::vector<int> gone;
        for (int k = 0; k < 15 && locked.Count() > 0; ++k) {
            gone.push_back(1 + static_cast<int>(random() % locked.Count()));
        }
        locked.Remove(gone);
    };
    for (int step = 0; step < 400; ++step) {
        const int count = locked.Count();
        switch (random() % 6) {
        case 0:
        case 1:
            for (int k = 0; k < 20 && locked.Count() < locked.Capacity(); ++k) {
                locked.AddResult({"2024-01-01", "t", "c", "s", link(), "", ""});
            }
            break;
        case 2:
            if (count > 0) {
                locked.Set(1 + static_cast<int>(random() % count), Field::URI, random() % 4 ? link() : "");
            }
            break;
        case 3:
            reorder();
            break;
        case 4:
            remove();
            break;
        default:
            // Loaded records: their index entries wait to be written until the next query or bulk
            // step, which must take them in first.
            for (int k = 0; k < 30 && locked.Count() < locked.Capacity(); ++k) {
                locked.AppendLoaded({"2024-01-01", "t", "c", "s", link(), "", ""});
            }
            if (random() % 2) {
                random() % 2 ? reorder() : remove();
            }
            break;
        }
        for (int q = 0; q < 20 && locked.Count() > 0; ++q) {
            const std::string source(locked.Get(1 + static_cast<int>(random() % locked.Count()), Field::URI));
            std::string query;
            switch (q % 4) {
            case 0:
                query = source;
                break;
            case 1:
                query = source.substr(random() % (source.size() + 1));
                break;
            case 2:
                query = source.substr(0, random() % (source.size() + 1));
                break;
            default:
                query = link();
                break;
            }
            const int expected = PlainFind(locked, query);
            hits += expected != 0;
            ASSERT_EQ(locked.FindResultByLink(query), expected) << "step " << step << " query " << query;
        }
    }
    EXPECT_GT(hits, 3000);
}

} // namespace
} // namespace trawl

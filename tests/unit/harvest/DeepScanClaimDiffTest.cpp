// The deep scan's claim keeps a cursor per kind instead of reading the store from record 1 each time.
// Here it is run against the plain rule (the first empty full text in store order, else with
// OverrideRSS the first feed text) on random stores, while records are claimed, given back, stored,
// failed, added, removed, reordered and replaced by a load.

#include "harvest/DeepScanRecords.h"
#include "results/ResultStore.h"
#include "support/Doubles.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace trawl {
namespace {

// The claim as the store was read before the cursors: from record 1, every time.
int PlainClaim(ResultStore& store, bool overrideRss)
{
    auto locked = store.Lock();
    for (int n = 1; n <= locked.Count(); ++n) {
        if (locked.View(n).FullText.empty()) {
            return n;
        }
    }
    for (int n = 1; overrideRss && n <= locked.Count(); ++n) {
        if (locked.View(n).FullText.find(kRssMarker) != std::string_view::npos) {
            return n;
        }
    }
    return 0;
}

class RandomStore {
public:
    explicit RandomStore(std::uint32_t seed) : m_random(seed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    // Empty, a feed text (the mark not always in front), scanned text, or one of the short states.
    std::string FullText()
    {
        switch (Below(6)) {
        case 0:
        case 1:
            return "";
        case 2:
            return "<!--RSS-->a description from the feed";
        case 3:
            return "text before <!--RSS--> and after";
        case 4:
            return Below(2) == 0 ? "Pending" : "Error";
        default:
            return "Could not find a valid email address.<br /><br />\r\nThe text of an ad page.";
        }
    }
    ResultRecord Record()
    {
        const std::string n = std::to_string(m_next++);
        return {"2024-03-01", "title " + n, "c", "s", "http://sfbay.craigslist.org/ad/" + n + ".html", FullText(), ""};
    }
    std::mt19937& engine() { return m_random; }

private:
    std::mt19937 m_random;
    int m_next = 1;
};

struct DeepScanClaimDiff : ::testing::Test {
    test::RecordingStatusView view;
    test::RecordingPrompts prompts;
};

TEST_F(DeepScanClaimDiff, claims_exactly_what_the_plain_rule_takes_through_every_change_to_the_store)
{
    int claimsChecked = 0;
    int claimsMade = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        RandomStore random(seed);
        ResultStore store(400, view, prompts);
        {
            auto locked = store.Lock();
            for (int i = random.Below(60); i > 0; --i) {
                locked.AppendLoaded(random.Record());
            }
        }
        std::vector<ClaimedRecord> held;
        for (int step = 0; step < 400; ++step) {
            const int op = random.Below(100);
            if (op < 45) {
                const bool overrideRss = random.Below(3) != 0;
                const int expected = PlainClaim(store, overrideRss);
                const std::optional<ClaimedRecord> claim = ClaimNextRecord(store, overrideRss);
                ASSERT_EQ(claim ? claim->record : 0, expected) << "seed " << seed << " step " << step;
                ++claimsChecked;
                if (claim) {
                    ++claimsMade;
                    held.push_back(*claim);
                }
            } else if (op < 75 && !held.empty()) {
                // A worker ends with its record: gives it back, stores a text, or fails it.
                const std::size_t k = static_cast<std::size_t>(random.Below(static_cast<int>(held.size())));
                const ClaimedRecord claim = held[k];
                held.erase(held.begin() + static_cast<std::ptrdiff_t>(k));
                switch (random.Below(4)) {
                case 0:
                    ReleaseClaim(store, claim);
                    break;
                case 1:
                    StoreScannedText(store, claim, "a page text of fifty characters or more, as stored ..");
                    break;
                case 2:
                    MarkClaimFailed(store, claim);
                    break;
                default:
                    MarkClaimError(store, claim);
                    break;
                }
            } else if (op < 85) {
                // A search adds records while the scan runs.
                auto locked = store.Lock();
                for (int i = random.Below(4); i > 0; --i) {
                    locked.AddResult(random.Record());
                }
            } else if (op < 90) {
                // Any field rewritten directly, full text to any kind (an expired posting, a restore).
                auto locked = store.Lock();
                if (locked.Count() > 0) {
                    locked.Set(1 + random.Below(locked.Count()), Field::FullText, random.FullText());
                }
            } else {
                // Delete, sort or load: only between scans, so no claim is held across them.
                for (const ClaimedRecord& claim : held) {
                    ReleaseClaim(store, claim);
                }
                held.clear();
                auto locked = store.Lock();
                const int count = locked.Count();
                if (op < 94) {
                    std::vector<int> gone;
                    for (int n = 1; n <= count; ++n) {
                        if (random.Below(4) == 0) {
                            gone.push_back(n);
                        }
                    }
                    locked.Remove(gone);
                } else if (op < 98) {
                    std::vector<int> order(static_cast<std::size_t>(count));
                    for (int n = 1; n <= count; ++n) {
                        order[static_cast<std::size_t>(n - 1)] = n;
                    }
                    std::shuffle(order.begin(), order.end(), random.engine());
                    locked.Reorder(order);
                } else {
                    locked.ResetForLoad();
                    for (int i = random.Below(40); i > 0; --i) {
                        locked.AppendLoaded(random.Record());
                    }
                    locked.FinishLoad();
                }
            }
        }
        // Drained to the end, still in the plain order.
        while (true) {
            const int expected = PlainClaim(store, true);
            const std::optional<ClaimedRecord> claim = ClaimNextRecord(store, true);
            ASSERT_EQ(claim ? claim->record : 0, expected) << "seed " << seed;
            if (!claim) {
                break;
            }
        }
    }
    // The walk did what it was meant to: many claims, most of them finding a record.
    EXPECT_GT(claimsChecked, 5000);
    EXPECT_GT(claimsMade, claimsChecked / 2);
}

TEST_F(DeepScanClaimDiff, a_cleared_store_and_a_store_refilled_by_a_load_are_claimed_from_record_one)
{
    ResultStore store(10, view, prompts);
    auto fill = [&](int n) {
        auto locked = store.Lock();
        for (int i = 1; i <= n; ++i) {
            locked.AppendLoaded({"d", "t", "c", "s", "http://x/" + std::to_string(i), "", ""});
        }
    };
    fill(5);
    for (int n = 1; n <= 5; ++n) {
        ASSERT_EQ(ClaimNextRecord(store, false)->record, n);
    }
    EXPECT_FALSE(ClaimNextRecord(store, false));
    store.Lock().Clear(10);
    fill(3);
    EXPECT_EQ(ClaimNextRecord(store, false)->record, 1);
    store.Lock().ResetForLoad();
    fill(2);
    EXPECT_EQ(ClaimNextRecord(store, false)->record, 1);
}

} // namespace
} // namespace trawl

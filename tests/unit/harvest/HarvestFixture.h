#pragma once

// The pieces a search or deep-scan test runs against: recording seams, virtual time, scripted HTTP,
// a small set of reference tables, and a store.

#include "ScriptedHttp.h"
#include "app/RunFlags.h"
#include "app/Settings.h"
#include "harvest/DeepScan.h"
#include "harvest/HarvestContext.h"
#include "harvest/SearchScheduler.h"
#include "refdata/ReferenceTables.h"
#include "results/ResultStore.h"
#include "sites/Endpoints.h"
#include "sitesim/SearchPages.h"
#include "support/Doubles.h"

#include <condition_variable>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

namespace trawl::test {

// Counts workers that have finished (a slot's site icon going blank) so a test can wait for them.
class NotifyingStatusView : public RecordingStatusView {
public:
    // Runs on the worker's thread after each slot text (tests press Abort at a given moment).
    std::function<void(SlotKind, int, const std::string&)> onSlotText;
    void SetSlotText(SlotKind kind, int slot, const std::string& text) override
    {
        RecordingStatusView::SetSlotText(kind, slot, text);
        if (onSlotText) {
            onSlotText(kind, slot, text);
        }
    }
    void SetSlotSite(SlotKind kind, int slot, SiteIcon icon) override
    {
        RecordingStatusView::SetSlotSite(kind, slot, icon);
        if (icon == SiteIcon::None) {
            std::lock_guard lock(m_mutex);
            ++m_finished[kind == SlotKind::Search ? 0 : 1];
            m_changed.notify_all();
        }
    }
    // Waits (bounded, real time) until `n` workers of `kind` have finished.
    bool AwaitFinished(SlotKind kind, int n)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10),
                                  [&] { return m_finished[kind == SlotKind::Search ? 0 : 1] >= n; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_finished[2] = {0, 0};
};

inline ReferenceTables SampleTables()
{
    ReferenceTables tables;
    tables.CLCityTable = {
        {"US", "US", "United States", "SF bay area", "sfbay.craigslist.org"},
        {"US", "US", "United States", "boston", "boston.craigslist.org"},
        {"EU", "NL", "Netherlands", "Default", "amsterdam.craigslist.org"},
    };
    tables.CLSectionTable = {{"sss", "bik", "bicycles"}, {"sss", "fur", "furniture"}};
    tables.KJCityTable = {{"Canada", "Ontario", "Toronto", "toronto.kijiji.ca"},
                          {"United States", "MA", "Boston", "boston.kijiji.com"}};
    tables.KJSectionTable = {{"Bikes", "644", "bikes", "Bikes"}, {"Furniture", "235", "furniture", "Furniture"}};
    tables.CLStateTable = {{"sfbay", "California", "CA"}};
    return tables;
}

struct HarvestFixture : ::testing::Test {
    NotifyingStatusView view;
    RecordingPrompts prompts;
    FakeClock clock;
    RunFlags flags;
    ScriptedHttp http;
    ReferenceTables tables = SampleTables();
    Settings settings;
    std::unique_ptr<ResultStore> store = std::make_unique<ResultStore>(5000, view, prompts);
    std::unique_ptr<DeepScan> deepScan;
    std::unique_ptr<SearchScheduler> scheduler;

    HttpGetter* getter = nullptr; // the real client in tests against the sample server; else `http`

    HarvestContext Context()
    {
        return HarvestContext{getter != nullptr ? *getter : http, *store, view, prompts, clock, flags, tables};
    }

    void SetUp() override
    {
        // Unscripted addresses answer with a whole page of the host's layout that lists nothing;
        // tests that want a failure script an empty answer.
        http.fallback = [](const std::string& host, const std::string&) {
            if (host.find(endpoints::kCraigslistWord) != std::string::npos) {
                return sitesim::HttpOkResponse(sitesim::CraigslistSearchFeed({}));
            }
            return sitesim::HttpOkResponse(endpoints::HasCanadaMarker(host) ? sitesim::KijijiCanadaSearchFeed({})
                                                                            : sitesim::KijijiResultPage({}));
        };
        deepScan = std::make_unique<DeepScan>(Context());
        scheduler = std::make_unique<SearchScheduler>(Context(), deepScan.get());
    }
    void TearDown() override
    {
        scheduler.reset(); // the search first: its workers may start the deep scan
        deepScan.reset();
    }

    // Go! as the window does it, then waits for the run to end.
    void StartSearch(const std::string& cities, const std::string& sections, const std::string& terms)
    {
        flags.SearchRunning.store(1);
        flags.StopSearchRequested.store(0);
        ASSERT_TRUE(scheduler->Start(settings, SearchInputs{"test", terms, cities, sections}));
    }
    void RunSearch(const std::string& cities, const std::string& sections, const std::string& terms)
    {
        StartSearch(cities, sections, terms);
        ASSERT_TRUE(scheduler->WaitFinished(std::chrono::seconds(20)));
    }
    // The Deep Scan command, as the window does it.
    void StartDeepScan()
    {
        flags.StopScanRequested.store(0);
        flags.ScanRunning.store(1);
        deepScan->Launch(settings);
    }
    void AddRecord(const std::string& link, const std::string& fullText = "")
    {
        auto locked = store->Lock();
        locked.AppendLoaded({"2024-03-01", "title", "city", "section", link, fullText, ""});
    }
    std::string FullText(int record)
    {
        auto locked = store->Lock();
        return std::string(locked.View(record).FullText);
    }
};

} // namespace trawl::test

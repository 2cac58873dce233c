#include "harvest/SearchScheduler.h"

#include "app/Clock.h"
#include "app/Prompts.h"
#include "app/RunFlags.h"
#include "app/StatusView.h"
#include "app/TextUtil.h"
#include "app/WaitFlag.h"
#include "harvest/DeepScan.h"
#include "harvest/FeedParser.h"
#include "harvest/PoliteHttp.h"
#include "harvest/RecordRule.h"
#include "harvest/RetryCountdown.h"
#include "harvest/Version.h"
#include "sites/Endpoints.h"

#include <algorithm>
#include <utility>

namespace trawl {

namespace {

constexpr int kPollMs = 150;
constexpr int kMaxFailures = 5;

int ClampThreads(int value)
{
    return std::clamp(value, 1, kMaxWorkerThreads);
}

} // namespace

SearchScheduler::SearchScheduler(HarvestContext context, DeepScan* deepScan) : m_context(context), m_deepScan(deepScan)
{
}

SearchScheduler::~SearchScheduler()
{
    if (m_thread.joinable()) {
        RaiseFlag(m_context.flags.StopSearchRequested);
        m_thread.join();
    }
}

bool SearchScheduler::Start(const Settings& settings, SearchInputs inputs)
{
    {
        std::lock_guard lock(m_runMutex);
        if (m_active) {
            return false;
        }
        m_active = true;
    }
    if (m_thread.joinable()) {
        m_thread.join(); // the previous run has ended; its thread is done or about to be
    }
    m_tally.Reset();
    m_thread = std::thread(&SearchScheduler::RunScheduler, this, settings, std::move(inputs));
    return true;
}

bool SearchScheduler::StopAndWait(std::chrono::milliseconds limit)
{
    RaiseFlag(m_context.flags.StopSearchRequested);
    return WaitFinished(limit);
}

bool SearchScheduler::WaitFinished(std::chrono::milliseconds limit)
{
    std::unique_lock lock(m_runMutex);
    return m_runEnded.wait_for(lock, limit, [this] { return !m_active; });
}

bool SearchScheduler::Active() const
{
    std::lock_guard lock(m_runMutex);
    return m_active;
}

bool SearchScheduler::AnyBusy(int maxThreads) const
{
    for (int s = 0; s < maxThreads; ++s) {
        if (m_slots[static_cast<std::size_t>(s)].busy.load(std::memory_order_acquire) != 0) {
            return true;
        }
    }
    return false;
}

void SearchScheduler::RunScheduler(Settings settings, SearchInputs inputs)
{
    m_context.view.SetSiteReport("");
    for (int s = 1; s <= kMaxWorkerThreads; ++s) {
        if (std::exchange(m_slots[static_cast<std::size_t>(s - 1)].keptRow, false)) {
            ClearRow(s);
        }
    }
    const int maxThreads = ClampThreads(settings.MaxThreads);
    const std::vector<std::string> cities = SplitPlain(inputs.SelectedCityList);
    const std::vector<std::string> sections = SplitPlain(inputs.SelectedSectionList);
    const std::vector<std::string> termParts = SplitPlain(inputs.SearchTerms);
    // Counted with quotes respected, cut without: a quoted comma hides the trailing parts.
    const std::int64_t cityCount = CountQuoteAware(inputs.SelectedCityList);
    const std::int64_t sectionCount = CountQuoteAware(inputs.SelectedSectionList);
    const std::int64_t termCount = CountQuoteAware(inputs.SearchTerms);
    const std::int64_t total = cityCount * sectionCount * termCount;
    auto part = [](const std::vector<std::string>& parts, std::int64_t i) {
        return static_cast<std::size_t>(i) < parts.size() ? parts[static_cast<std::size_t>(i)] : std::string();
    };

    bool aborted = false;
    for (std::int64_t i = 0; i < cityCount && !aborted; ++i) {
        const std::string cityKey = part(cities, i);
        const ResolvedKey city = ResolveCity(cityKey, m_context.tables, settings);
        for (std::int64_t j = 0; j < sectionCount && !aborted; ++j) {
            const std::string sectionKey = part(sections, j);
            const ResolvedKey section = ResolveSection(sectionKey, m_context.tables, settings);
            if (city.site != section.site) {
                continue;
            }
            for (std::int64_t k = 0; k < termCount; ++k) {
                if (m_context.flags.StopSearchRequested.load() != 0) {
                    aborted = true;
                    break;
                }
                const std::int64_t q = i * sectionCount * termCount + j * termCount + k;
                m_context.view.SetProgress(ProgressPermille(q, total));
                HandOut(maxThreads, settings,
                        SearchJob{part(termParts, k), cityKey, sectionKey, city.name, section.name});
            }
        }
    }
    if (!aborted) {
        m_context.view.SetProgress(1000);
    }
    while (true) {
        m_slotFreed.store(0);
        if (!AnyBusy(maxThreads)) {
            break;
        }
        m_context.clock.WaitFor(kPollMs, m_slotFreed);
    }
    for (Slot& slot : m_slots) {
        if (slot.thread.joinable()) {
            slot.thread.join();
        }
    }

    m_context.view.SetWindowTitle(ProgramTitle());
    m_context.view.SetGoCaption("Go!");
    m_context.view.SetSiteReport(m_tally.Report());
    m_context.view.SearchIdle();
    m_context.flags.SearchRunning.store(0);
    {
        std::lock_guard lock(m_runMutex);
        m_active = false;
    }
    m_runEnded.notify_all();
}

void SearchScheduler::HandOut(int maxThreads, const Settings& settings, SearchJob job)
{
    while (true) {
        m_slotFreed.store(0); // before the look, so a slot freed after it cuts the wait short
        for (int s = 1; s <= maxThreads; ++s) {
            Slot& slot = m_slots[static_cast<std::size_t>(s - 1)];
            if (slot.busy.load(std::memory_order_acquire) != 0) {
                continue;
            }
            if (slot.thread.joinable()) {
                slot.thread.join(); // its worker cleared busy as its last step
            }
            {
                std::lock_guard lock(slot.mutex);
                slot.job = std::move(job);
            }
            slot.busy.store(1, std::memory_order_release);
            slot.thread = std::thread(&SearchScheduler::SearchWorker, this, s, std::cref(settings));
            return;
        }
        m_context.clock.WaitFor(kPollMs, m_slotFreed);
    }
}

void SearchScheduler::SearchWorker(int slotNumber, const Settings& settings)
{
    Slot& slot = m_slots[static_cast<std::size_t>(slotNumber - 1)];
    SearchJob job;
    {
        std::lock_guard lock(slot.mutex);
        job = slot.job;
    }
    StatusView& view = m_context.view;
    const std::atomic<int>& stop = m_context.flags.StopSearchRequested;
    const bool craigslist = endpoints::IsCraigslistLink(job.cityKey);
    const SiteIcon icon = craigslist ? SiteIcon::Craigslist : SiteIcon::Kijiji;
    const FeedSite site = craigslist ? FeedSite::Craigslist : FeedSite::Kijiji;
    std::vector<FeedItem> items;
    int failures = 0;
    bool keepRow = false;

    while (true) {
        view.SetSlotText(SlotKind::Search, slotNumber, JobText(job));
        view.SetSlotLight(SlotKind::Search, slotNumber, Light::Green);
        view.SetSlotSite(SlotKind::Search, slotNumber, icon);
        if (stop.load() != 0) {
            break;
        }
        const FetchedFeed feed = FetchFeed(m_context.http, job.term, job.cityKey, job.sectionKey, settings, &stop);
        if (!feed.sent) {
            break; // the key names no site: nothing to ask, nothing to add
        }
        const int count = ParseFeed(feed.host, feed.response, job.term, settings, m_context.clock, items);
        // A site that asks us to come back later (429 or 503 with Retry-After) is asked again, not
        // before that time, within the tries an unanswered feed gets; the last try's answer stands.
        const bool comeBackLater = RetryAfterSeconds(feed.response).has_value() && failures + 1 < kMaxFailures;
        if (count >= 0 && !comeBackLater) {
            const FeedVerdict verdict = JudgeFeedResponse(feed.host, feed.response);
            m_tally.Count(site, verdict, ResponseStatus(feed.response));
            if (const std::string silent = SilentSiteText(verdict, job.cityName); !silent.empty()) {
                // Kept on the row (red) until the slot's next job: "0 new ads" must not hide it.
                view.SetSlotText(SlotKind::Search, slotNumber, silent);
                view.SetSlotLight(SlotKind::Search, slotNumber, Light::Red);
                keepRow = true;
            }
            AddFeedItems(m_context.store, items, job.cityName, job.sectionName, settings, [this, &settings] {
                if (m_deepScan != nullptr && (settings.AutoDeepScan != 0 || m_context.flags.ScanRunning.load() != 0)) {
                    m_deepScan->Launch(settings);
                }
            });
            break;
        }
        if (++failures >= kMaxFailures) {
            m_tally.Count(site, FeedVerdict::NoAnswer);
            // One box at a time across all workers: whoever raises the flag shows it.
            if (m_errorBoxShowing.exchange(1) == 0) {
                m_context.prompts.Show(PromptKind::Error, "Error",
                                       "I'm having trouble connecting to the search for " + job.term +
                                           " on the server " + job.cityKey + " in the section " + job.sectionKey +
                                           ". Aborting search, sorry.");
                m_errorBoxShowing.store(0);
            }
            break;
        }
        if (!RetryCountdown(view, SlotKind::Search, slotNumber, m_context.clock, stop,
                            FailedWho(m_context.http, feed.host, job.cityName))) {
            break;
        }
    }
    FinishWorker(slotNumber, keepRow);
}

void SearchScheduler::ClearRow(int slotNumber)
{
    m_context.view.SetSlotText(SlotKind::Search, slotNumber, "");
    m_context.view.SetSlotLight(SlotKind::Search, slotNumber, Light::Dark);
    m_context.view.SetSlotSite(SlotKind::Search, slotNumber, SiteIcon::None);
}

void SearchScheduler::FinishWorker(int slotNumber, bool keepRow)
{
    Slot& slot = m_slots[static_cast<std::size_t>(slotNumber - 1)];
    slot.keptRow = keepRow; // cleared as the next run starts, if no job of it takes the row first
    if (!keepRow) {
        ClearRow(slotNumber);
    }
    {
        std::lock_guard lock(slot.mutex);
        slot.job = SearchJob{};
    }
    slot.busy.store(0, std::memory_order_release);
    RaiseFlag(m_slotFreed);
}

} // namespace trawl

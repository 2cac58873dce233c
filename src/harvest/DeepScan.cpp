#include "harvest/DeepScan.h"

#include "app/Clock.h"
#include "app/Prompts.h"
#include "app/RunFlags.h"
#include "app/StatusView.h"
#include "app/WaitFlag.h"
#include "harvest/AdPageText.h"
#include "harvest/DeepScanRecords.h"
#include "harvest/RetryCountdown.h"
#include "harvest/SearchJobs.h"
#include "net/HttpGetter.h"
#include "results/ResultStore.h"
#include "sites/Endpoints.h"

#include <algorithm>

namespace trawl {

namespace {

constexpr int kLaunchPauseMs = 1000;
constexpr int kMaxFailures = 5;
constexpr std::size_t kMinimumText = 50;

} // namespace

DeepScan::DeepScan(HarvestContext context) : m_context(context) {}

DeepScan::~DeepScan()
{
    RaiseFlag(m_shuttingDown);
    RaiseFlag(m_context.flags.StopScanRequested);
    std::thread launcher;
    {
        std::lock_guard lock(m_mutex);
        launcher = std::move(m_launcher);
    }
    if (launcher.joinable()) {
        launcher.join();
    }
    // The launcher has ended, so no slot gets a new thread any more.
    for (Slot& slot : m_slots) {
        if (slot.thread.joinable()) {
            slot.thread.join();
        }
    }
}

void DeepScan::Launch(const Settings& settings)
{
    std::lock_guard lock(m_mutex);
    if (m_shuttingDown.load() != 0) {
        return;
    }
    m_launchSettings = settings;
    m_passWanted = true;
    if (m_launcherActive) {
        return;
    }
    if (m_launcher.joinable()) {
        m_launcher.join(); // it has left its loop; it takes no lock on its way out
    }
    m_launcherActive = true;
    m_launcher = std::thread(&DeepScan::DeepScanLauncher, this);
}

bool DeepScan::IdleLocked() const
{
    return !m_launcherActive && std::none_of(m_slots.begin(), m_slots.end(), [](const Slot& s) { return s.busy; });
}

bool DeepScan::StopAndWait(std::chrono::milliseconds limit)
{
    RaiseFlag(m_context.flags.StopScanRequested);
    return WaitFinished(limit);
}

bool DeepScan::WaitFinished(std::chrono::milliseconds limit)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, limit, [this] { return IdleLocked(); });
}

int DeepScan::BusyWorkers() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(m_slots.begin(), m_slots.end(), [](const Slot& s) { return s.busy; }));
}

void DeepScan::DeepScanLauncher()
{
    while (true) {
        Settings settings;
        {
            std::lock_guard lock(m_mutex);
            if (!m_passWanted || m_shuttingDown.load() != 0) {
                m_launcherActive = false;
                m_changed.notify_all();
                return;
            }
            m_passWanted = false;
            settings = m_launchSettings;
        }
        const int maxThreads = std::clamp(settings.MaxThreads2, 1, kMaxWorkerThreads);
        for (int s = 1; s <= maxThreads && m_shuttingDown.load() == 0; ++s) {
            bool started = false;
            {
                std::lock_guard lock(m_mutex);
                Slot& slot = m_slots[static_cast<std::size_t>(s - 1)];
                if (!slot.busy) {
                    if (slot.thread.joinable()) {
                        slot.thread.join(); // finished: it cleared busy as its last step
                    }
                    // Marked busy and the scan shown as running in one step with the check of
                    // the last worker (FinishWorker), so the two never cross.
                    slot.busy = true;
                    m_context.flags.ScanRunning.store(1);
                    m_context.view.SetDeepScanCaption("Abort DS");
                    slot.thread = std::thread(&DeepScan::DeepScanWorker, this, s, settings);
                    started = true;
                }
            }
            if (started) {
                m_context.clock.WaitFor(kLaunchPauseMs, m_shuttingDown);
            }
        }
    }
}

void DeepScan::MoveProgress(int processed, int pendingTotal)
{
    if (m_context.flags.SearchRunning.load() == 0 && pendingTotal > 0) {
        m_context.view.SetProgress(ProgressPermille(processed, pendingTotal));
    }
}

void DeepScan::DeepScanWorker(int slot, Settings settings)
{
    ScanRecords(slot, settings);
    FinishWorker(slot);
}

void DeepScan::ScanRecords(int slotNumber, const Settings& settings)
{
    ResultStore& store = m_context.store;
    StatusView& view = m_context.view;
    const std::atomic<int>& stop = m_context.flags.StopScanRequested;
    const bool overrideRss = settings.OverrideRSS != 0;
    const int pendingTotal = m_context.flags.SearchRunning.load() == 0 ? CountScanPending(store, overrideRss) : 0;
    int processed = 0;

    while (true) {
        MoveProgress(processed, pendingTotal);
        const std::optional<ClaimedRecord> claim = ClaimNextRecord(store, overrideRss);
        if (!claim) {
            return;
        }
        if (claim->uri.empty()) {
            MarkClaimError(store, *claim);
            return;
        }
        const std::optional<AdAddress> address = AdAddressOfLink(claim->uri);
        if (!address) {
            // No request can be formed: asking again would fail the same way, minutes per try.
            MarkClaimFailed(store, *claim);
            continue;
        }
        const std::string& link = address->link;
        const std::string& host = address->host;
        const std::string& path = address->path;
        const SiteIcon icon = endpoints::IsCraigslistLink(link) ? SiteIcon::Craigslist : SiteIcon::Kijiji;

        int failures = 0;
        while (true) {
            view.SetSlotText(SlotKind::Scan, slotNumber, link.starts_with(kHttpsPrefix) ? link : "http://" + link);
            view.SetSlotLight(SlotKind::Scan, slotNumber, Light::Green);
            view.SetSlotSite(SlotKind::Scan, slotNumber, icon);
            if (stop.load() != 0) {
                ReleaseClaim(store, *claim);
                return;
            }
            if (!m_context.http.AwaitTurn(host, stop)) {
                ReleaseClaim(store, *claim);
                return;
            }
            const std::string page = m_context.http.HttpGet(host, path, 1, 1);
            const std::string text = ExtractAdText(host, page);
            if (text.size() >= kMinimumText) {
                if (m_context.flags.SearchRunning.load() == 0) {
                    ++processed;
                    MoveProgress(processed, pendingTotal);
                }
                if (StoreScannedText(store, *claim, text)) {
                    view.FullTextMarked(claim->record, "Yes");
                    store.SetUnsavedResults(true);
                }
                break;
            }
            if (++failures >= kMaxFailures) {
                ReleaseClaim(store, *claim);
                m_context.prompts.Show(PromptKind::Error, "Error",
                                       "I'm having trouble downloading " + path + " from the server " + host +
                                           ". Aborting deep scan, sorry.");
                return;
            }
            if (!RetryCountdown(view, SlotKind::Scan, slotNumber, m_context.clock, stop,
                                FailedWho(m_context.http, host, host))) {
                ReleaseClaim(store, *claim);
                return;
            }
        }
    }
}

void DeepScan::FinishWorker(int slotNumber)
{
    m_context.view.SetSlotText(SlotKind::Scan, slotNumber, "");
    m_context.view.SetSlotLight(SlotKind::Scan, slotNumber, Light::Dark);
    m_context.view.SetSlotSite(SlotKind::Scan, slotNumber, SiteIcon::None);
    {
        std::lock_guard lock(m_mutex);
        m_slots[static_cast<std::size_t>(slotNumber - 1)].busy = false;
        if (std::none_of(m_slots.begin(), m_slots.end(), [](const Slot& s) { return s.busy; })) {
            m_context.view.SetDeepScanCaption("Deep Scan");
            m_context.flags.ScanRunning.store(0);
        }
    }
    m_changed.notify_all();
}

} // namespace trawl

#pragma once

#include "app/Settings.h"
#include "harvest/HarvestContext.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace trawl {

// Fetches each ad's own page and stores its text in the record. A launcher fills the idle slots of
// 1..MaxThreads2 with workers, one a second; each worker takes records one at a time (lowest number
// first) until none is left or a stop is asked. The object owns the launcher and every worker and
// joins them before it goes, so none outlives the store.
class DeepScan {
public:
    explicit DeepScan(HarvestContext context);
    // Sets StopScanRequested and waits for every thread.
    ~DeepScan();
    DeepScan(const DeepScan&) = delete;
    DeepScan& operator=(const DeepScan&) = delete;

    // Starts filling idle slots with workers that use these settings (MaxThreads2, OverrideRSS). Called
    // by the Deep Scan command (after it cleared StopScanRequested and set ScanRunning) and by search
    // workers after an add. While a launcher is still filling slots, the request becomes one more
    // pass of that launcher rather than another thread.
    void Launch(const Settings& settings);

    // Sets StopScanRequested and waits up to `limit` until no launcher and no worker is left.
    bool StopAndWait(std::chrono::milliseconds limit);
    bool WaitFinished(std::chrono::milliseconds limit);
    int BusyWorkers() const;

private:
    struct Slot {
        bool busy = false; // guarded by m_mutex
        std::thread thread;
    };

    void DeepScanLauncher();
    void DeepScanWorker(int slot, Settings settings);
    void ScanRecords(int slot, const Settings& settings);
    void FinishWorker(int slot);
    void MoveProgress(int processed, int pendingTotal);
    bool IdleLocked() const;

    HarvestContext m_context;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::array<Slot, kMaxWorkerThreads> m_slots;
    std::thread m_launcher;
    bool m_launcherActive = false;
    bool m_passWanted = false;
    Settings m_launchSettings;
    std::atomic<int> m_shuttingDown{0};
};

} // namespace trawl

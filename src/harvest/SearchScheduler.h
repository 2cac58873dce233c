#pragma once

#include "app/Settings.h"
#include "harvest/FeedVerdict.h"
#include "harvest/HarvestContext.h"
#include "harvest/SearchJobs.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace trawl {

class DeepScan;

// Runs searches: one scheduler thread per run walks city x section x term and hands each job, in
// order, to a worker thread in the first free slot of 1..MaxThreads. The object owns every thread
// it starts and joins them all before it goes, so no worker outlives the store it adds to.
class SearchScheduler {
public:
    // `deepScan` (may be null) is started after an add when AutoDeepScan is on or a scan runs.
    SearchScheduler(HarvestContext context, DeepScan* deepScan);
    // Asks a running search to stop and waits for all its threads.
    ~SearchScheduler();
    SearchScheduler(const SearchScheduler&) = delete;
    SearchScheduler& operator=(const SearchScheduler&) = delete;

    // Go! has set SearchRunning to 1, StopSearchRequested to 0 and shown "Abort"; this starts the
    // scheduler thread with its own copies of the settings and inputs. When the run ends the thread
    // restores the title, the "Go!" caption and the idle controls and clears SearchRunning.
    // False (nothing started) while the previous run's threads are still alive.
    bool Start(const Settings& settings, SearchInputs inputs);

    // Sets StopSearchRequested and waits up to `limit` for the run to end; true when it has.
    bool StopAndWait(std::chrono::milliseconds limit);
    // Waits up to `limit` for the run to end without asking it to stop.
    bool WaitFinished(std::chrono::milliseconds limit);
    bool Active() const;
    // What became of the feeds of the current or last run, by site; read it once the run has ended.
    const FeedTally& Tally() const { return m_tally; }

private:
    struct Slot {
        std::atomic<int> busy{0}; // set last by the scheduler, cleared last by the worker
        std::mutex mutex;         // guards job
        SearchJob job;
        std::thread thread;   // touched by the scheduler thread only
        bool keptRow = false; // its row still says its site said nothing; the next run clears it
    };

    void RunScheduler(Settings settings, SearchInputs inputs);
    void HandOut(int maxThreads, const Settings& settings, SearchJob job);
    void SearchWorker(int slot, const Settings& settings);
    // Frees the slot; its row is cleared unless it is to keep saying that the site said nothing.
    void FinishWorker(int slot, bool keepRow = false);
    void ClearRow(int slot); // empty text, dark light, no site
    bool AnyBusy(int maxThreads) const;

    HarvestContext m_context;
    DeepScan* m_deepScan;
    std::array<Slot, kMaxWorkerThreads> m_slots;
    std::atomic<int> m_errorBoxShowing{0};
    FeedTally m_tally;
    // Raised by a worker as it frees its slot: the scheduler's 150 ms look at the slots ends early,
    // so a free slot gets its next job at once rather than up to 150 ms later.
    std::atomic<int> m_slotFreed{0};

    mutable std::mutex m_runMutex;
    std::condition_variable m_runEnded;
    bool m_active = false;
    std::thread m_thread;
};

} // namespace trawl

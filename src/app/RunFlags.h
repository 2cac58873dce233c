#pragma once

#include <atomic>

namespace trawl {

// The run flags shared by the window (or batch front end) and the worker threads. Each is written by
// one side and polled by the other; none is ever waited on.
struct RunFlags {
    std::atomic<int> SearchRunning{0};
    std::atomic<int> ScanRunning{0};
    std::atomic<int> StopSearchRequested{0};
    std::atomic<int> StopScanRequested{0};
};

} // namespace trawl

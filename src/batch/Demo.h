#pragma once

#include "batch/BatchOptions.h"
#include "results/SearchFile.h"

#include <atomic>
#include <string>

namespace trawl {

class Console;
struct ReferenceTables;

// The demo's program folder: $XDG_CACHE_HOME/trawlkit-demo, else ~/.cache/trawlkit-demo (kept between
// runs, so a second demo finds its lists and its search), else a new folder under /tmp. Created when
// missing; ends in "/". "" when no folder could be made.
std::string DemoProgramFolder();

// A search over the first few cities and sections of both sites' lists, for the terms "bike,table".
SearchDefinition DemoSearchDefinition(const ReferenceTables& tables);
inline constexpr const char* kDemoSearchName = "demo";

// `trawlkit --demo [options] [SEARCH...]`: the sample sites on loopback inside the process, every
// host pointed at them, the demo folder as program folder; without batch options the demo search is
// run with -deep -csv -html. Returns the batch run's exit status.
int RunDemo(BatchOptions options, Console& console, const std::atomic<int>& interrupted);

} // namespace trawl

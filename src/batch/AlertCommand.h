#pragma once

#include "app/Status.h"

#include <cstdint>
#include <string>

namespace trawl {

// The environment a batch run's alert command (-alert=PROGRAM) gets after a search found new results.
inline constexpr const char* kAlertSearchVariable = "TRAWLKIT_SEARCH";   // the search's name
inline constexpr const char* kAlertCountVariable = "TRAWLKIT_NEW_COUNT"; // how many results are new
inline constexpr const char* kAlertCsvVariable = "TRAWLKIT_NEW_CSV";     // a CSV file of just those

// Runs `program` (a path, or a name looked up on the PATH) with no arguments and no shell, so nothing
// of a search name or an ad is ever read as a command: the three variables above are added to the
// program's own environment, its standard input is empty and its output goes where the run's goes.
// Waits for it to end. A failure says what happened: not started (and why), an exit status other than
// 0, or the signal that ended it.
Status RunAlertCommand(const std::string& program, const std::string& searchName, std::int64_t newCount,
                       const std::string& csvPath);

} // namespace trawl

#pragma once

#include "batch/BatchOptions.h"

#include <atomic>
#include <functional>
#include <string>

namespace trawl {

class Clock;
class Connector;
class Console;
class HttpGetter;
struct ReferenceTables;

// Exit statuses of a batch run.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;       // a search could not be run, saved or written out
inline constexpr int kExitBadConnectTo = 2; // TRAWLKIT_CONNECT_TO is malformed
inline constexpr int kExitListsMissing = 3; // the lists are missing and could not be downloaded

// One batch run over a program folder: the start-up steps without a window (lists, with the list
// download when one is missing or empty; settings, only read), then every named search.
struct BatchProgram {
    BatchOptions options;
    std::string programDirectory; // ends in "/"
    Connector& connector;
    Console& console;
    Clock& clock;
    const std::atomic<int>& interrupted;
    // Runs once the lists are complete and before the searches (the demo writes its search file).
    std::function<void(const ReferenceTables&, BatchOptions&)> beforeSearches;
};

int RunBatchProgram(BatchProgram& program);

} // namespace trawl

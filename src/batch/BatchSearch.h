#pragma once

#include "app/Settings.h"
#include "batch/BatchOptions.h"

#include <atomic>
#include <string>
#include <vector>

namespace trawl {

class BatchStatusView;
class Clock;
class Console;
class HttpGetter;
class Prompts;
class ResultStore;
struct ReferenceTables;
struct RunFlags;

// Everything the named searches of one batch run share. All of it outlives the run.
struct BatchContext {
    const Settings& settings;
    const ReferenceTables& tables;
    std::string programDirectory; // ends in "/"
    HttpGetter& http;
    ResultStore& store;
    BatchStatusView& view;
    Prompts& prompts;
    Console& console;
    Clock& clock;
    RunFlags& flags;
    // Raised (by the Ctrl-C handler) when the user wants the run to stop: the running search and
    // deep scan are asked to stop, what was found is saved, and no further search starts.
    const std::atomic<int>& interrupted;
};

// What became of one search.
struct BatchSearchResult {
    bool ok = false;                  // the search ran and every output was written
    bool interrupted = false;         // the user stopped it; what was found was saved
    std::string searchPath;           // the file that was read and saved ("" when none was found)
    std::vector<std::string> outputs; // files written: the search file, then the CSV and HTML
};

// The search file as the start-up looks it up: relative to the current folder (the path given back
// is made absolute), then under the program folder. "" when neither exists.
std::string FindSearchFile(const std::string& argument, const std::string& programDirectory);

// How long a run waits for another run that holds the same search file before it gives up on it.
inline constexpr int kSearchFileWaitMs = 30000;

// One SEARCH argument: look it up, load it, run it as Go! would, deep-scan it when asked, save it
// back to its file and write the outputs the options ask for. A file that cannot be loaded whole
// (more records than MaxResults, or a read failure) is neither run nor saved. A run whose store
// overflowed is saved but is not ok. The file is locked from the load to the end of the save; while
// another run holds it, this one waits up to kSearchFileWaitMs and then leaves it alone (not ok).
BatchSearchResult RunBatchSearch(const std::string& argument, const BatchOptions& options, BatchContext& context);

// Every SEARCH argument in order; the exit status: 0 when all of them ran, every feed came back whole
// and every output (standard output included) was written, else 1.
int RunBatchSearches(const BatchOptions& options, BatchContext& context,
                     std::vector<BatchSearchResult>* results = nullptr);

} // namespace trawl

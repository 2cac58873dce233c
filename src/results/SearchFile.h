#pragma once

#include "app/Clock.h"
#include "app/Prompts.h"
#include "app/Status.h"
#include "results/LineReader.h"

#include <string>
#include <string_view>

namespace trawl {

class ResultStore;

inline constexpr std::string_view kSearchFileExtension = ".trawl";

// What a search file holds besides its records. Key lists are comma-joined, as the selection gives them.
struct SearchDefinition {
    std::string Name;
    std::string CLCityKeys;
    std::string CLSectionKeys;
    std::string Terms;
    std::string KJCityKeys;
    std::string KJSectionKeys;

    bool operator==(const SearchDefinition&) const = default;
};

// The name as it may be used for a file: . * ? / \ " become spaces, then every pair of adjacent
// spaces is deleted left to right ("a  b" -> "ab", three spaces -> one).
std::string CleanSearchName(std::string_view name);

// `programDirectory` ends in "/"; `cleanedName` has been through CleanSearchName.
std::string SearchFilePath(std::string_view programDirectory, std::string_view cleanedName);

// Writes the six header lines, then one line per record in store order, leaving out records whose
// trimmed Title is empty and expired ones (Date "0000-00-00"). The file is replaced only once it is
// complete; on failure the old file and UnsavedResults are kept. On success UnsavedResults is 0.
Status SaveSearch(const std::string& path, const SearchDefinition& definition, ResultStore& store);

// Shows a failed save as an error box; nothing when `status` is ok. Returns status.ok().
bool ReportSaveSearchFailure(const Status& status, Prompts& prompts);

// "\"NAME\" can't be found. Perhaps it is a new search?"
std::string MissingSearchMessage(std::string_view cleanedName);

struct LoadedSearch {
    bool Found = false;          // false: no file (or it could not be opened); nothing was changed
    SearchDefinition Definition; // Name is line 1 of the file
    // False when the store filled up or the file could not be read to its end: the store then holds
    // only part of the file, and saving it over the file would throw the rest away.
    bool Complete = true;
};

// Replaces the store's records with the file's: ResultCount and NewResultCount start at 0; records
// with an empty Title, or dated below the cut-off (DiscardCutoff of clock's today when
// `discardOldResults`, else "0000-00-00"), are dropped; kept records have an empty NewMark. When the
// store fills up, the overflow message is shown once and the rest of the file is ignored. The view
// is told the counters (new 0, total) and that the list is refilled. UnsavedResults is not changed.
//
// A missing file is reported with a warning unless `quiet`; the name shown is the file's name
// without ".trawl". A file that cannot be read whole is loaded as far as it could be read, and
// reported.
//
// The record lines are parsed on as many threads as there are cores (see LoadRecordLines); the
// result is that of reading them line by line.
struct SearchFileReading {
    int threads = 0;                               // 0: one a core, at most ResultStore::kLoadLanes; 1: line by line
    std::size_t blockBytes = std::size_t{1} << 20; // read at a time
    std::size_t maxLineBytes = LineReader::kDefaultMaxLineBytes; // a longer line is read as an empty one
};
LoadedSearch LoadSearch(const std::string& path, bool quiet, bool discardOldResults, Clock& clock, ResultStore& store,
                        Prompts& prompts, const SearchFileReading& reading = {});

// What another run saved in the file at `path` since this one loaded it: the file's records whose
// links the store does not hold are added as a search adds them (new, counted, shown), in file
// order; records the load would drop are left out. Not ok when the file could not be read whole or
// the store filled up: saving the store over the file then would lose the rest.
struct MergedSearch {
    int added = 0;
    Status status = Status::Ok();
};
MergedSearch MergeSearchFile(const std::string& path, ResultStore& store);

} // namespace trawl

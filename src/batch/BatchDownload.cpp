#include "batch/BatchProgram.h"

#include "batch/Console.h"

namespace trawl {

bool RunBatchListDownload(HttpGetter&, const std::string& programDirectory, Console& console, Clock&,
                          const std::atomic<int>&)
{
    console.Out("The city and section lists in " + programDirectory + " are missing or empty.");
    return false;
}

} // namespace trawl

#include "batch/BatchProgram.h"

#include "app/RunFlags.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "batch/BatchDownload.h"
#include "batch/BatchSearch.h"
#include "batch/BatchStatusView.h"
#include "batch/Console.h"
#include "harvest/PoliteHttp.h"
#include "net/ByteCounter.h"
#include "net/HttpClient.h"
#include "refdata/ListFiles.h"
#include "results/ResultStore.h"

#include <mutex>
#include <set>

namespace trawl {

int RunBatchProgram(BatchProgram& program)
{
    const std::string& folder = program.programDirectory;
    BatchStatusView view;
    ConsolePrompts prompts(program.console);
    ReferenceTables tables;
    Settings settings;
    int downloads = 0;

    StartupHooks hooks;
    hooks.loadLists = [&] {
        tables = LoadReferenceLists(folder);
        return ReferenceListsComplete(tables);
    };
    hooks.loadSettings = [&] { settings = LoadSettings(folder + kSettingsFileName); };
    hooks.runSetup = [&] {
        // A download that reports success yet leaves a list empty is not tried again and again.
        if (++downloads > 1 || program.interrupted.load() != 0) {
            return 0;
        }
        ByteCounter uncounted;
        HttpClient http(StoppableOptions(settings.UserAgent, &program.interrupted), program.connector, uncounted);
        return RunBatchListDownload(http, folder, program.console, program.clock, program.interrupted) ? 1 : 0;
    };
    // No instance check (a batch run names its searches, which lets a second copy run anyway), no
    // start-menu offer (nothing is asked), and the settings are never written.
    if (StartupSequence(hooks).Run() != StartupOutcome::Ready) {
        program.console.Err("Error: the city and section lists in " + folder +
                            " are missing or empty and could not be downloaded.");
        return kExitListsMissing;
    }

    if (program.beforeSearches) {
        program.beforeSearches(tables, program.options);
    }

    ResultStore store(settings.MaxResults, view, prompts);
    ByteCounter bytes(&view);
    // Ctrl-C frees a worker waiting on a name server at once.
    HttpOptions options = StoppableOptions(settings.UserAgent, &program.interrupted);
    // A site whose certificate does not verify is said once, however many of its pages fail.
    std::mutex toldMutex;
    std::set<std::string> told;
    options.tlsFailure = [&](const std::string& host, const std::string& reason) {
        std::lock_guard lock(toldMutex);
        if (told.insert(host).second) {
            program.console.Err("Error: " + reason + "; its pages are not asked for over plain HTTP.");
        }
    };
    HttpClient client(options, program.connector, bytes);
    PoliteHttp http(client, program.clock, settings.HostPauseMs);
    RunFlags flags;
    BatchContext context{
        settings,           tables, folder, http, store, view, prompts, program.console, program.clock, flags,
        program.interrupted};
    return RunBatchSearches(program.options, context) == 0 ? kExitOk : kExitFailed;
}

} // namespace trawl

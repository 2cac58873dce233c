#include "batch/BatchSearch.h"

#include "app/AtomicFile.h"
#include "app/CommandLine.h"
#include "app/FileLock.h"
#include "app/RunFlags.h"
#include "app/TextUtil.h"
#include "app/WaitFlag.h"
#include "batch/BatchOutputs.h"
#include "batch/BatchStatusView.h"
#include "batch/Console.h"
#include "batch/HeadlessTree.h"
#include "batch/OutputNames.h"
#include "harvest/DeepScan.h"
#include "harvest/DeepScanRecords.h"
#include "harvest/SearchScheduler.h"
#include "refdata/SelectionModel.h"
#include "results/ResultStore.h"
#include "results/SearchFile.h"

#include <chrono>
#include <unistd.h>

namespace trawl {

namespace {

constexpr std::chrono::milliseconds kProgressTick{200};

// The checks Go! makes before it starts; the first that fails is shown and ends the search.
bool CheckGoInputs(const SearchInputs& inputs, Prompts& prompts)
{
    const char* text = nullptr;
    if (inputs.RunningSearchName.empty()) {
        text = "You have not set a search title. Please do that first.";
    } else if (inputs.SearchTerms.empty()) {
        text = "You have not set any search terms. Please do that first.";
    } else if (inputs.SelectedCityList.empty()) {
        text = "You have not selected any cities or regions to search. Please do that first.";
    } else if (inputs.SelectedSectionList.empty()) {
        text = "You have not selected any sections to search. Please do that first.";
    }
    if (text == nullptr) {
        return true;
    }
    prompts.Show(PromptKind::Error, "Error", text);
    return false;
}

void PassOnInterrupt(BatchContext& context)
{
    if (context.interrupted.load() != 0) {
        RaiseFlag(context.flags.StopSearchRequested);
        RaiseFlag(context.flags.StopScanRequested);
    }
}

// Runs the search; false when a feed failed (nothing came back, an HTTP error, a page of no layout we
// know, a feed cut short): each site's failures are told in one line, as "0 new ads" must not hide
// a site that is down, refuses us or changed its pages.
bool RunSearch(BatchContext& context, SearchScheduler& scheduler, const SearchInputs& inputs)
{
    const std::int64_t jobs = CountSearchJobs(inputs, context.tables, context.settings);
    context.view.ResetRun();
    context.flags.StopSearchRequested.store(0);
    context.flags.SearchRunning.store(1);
    if (!scheduler.Start(context.settings, inputs)) {
        context.flags.SearchRunning.store(0);
        return false;
    }
    const auto showProgress = [&] {
        context.console.Progress(SearchProgressLine(inputs.RunningSearchName, context.view.JobsDone(), jobs,
                                                    context.view.TotalResults(), context.view.NewResults(),
                                                    context.view.BytesDownloaded()));
    };
    // No limit on the run itself: a slow site is waited for, only the user cuts a run short.
    while (!scheduler.WaitFinished(kProgressTick)) {
        PassOnInterrupt(context);
        showProgress();
    }
    showProgress();
    context.console.EndProgress();
    bool whole = true;
    for (const FeedSite site : {FeedSite::Craigslist, FeedSite::Kijiji}) {
        const std::string line = scheduler.Tally().FailureLine(site);
        if (!line.empty()) {
            context.console.Err(line);
            whole = false;
        }
    }
    return whole;
}

void WaitForScan(BatchContext& context, DeepScan& scan, const std::string& name, std::int64_t pending)
{
    while (!scan.WaitFinished(kProgressTick)) {
        PassOnInterrupt(context);
        context.console.Progress(
            ScanProgressLine(name, context.view.PagesScanned(), pending, context.view.BytesDownloaded()));
    }
}

// Takes records until none is left. Workers give a record back when its page cannot be had, so a
// round that leaves as many records as it found ends the scan rather than asking the same pages for
// ever.
void RunDeepScan(BatchContext& context, DeepScan& scan, const std::string& name, bool explicitRequest)
{
    const bool overrideRss = context.settings.OverrideRSS != 0;
    // A scan the search started (AutoDeepScan) runs on; it is waited for before anything is counted.
    WaitForScan(context, scan, name, CountScanPending(context.store, overrideRss));
    if (explicitRequest && context.interrupted.load() == 0 &&
        CountDeepScanCandidates(context.store, overrideRss) == 0) {
        context.prompts.Show(PromptKind::Notice, "No worries",
                             "Everything has already been downloaded, so there's no need to do a deep scan.");
        return;
    }
    int pending = CountScanPending(context.store, overrideRss);
    while (pending > 0 && context.interrupted.load() == 0) {
        context.flags.StopScanRequested.store(0);
        context.flags.ScanRunning.store(1);
        scan.Launch(context.settings);
        WaitForScan(context, scan, name, pending);
        const int left = CountScanPending(context.store, overrideRss);
        if (left >= pending) {
            break;
        }
        pending = left;
    }
    const std::int64_t scanned = context.view.PagesScanned();
    context.console.Progress(ScanProgressLine(name, scanned, scanned + CountScanPending(context.store, overrideRss),
                                              context.view.BytesDownloaded()));
    context.console.EndProgress();
}

bool WriteOutputs(BatchContext& context, const BatchOptions& options, const std::string& searchPath,
                  const std::string& name, BatchSearchResult& result)
{
    // The batch front end answers the scope question by -new: only what this run added, or everything.
    const OutputScope scope = options.newOnly ? OutputScope::New : OutputScope::All;
    const LocalDate today = context.clock.Today();
    bool ok = true;
    if (options.csv) {
        const std::string path = OutputPath(searchPath, ".csv", options.dateName, today);
        if (WriteBatchCsv(path, scope, context.settings, context.tables, context.store, context.prompts)) {
            result.outputs.push_back(path);
        } else {
            ok = false;
        }
    }
    if (options.html) {
        const std::string path = OutputPath(searchPath, ".html", options.dateName, today);
        if (WriteBatchHtml(path, scope, name, context.settings, context.store, context.clock, context.prompts)) {
            result.outputs.push_back(path);
        } else {
            ok = false;
        }
    }
    return ok;
}

// Passes every box on and counts the errors among them: a search whose jobs or deep scan gave up,
// or whose store overflowed, has not run as asked, even though what it found is saved.
class ErrorCountingPrompts final : public Prompts {
public:
    explicit ErrorCountingPrompts(Prompts& inner) : m_inner(inner) {}
    PromptAnswer Show(PromptKind kind, const std::string& caption, const std::string& text) override
    {
        if (kind == PromptKind::Error) {
            m_errors.fetch_add(1);
        }
        return m_inner.Show(kind, caption, text);
    }
    int Errors() const { return m_errors.load(); }

private:
    Prompts& m_inner;
    std::atomic<int> m_errors{0};
};

} // namespace

std::string FindSearchFile(const std::string& argument, const std::string& programDirectory)
{
    if (argument.empty()) {
        return {};
    }
    if (FileExists(argument)) {
        // Made absolute, so that the messages say plainly where the files went.
        std::string folder(4096, '\0');
        if (argument.starts_with('/') || ::getcwd(folder.data(), folder.size()) == nullptr) {
            return argument;
        }
        folder.resize(folder.find('\0'));
        return folder + (folder.ends_with('/') ? "" : "/") + argument;
    }
    if (!argument.starts_with('/') && FileExists(programDirectory + argument)) {
        return programDirectory + argument;
    }
    return {};
}

BatchSearchResult RunBatchSearch(const std::string& argument, const BatchOptions& options, BatchContext& outer)
{
    ErrorCountingPrompts prompts(outer.prompts);
    BatchContext context{outer.settings,   outer.tables, outer.programDirectory, outer.http,  outer.store,
                         outer.view,       prompts,      outer.console,          outer.clock, outer.flags,
                         outer.interrupted};
    BatchSearchResult result;
    const std::string path = FindSearchFile(argument, context.programDirectory);
    if (path.empty()) {
        context.prompts.Show(PromptKind::Error, kMissingSearchCaption, MissingSearchText(argument));
        return result;
    }
    result.searchPath = path;
    // Held from the load to the end of the save: a second run on the same file reads what this one
    // saved instead of saving its own view over it.
    FileLock lock;
    if (const Status locked = lock.Acquire(path, context.clock, kSearchFileWaitMs, context.interrupted); !locked) {
        result.interrupted = context.interrupted.load() != 0;
        if (!result.interrupted) {
            context.console.Err("Not run: " + locked.message() + " Waited " + std::to_string(kSearchFileWaitMs / 1000) +
                                " s; the file was left as it is.");
        }
        return result;
    }
    // The store tells its overflow message to the program's own prompts, past the counting ones.
    const int overflowsBefore = context.store.Overflows();

    const LoadedSearch loaded =
        LoadSearch(path, false, context.settings.DiscardSearches != 0, context.clock, context.store, context.prompts);
    if (!loaded.Found) {
        return result;
    }
    if (!loaded.Complete) {
        // Nothing asks whether to go on, and saving part of the file over it would lose the rest.
        context.console.Err("Not run: '" + path + "' could not be loaded whole, so it was left as it is.");
        return result;
    }
    const SearchDefinition& file = loaded.Definition;

    // The selection as the window would hold it after loading: only keys of the current lists tick a row.
    HeadlessTree clCities, kjCities, clSections, kjSections;
    SelectionModel selection(context.tables, SelectionTrees{clCities, kjCities, clSections, kjSections});
    selection.BuildSelectionTrees();
    selection.ApplySelection(file.CLCityKeys, file.CLSectionKeys, file.KJCityKeys, file.KJSectionKeys);
    const SearchSelection chosen =
        selection.CaptureSearchSelection(context.settings.SearchCraigslist != 0, context.settings.SearchKijiji != 0);

    SearchInputs inputs;
    inputs.RunningSearchName = TrimmedCopy(CleanSearchName(SearchBaseName(path)));
    inputs.SearchTerms = TrimmedCopy(file.Terms);
    inputs.SelectedCityList = chosen.cities;
    inputs.SelectedSectionList = chosen.sections;
    if (!CheckGoInputs(inputs, context.prompts)) {
        return result;
    }

    bool feedsWhole = false;
    {
        HarvestContext harvest{context.http,  context.store, context.view,  context.prompts,
                               context.clock, context.flags, context.tables};
        // Declared first so it goes last: the scheduler may still hand it work until it is gone.
        DeepScan scan(harvest);
        SearchScheduler scheduler(harvest, &scan);
        feedsWhole = RunSearch(context, scheduler, inputs);
        if ((options.deep || context.settings.AutoDeepScan != 0) && context.interrupted.load() == 0) {
            RunDeepScan(context, scan, inputs.RunningSearchName, options.deep);
        }
        scan.StopAndWait(std::chrono::hours(1));
    }
    result.interrupted = context.interrupted.load() != 0;

    SearchDefinition definition;
    definition.Name = inputs.RunningSearchName;
    const SelectionLists lists = selection.SelectedLists();
    definition.CLCityKeys = lists.clCities;
    definition.CLSectionKeys = lists.clSections;
    definition.Terms = file.Terms;
    definition.KJCityKeys = lists.kjCities;
    definition.KJSectionKeys = lists.kjSections;
    if (!ReportSaveSearchFailure(SaveSearch(path, definition, context.store), context.prompts)) {
        return result;
    }
    result.outputs.push_back(path);
    context.console.Out("Search saved to '" + path + "'.");

    // Ctrl-C during the save or the outputs lets each finish whole; the run was stopped all the same
    // and says so (before, it ended with 0 and no word).
    bool written = WriteOutputs(context, options, path, inputs.RunningSearchName, result);
    if (!options.alertCommand.empty() && context.interrupted.load() == 0) {
        const Status alerted = AlertNewResults(options.alertCommand, inputs.RunningSearchName, context.settings,
                                               context.tables, context.store);
        if (!alerted) {
            context.console.Err("Error: " + alerted.message() + ".");
            written = false;
        }
    }
    result.interrupted = context.interrupted.load() != 0;
    result.ok = written && feedsWhole && !result.interrupted && prompts.Errors() == 0 &&
                context.store.Overflows() == overflowsBefore;
    return result;
}

int RunBatchSearches(const BatchOptions& options, BatchContext& context, std::vector<BatchSearchResult>* results)
{
    int status = 0;
    for (const std::string& argument : options.searches) {
        if (context.interrupted.load() != 0) {
            context.console.Err("Stopped: '" + argument + "' and the searches after it were not run.");
            status = 1;
            break;
        }
        BatchSearchResult result = RunBatchSearch(argument, options, context);
        if (!result.ok) {
            status = 1;
        }
        if (result.interrupted) {
            // Else a run of one search stopped by Ctrl-C would fail without a word.
            const bool saved = !result.outputs.empty();
            context.console.Err("Stopped: '" + argument + "' was interrupted" +
                                (saved ? "; what it had found is in its search file." : "."));
        }
        if (results != nullptr) {
            results->push_back(std::move(result));
        }
    }
    // The lines that say where the files went are part of the run's result (a script reads them).
    if (const std::string lost = context.console.OutLost(); !lost.empty()) {
        context.console.Err("Error: standard output could not be written (" + lost +
                            "), so lines saying which files were saved are missing.");
        status = 1;
    }
    return status;
}

} // namespace trawl

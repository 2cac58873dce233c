// The window's commands: what each button, list gesture and the close do.

#include "app/AtomicFile.h"
#include "app/Prompts.h"
#include "app/TextUtil.h"
#include "app/WaitFlag.h"
#include "harvest/DeepScanRecords.h"
#include "harvest/SearchJobs.h"
#include "results/BrowserView.h"
#include "results/CsvExport.h"
#include "results/HtmlOutput.h"
#include "results/SearchFile.h"
#include "results/Sort.h"
#include "ui/AboutBox.h"
#include "ui/DiagnosticsPage.h"
#include "ui/FileChooser.h"
#include "ui/MainWindow.h"
#include "ui/QtText.h"
#include "ui/ResultsPage.h"
#include "ui/SearchSettingsPage.h"

#include <QCloseEvent>
#include <QItemSelectionModel>
#include <algorithm>

namespace trawl::ui {

namespace {

constexpr const char* kSearchFileTitle = "Please select a search file";
constexpr const char* kSearchFileFilter = "All Trawlkit Searches (*.trawl)";

// A path from a file dialog as a search name: trimmed, every ".trawl" taken out, the folders dropped.
std::string SearchNameOfPath(const QString& path)
{
    std::string name = ReplaceAll(TrimmedCopy(ToBytes(path)), kSearchFileExtension, "");
    const std::size_t slash = name.find_last_of('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

} // namespace

FileRequest MainWindow::SearchFileRequest(bool save) const
{
    FileRequest request;
    request.save = save;
    request.title = QString::fromLatin1(kSearchFileTitle);
    request.filterDescription = QString::fromLatin1(kSearchFileFilter);
    request.initialFolder = ToQString(m_services.programDirectory);
    request.initialName = m_searchName.text() + QStringLiteral(".trawl");
    request.defaultSuffix = QStringLiteral("trawl");
    return request;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    if (m_store.UnsavedResults() &&
        m_services.prompts.Show(PromptKind::Question, "Really exit?",
                                "You have unsaved results. Are you sure you want to exit without saving?") !=
            PromptAnswer::Yes) {
        event->ignore();
        return;
    }
    m_closing = true;
    RaiseFlag(m_flags.StopSearchRequested);
    RaiseFlag(m_flags.StopScanRequested);
    SaveSettingsReporting(m_services.programDirectory + kSettingsFileName, m_settings, m_services.prompts);
    if (m_about != nullptr) {
        m_about->close();
    }
    if (m_quickFilter != nullptr) {
        m_quickFilter->reject();
    }
    hide();
    ShutDown();
    event->accept();
}

void MainWindow::Load()
{
    if (m_rebuilding) {
        return;
    }
    if (m_flags.SearchRunning.load() != 0 || m_flags.ScanRunning.load() != 0) {
        m_services.prompts.Show(
            PromptKind::Error, "Error",
            "A search is currently active. You need to stop the current scan before loading an old one.");
        m_tabs.setCurrentIndex(ResultsTab);
        return;
    }
    if (m_store.UnsavedResults() &&
        m_services.prompts.Show(PromptKind::Confirm, "Warning",
                                "You have unsaved search results. Would you like to load anyway and lose these "
                                "results?") != PromptAnswer::Yes) {
        return;
    }
    const std::string name = SearchNameOfPath(m_services.files.Choose(this, SearchFileRequest(false)));
    if (name.empty()) {
        return;
    }
    m_searchName.setText(ToQString(name));
    LoadCurrentSearch(false);
}

void MainWindow::LoadCurrentSearch(bool quiet)
{
    // Search files live in the program folder under the cleaned name, wherever the dialog pointed.
    const std::string cleaned = CleanSearchName(ToBytes(m_searchName.text()));
    m_searchName.setText(ToQString(cleaned));
    const std::string path = SearchFilePath(m_services.programDirectory, cleaned);
    auto loaded = std::make_shared<LoadedSearch>();
    // Taken before the read: a file that changes during it counts as changed since.
    auto stamp = std::make_shared<std::optional<FileStamp>>(StampOf(path));
    const bool discard = m_settings.DiscardSearches != 0;
    Rebuild([this, loaded, path, quiet,
             discard] { *loaded = LoadSearch(path, quiet, discard, m_services.clock, m_store, m_services.prompts); },
            [this, loaded, path, stamp] {
                if (!loaded->Found) {
                    return;
                }
                m_searchFilePath = path;
                m_searchFileStamp = *stamp;
                const SearchDefinition& search = loaded->Definition;
                m_settings.CurrentSearchName = search.Name;
                m_searchPage->terms.setText(ToQString(search.Terms));
                m_searchPage->selection().ApplySelection(search.CLCityKeys, search.CLSectionKeys, search.KJCityKeys,
                                                         search.KJSectionKeys);
            });
}

void MainWindow::Save()
{
    if (m_rebuilding) {
        return;
    }
    const std::string name = SearchNameOfPath(m_services.files.Choose(this, SearchFileRequest(true)));
    if (name.empty()) {
        m_services.prompts.Show(PromptKind::Error, "Aborted", "Save cancelled. Searches have NOT been saved.");
        return;
    }
    SaveAs(name);
}

bool MainWindow::SaveAs(const std::string& name)
{
    const std::string cleaned = CleanSearchName(name);
    m_searchName.setText(ToQString(cleaned));
    SearchDefinition search;
    search.Name = cleaned;
    const SelectionLists lists = m_searchPage->SelectedLists();
    search.CLCityKeys = lists.clCities;
    search.CLSectionKeys = lists.clSections;
    search.Terms = ToBytes(m_searchPage->terms.text());
    search.KJCityKeys = lists.kjCities;
    search.KJSectionKeys = lists.kjSections;
    m_settings.CurrentSearchName = cleaned;
    const std::string path = SearchFilePath(m_services.programDirectory, cleaned);
    FileLock lock;
    Status status = PrepareSearchFileSave(path, lock);
    if (status) {
        // The results count as saved only once the file is written (a failed save keeps them unsaved).
        status = SaveSearch(path, search, m_store);
    }
    const bool saved = ReportSaveSearchFailure(status, m_services.prompts);
    if (saved) {
        m_searchFilePath = path;
        m_searchFileStamp = StampOf(path);
    }
    SaveSettingsReporting(m_services.programDirectory + kSettingsFileName, m_settings, m_services.prompts);
    return saved;
}

Status MainWindow::PrepareSearchFileSave(const std::string& path, FileLock& lock)
{
    if (!FileExists(path)) {
        return Status::Ok();
    }
    // A batch run holds the file from its load to its save; the window does not wait for it.
    static const std::atomic<int> kNeverStopped{0};
    if (Status locked = lock.Acquire(path, m_services.clock, 0, kNeverStopped); !locked) {
        return Status::Failure(locked.message() + " Save again once it has finished.");
    }
    if (path != m_searchFilePath || StampOf(path) == m_searchFileStamp) {
        return Status::Ok(); // another search's file is replaced, as the save dialog said
    }
    // Saving this list over the file would throw away what the other run found.
    return MergeSearchFile(path, m_store).status;
}

void MainWindow::Go()
{
    StartSearch(false);
}

void MainWindow::StartSearch(bool watched)
{
    if (m_rebuilding) {
        return;
    }
    if (!watched) {
        m_tabs.setCurrentIndex(ResultsTab); // a run the watch starts leaves the user's page alone
    }
    Prompts& prompts = m_services.prompts;
    if (m_flags.SearchRunning.load() != 0) {
        // Abort: the scheduler puts the idle state back when its workers have ended.
        RaiseFlag(m_flags.StopSearchRequested);
        if (m_flags.SearchRunning.load() == 0) {
            ShowSearchIdle();
        }
        return;
    }
    SearchInputs inputs;
    inputs.RunningSearchName = TrimmedCopy(ToBytes(m_searchName.text()));
    if (inputs.RunningSearchName.empty()) {
        prompts.Show(PromptKind::Error, "Error", "You have not set a search title. Please do that first.");
        return;
    }
    inputs.SearchTerms = TrimmedCopy(ToBytes(m_searchPage->terms.text()));
    const char* missing = nullptr;
    const SearchSelection selection = m_searchPage->CaptureSearchSelection();
    inputs.SelectedCityList = selection.cities;
    inputs.SelectedSectionList = selection.sections;
    if (inputs.SearchTerms.empty()) {
        missing = "You have not set any search terms. Please do that first.";
    } else if (inputs.SelectedCityList.empty()) {
        missing = "You have not selected any cities or regions to search. Please do that first.";
    } else if (inputs.SelectedSectionList.empty()) {
        missing = "You have not selected any sections to search. Please do that first.";
    }
    if (missing != nullptr) {
        prompts.Show(PromptKind::Error, "Error", missing);
        m_tabs.setCurrentIndex(SearchSettingsTab);
        return;
    }
    m_diagnosticsPage->ShowSlotView(SlotKind::Search);
    m_countAtGo = m_store.Count();
    m_tellWhenScanEnds = false;
    m_watchedRun = watched;
    if (m_watch) {
        m_watch->Disarm();
    }
    m_diagnosticsPage->watchStatus.clear();
    m_flags.SearchRunning.store(1);
    m_flags.StopSearchRequested.store(0);
    ShowGoCaption("Abort");
    m_searchControlsDisabled = true;
    UpdateCommandStates();
    if (!m_scheduler->Start(m_settings, std::move(inputs))) {
        // The last run's threads are still on their way out; this press does not count.
        m_flags.SearchRunning.store(0);
        ShowSearchIdle();
    }
}

void MainWindow::DeepScanCommand()
{
    if (m_rebuilding) {
        return;
    }
    if (m_flags.ScanRunning.load() != 0) {
        RaiseFlag(m_flags.StopScanRequested);
        return;
    }
    if (CountDeepScanCandidates(m_store, m_settings.OverrideRSS != 0) == 0) {
        m_services.prompts.Show(PromptKind::Notice, "No worries",
                                "Everything has already been downloaded, so there's no need to do a deep scan.");
        return;
    }
    m_flags.StopScanRequested.store(0);
    m_diagnosticsPage->ShowSlotView(SlotKind::Scan);
    m_flags.ScanRunning.store(1);
    m_scan->Launch(m_settings);
}

void MainWindow::Clear()
{
    if (m_rebuilding) {
        return;
    }
    if (m_flags.SearchRunning.load() != 0 || m_flags.ScanRunning.load() != 0) {
        m_services.prompts.Show(PromptKind::Error, "Error",
                                "If you want to clear the results, please stop the search first.");
        return;
    }
    if (m_model.rowCount() == 0) {
        return;
    }
    if (m_services.prompts.Show(PromptKind::Confirm, "Warning",
                                "Are you sure you want to premanently delete your search results?") !=
        PromptAnswer::Yes) {
        return;
    }
    // A MaxResults changed since the start takes effect here.
    const int capacity = std::clamp(m_settings.MaxResults, kMinMaxResults, kMaxMaxResults);
    Rebuild([this, capacity] { m_store.Lock().Clear(capacity); });
}

void MainWindow::Filter()
{
    if (m_rebuilding || m_store.Count() <= 1) {
        return; // fewer than two results: nothing to narrow
    }
    QuickFilterDialog dialog(
        m_store, m_services.prompts, m_services.shell, m_settings.ConfirmSpawn != 0,
        [this](OutputKind kind, const std::string& filterText) {
            WriteOutputFile(kind, OutputScope::Filtered, filterText);
        },
        this);
    m_quickFilter = &dialog;
    dialog.exec();
}

void MainWindow::OutputCsv()
{
    WriteOutput(OutputKind::Csv);
}

void MainWindow::ViewHtml()
{
    WriteOutput(OutputKind::Html);
}

void MainWindow::WriteOutput(OutputKind kind)
{
    if (m_rebuilding) {
        return;
    }
    const std::optional<OutputScope> scope = ChooseOutputScope(m_store, SelectedRecords(), kind, m_services.prompts);
    if (scope) {
        WriteOutputFile(kind, *scope, {});
    }
}

void MainWindow::WriteOutputFile(OutputKind kind, OutputScope scope, const std::string& filterText)
{
    Prompts& prompts = m_services.prompts;
    const bool csv = kind == OutputKind::Csv;
    FileRequest request;
    request.save = true;
    request.title = csv ? QStringLiteral("Please select a CSV file") : QStringLiteral("Please select an HTML file");
    request.filterDescription =
        csv ? QStringLiteral("All CSV files (*.csv)") : QStringLiteral("All HTML files (*.html)");
    request.initialFolder = ToQString(m_services.programDirectory);
    request.initialName = m_searchName.text() + (csv ? QStringLiteral(".csv") : QStringLiteral(".html"));
    request.defaultSuffix = csv ? QStringLiteral("csv") : QStringLiteral("html");
    const std::string path = TrimmedCopy(ToBytes(m_services.files.Choose(this, request)));
    if (path.empty()) {
        if (csv) {
            prompts.Show(PromptKind::Error, kAbortedCaption, kCsvSaveCancelledMessage);
        }
        return;
    }
    if (csv) {
        const CsvColumns columns{m_settings.IncludeStateInCSV != 0, m_settings.IncludeSiteInCSV != 0};
        ExportCsv(m_store, path, scope, filterText, columns, m_services.tables, prompts);
        return;
    }
    const std::string name = ToBytes(m_searchName.text());
    const HtmlPageInputs inputs{m_settings.HTMLheader, m_settings.HTMLitem, name};
    if (WriteHtml(m_store, path, scope, filterText, inputs, m_services.clock, prompts).status.ok()) {
        OpenWithShell(path, m_services.shell);
    }
}

std::vector<int> MainWindow::SelectedRecords() const
{
    // Row by row from the top, as the list walks its selection.
    std::vector<std::pair<int, int>> ranges;
    for (const QItemSelectionRange& range : m_resultsPage->list.selectionModel()->selection()) {
        ranges.emplace_back(range.top(), range.bottom());
    }
    std::sort(ranges.begin(), ranges.end());
    std::vector<int> records;
    int next = 0; // ranges of different columns may overlap
    for (const auto& [top, bottom] : ranges) {
        for (int row = std::max(top, next); row <= bottom; ++row) {
            records.push_back(m_model.RecordOfRow(row));
        }
        next = std::max(next, bottom + 1);
    }
    return records;
}

void MainWindow::ViewSelectedAd()
{
    if (m_rebuilding) {
        return;
    }
    const std::vector<int> records = SelectedRecords();
    if (records.empty()) {
        return;
    }
    ViewAdInBrowser(m_store, records.front(), ViewSource::ResultList, m_settings.ConfirmSpawn != 0, m_services.prompts,
                    m_services.shell);
}

void MainWindow::SortByColumn(int column)
{
    if (m_rebuilding) {
        return;
    }
    if (m_flags.SearchRunning.load() != 0 || m_flags.ScanRunning.load() != 0) {
        m_services.prompts.Show(PromptKind::Error, "Error", std::string(kActiveSearchSortMessage));
        return;
    }
    const auto sortColumn = static_cast<SortColumn>(column);
    if (sortColumn == SortColumn::FullText || column < 1 || column > 5 || m_store.Count() < 2) {
        return;
    }
    Rebuild([this, sortColumn] { SortResults(m_store, sortColumn, m_flags, m_services.prompts); });
}

void MainWindow::DeleteSelected()
{
    if (!Idle()) {
        return;
    }
    std::vector<int> records = SelectedRecords();
    if (records.empty()) {
        return;
    }
    std::sort(records.begin(), records.end());
    Rebuild([this, records = std::move(records)] { m_store.Lock().Remove(records); });
}

} // namespace trawl::ui

#pragma once

#include "app/FileLock.h"
#include "app/Notifier.h"
#include "app/RunFlags.h"
#include "app/Settings.h"
#include "harvest/DeepScan.h"
#include "harvest/PoliteHttp.h"
#include "harvest/SearchScheduler.h"
#include "harvest/SearchWatch.h"
#include "harvest/UpdateCheck.h"
#include "net/ByteCounter.h"
#include "net/HttpClient.h"
#include "results/OutputScope.h"
#include "results/ResultStore.h"
#include "ui/AboutBox.h"
#include "ui/BackgroundJob.h"
#include "ui/ContextHelp.h"
#include "ui/DialogUnits.h"
#include "ui/FileChooser.h"
#include "ui/QtStatusView.h"
#include "ui/QuickFilterDialog.h"
#include "ui/ReplaceableHttp.h"
#include "ui/ResultListModel.h"
#include "ui/StatusSink.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

namespace trawl {
class Clock;
class Connector;
class Prompts;
class Shell;
struct ReferenceTables;
} // namespace trawl

namespace trawl::ui {

class DiagnosticsPage;
class QtPrompts;
class ResultsPage;
class SearchSettingsPage;
class SettingsPage;
class TemplatePage;

// How the window reaches the user, the desktop, time and the network.
struct WindowSeams {
    Prompts& prompts;
    Shell& shell;
    Clock& clock;
    Connector& connector;
    FileChooser& files;
    // The real message boxes when `prompts` are them: closing the window answers the boxes that
    // workers still wait on, so none of them holds up the close.
    QtPrompts* boxes = nullptr;
    // Desktop notifications of new ads while the window is not active; none when null.
    Notifier* notifier = nullptr;
};

// What the window works with. All of it outlives the window.
struct WindowServices : WindowSeams {
    WindowServices(Settings& settings, std::string programDirectory, const ReferenceTables& tables,
                   const WindowSeams& seams)
        : WindowSeams(seams), settings(settings), programDirectory(std::move(programDirectory)), tables(tables)
    {
    }

    Settings& settings;           // the program's settings record, written back when the window closes
    std::string programDirectory; // ends in "/"
    const ReferenceTables& tables;
};

// The program's window: the search name with Load and Save, five tabbed pages and the progress bar.
// It owns the result store and every worker thread of the run; when it goes, the workers are
// stopped and waited for before the store goes with it.
class MainWindow final : public QWidget, private StatusSink {
    Q_OBJECT

public:
    static constexpr int kMinWidth = 398; // dialog units, outer size
    static constexpr int kMinHeight = 313;
    // Outer size less the client area, in dialog units (caption and frame).
    static constexpr int kFrameWidth = 10;
    static constexpr int kFrameHeight = 27;
    // What the settings file adds to the height it stores.
    static constexpr int kHeightInFile = 4;

    enum Tab { ResultsTab, SearchSettingsTab, TrawlkitSettingsTab, DiagnosticsTab, HtmlTemplateTab };

    explicit MainWindow(WindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Parts a test drives or looks at.
    ResultsPage& resultsPage() { return *m_resultsPage; }
    SearchSettingsPage& searchPage() { return *m_searchPage; }
    DiagnosticsPage& diagnosticsPage() { return *m_diagnosticsPage; }
    SettingsPage& settingsPage() { return *m_settingsPage; }
    TemplatePage& templatePage() { return *m_templatePage; }
    AboutBox* aboutBox() const { return m_about; }
    const ContextHelp& contextHelp() const { return m_help; }
    const ReplaceableHttp& http() const { return m_http; }
    QTabWidget& tabs() { return m_tabs; }
    QLineEdit& searchName() { return m_searchName; }
    QPushButton& loadButton() { return m_load; }
    QPushButton& saveButton() { return m_save; }
    QProgressBar& progress() { return m_progress; }
    ResultStore& store() { return m_store; }
    ResultListModel& model() { return m_model; }
    const RunFlags& flags() const { return m_flags; }
    const DialogUnits& units() const { return m_units; }
    QtStatusView& statusView() { return m_status; }
    // The store is being rebuilt off the GUI thread (load, sort, delete, clear).
    bool Rebuilding() const { return m_rebuilding; }
    // Nothing runs: no search, no deep scan, no rebuild.
    bool Idle() const;
    // The quick-filter dialog while it is open.
    QuickFilterDialog* quickFilter() const { return m_quickFilter; }

    // The commands, as the buttons and the list run them.
    void Load();
    void Save();
    // Save without the dialog, under `name` (the watched search's save after each run). False when the
    // file could not be written (the failure was shown).
    bool SaveAs(const std::string& name);
    void Go();
    void DeepScanCommand();
    void Clear();
    void Filter();
    void OutputCsv();
    void ViewHtml();
    void ViewSelectedAd();
    void SortByColumn(int column);
    void DeleteSelected();
    // The settings page and the template page.
    void ApplySettings();
    void SaveTemplate();
    void RevertTemplate();
    void ResetTemplate();
    void OpenAbout();

private Q_SLOTS:
    // The watch's wake-up on the GUI thread.
    void WatchFired();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // StatusSink: what the workers reported, on the GUI thread.
    void ShowCounters(std::int64_t total, std::int64_t newResults, std::int64_t bytes) override;
    void ShowSlot(SlotKind kind, int slot, const std::string& text, Light light, SiteIcon site) override;
    void ShowProgress(int permille) override;
    void ShowSlotView(SlotKind kind) override;
    void ShowGoCaption(const std::string& caption) override;
    void ShowDeepScanCaption(const std::string& caption) override;
    void ShowWindowTitle(const std::string& title) override;
    void ShowSiteReport(const std::string& report) override;
    // Tells the desktop how many ads the last search added, when it added any and the window is not
    // the active one; a click on the notification brings the window up.
    void TellNewAds();
    // A search run (with the deep scan it started) has ended: its news, the watched search's save,
    // the next watched run planned, and a watched run that waited started.
    void RunEnded();
    void StartSearch(bool watched);
    // The watch fired: the current search runs now, or once the window is idle.
    void WatchDue();
    void PlanWatch();
    void StartWaitingWatch();
    void ShowSearchIdle() override;
    void RowsAdded(const std::vector<RowChange>& rows) override;
    void CellsMarked(const std::vector<RowChange>& rows) override;
    void RowsRefilled(int count) override;

    void BuildFrame();
    // Each control's context-help text (its What's This text).
    void AssignHelpTexts();
    // Writes `next` to the settings file and, once it is written, puts it into force. A failed write
    // is reported and the settings in force stay as they were. True when written.
    bool CommitSettings(const Settings& next);
    void ConnectCommands();
    void LayFrame();
    void UpdateCommandStates();
    // Runs `work` on the store off the GUI thread with the list frozen, then refills the list and
    // runs `then` on the GUI thread.
    void Rebuild(std::function<void()> work, std::function<void()> then = {});
    // LoadSearch of the search-name box's (cleaned) name, as the Load command and the start-up do.
    void LoadCurrentSearch(bool quiet);
    std::vector<int> SelectedRecords() const; // from the first selected row down
    // The open or save dialog of Load and Save: in the program folder, the search-name box's name.
    FileRequest SearchFileRequest(bool save) const;
    // Before the search is saved to `path`: the file locked against other runs, and what another run
    // saved there since this window read it taken into the list. Not ok: the save must not go ahead.
    Status PrepareSearchFileSave(const std::string& path, FileLock& lock);
    void WriteOutput(OutputKind kind);
    // The file dialog of an output and the output itself (an HTML page is then opened).
    void WriteOutputFile(OutputKind kind, OutputScope scope, const std::string& filterText);
    // Stops every worker and waits for it; later boxes are answered at once.
    void ShutDown();

    WindowServices m_services;
    Settings& m_settings;
    DialogUnits m_units;
    RunFlags m_flags;
    std::atomic<int> m_closingFlag{0}; // raised by ShutDown: look-ups under way give up at once
    QtStatusView m_status;
    ResultStore m_store;
    ResultListModel m_model;
    ByteCounter m_bytes;
    ReplaceableHttp m_http;
    PoliteHttp m_polite;     // m_http with the pause between two requests to a host: what the workers use
    ByteCounter m_uncounted; // the update check's page is not counted
    HttpClient m_updateHttp;
    // Declared in the order they may be stopped: the scheduler may still hand work to the scan.
    std::unique_ptr<DeepScan> m_scan;
    std::unique_ptr<SearchScheduler> m_scheduler;
    std::unique_ptr<UpdateCheckThread> m_updateCheck;
    BackgroundJob m_job;
    bool m_rebuilding = false;
    bool m_searchControlsDisabled = false;
    // The search file as this window last read or wrote it: a save finds out from it whether another
    // run (a batch search) has saved there since.
    std::string m_searchFilePath;
    std::optional<FileStamp> m_searchFileStamp;
    bool m_holdDeepScanBox = false;       // a search ended while a deep scan ran; the scan has not ended yet
    int m_countAtGo = 0;                  // the store's records when Go! started the last search
    bool m_tellWhenScanEnds = false;      // that search ended during a deep scan: its news waits for the scan
    bool m_watchedRun = false;            // the run under way was started by the watch: saved when it ends
    bool m_watchWaiting = false;          // the watch fired while the window was busy
    std::atomic<int> m_watchFired{0};     // raised by the watch's thread, taken by WatchFired
    std::unique_ptr<SearchWatch> m_watch; // made last, stopped first
    bool m_closing = false;
    QPointer<QWidget> m_focusBeforeDeactivation;
    QPointer<AboutBox> m_about;
    QPointer<QuickFilterDialog> m_quickFilter;
    ContextHelp m_help;

    QLabel m_searchNameLabel;
    QLineEdit m_searchName;
    QPushButton m_load;
    QPushButton m_save;
    QTabWidget m_tabs;
    QProgressBar m_progress;
    ResultsPage* m_resultsPage = nullptr;
    SearchSettingsPage* m_searchPage = nullptr;
    SettingsPage* m_settingsPage = nullptr;
    DiagnosticsPage* m_diagnosticsPage = nullptr;
    TemplatePage* m_templatePage = nullptr;
};

} // namespace trawl::ui

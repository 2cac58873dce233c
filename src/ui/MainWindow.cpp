#include "ui/MainWindow.h"

#include "app/Prompts.h"
#include "app/TextUtil.h"
#include "app/WaitFlag.h"
#include "harvest/Version.h"
#include "ui/DiagnosticsPage.h"
#include "ui/Images.h"
#include "ui/PageLayout.h"
#include "ui/QtPrompts.h"
#include "ui/QtText.h"
#include "ui/ResultsPage.h"
#include "ui/SearchSettingsPage.h"
#include "ui/SettingsPage.h"
#include "ui/TemplatePage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QWhatsThis>
#include <utility>

namespace trawl::ui {

namespace {

HarvestContext ContextOf(HttpGetter& http, ResultStore& store, StatusView& view, const WindowServices& services,
                         RunFlags& flags)
{
    return HarvestContext{http, store, view, services.prompts, services.clock, flags, services.tables};
}

} // namespace

MainWindow::MainWindow(WindowServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowContextHelpButtonHint),
      m_services(services), m_settings(services.settings), m_units(font()),
      m_status(*this, [this] { return m_store.Count(); }),
      m_store(std::clamp(m_settings.MaxResults, kMinMaxResults, kMaxMaxResults), m_status, services.prompts),
      m_model(m_store), m_bytes(&m_status), m_http(m_settings.UserAgent, services.connector, m_bytes, &m_closingFlag),
      m_polite(m_http, services.clock, m_settings.HostPauseMs),
      m_updateHttp(StoppableOptions(m_settings.UserAgent, &m_closingFlag), services.connector, m_uncounted),
      m_searchNameLabel(QStringLiteral("Search name:"), this), m_searchName(this), m_load(QStringLiteral("Load"), this),
      m_save(QStringLiteral("Save"), this), m_tabs(this), m_progress(this)
{
    m_scan = std::make_unique<DeepScan>(ContextOf(m_polite, m_store, m_status, m_services, m_flags));
    m_scheduler =
        std::make_unique<SearchScheduler>(ContextOf(m_polite, m_store, m_status, m_services, m_flags), m_scan.get());
    // Handed over as the status view does: a flag of ours and a wake-up by name, so no data of ours
    // travels inside Qt's event queue (which ThreadSanitizer cannot see into).
    m_watch = std::make_unique<SearchWatch>(services.clock, [this] {
        m_watchFired.store(1);
        QMetaObject::invokeMethod(this, "WatchFired", Qt::QueuedConnection);
    });

    setWindowTitle(QString::fromLatin1(ProgramTitle().c_str()));
    setWindowIcon(ProgramIcon());
    BuildFrame();
    ConnectCommands();

    // Width and Height are the outer size in dialog units; the client area is what is left inside
    // the caption and frame. The file holds the height 4 units above the one measured, so the window
    // opens at the height it had rather than 4 units taller at every start.
    setMinimumSize(m_units.size(kMinWidth - kFrameWidth, kMinHeight - kFrameHeight));
    resize(m_units.size(std::max(m_settings.Width, kMinWidth) - kFrameWidth,
                        std::max(m_settings.Height - kHeightInFile, kMinHeight) - kFrameHeight));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    if (m_services.boxes != nullptr) {
        m_services.boxes->SetOwner(this);
    }

    m_searchName.setText(ToQString(m_settings.CurrentSearchName));
    LoadCurrentSearch(true);
    m_updateCheck = StartUpdateCheck(m_settings, m_updateHttp, m_services.prompts, m_services.shell);
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(&m_help);
    ShutDown();
}

void MainWindow::BuildFrame()
{
    m_searchNameLabel.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_searchNameLabel.setBuddy(&m_searchName);
    m_progress.setRange(0, 1000);
    m_progress.setValue(0);
    m_progress.setTextVisible(false);

    m_resultsPage = new ResultsPage(m_model, m_units);
    m_searchPage = new SearchSettingsPage(m_services.tables, m_settings, m_units);
    m_settingsPage = new SettingsPage(m_units);
    m_diagnosticsPage = new DiagnosticsPage(m_units);
    m_templatePage = new TemplatePage(m_units);
    m_settingsPage->Fill(m_settings);
    m_templatePage->Fill(m_settings.HTMLheader, m_settings.HTMLitem);
    // Pages 3 and 4 need more height than the smallest window gives: there they scroll.
    const auto scrolling = [](QWidget* page) {
        auto* area = new QScrollArea;
        area->setFrameShape(QFrame::NoFrame);
        area->setWidgetResizable(true);
        area->setWidget(page);
        return area;
    };
    m_tabs.addTab(m_resultsPage, QStringLiteral("Search Results"));
    m_tabs.addTab(m_searchPage, QStringLiteral("Search Settings"));
    m_tabs.addTab(scrolling(m_settingsPage), QStringLiteral("Trawlkit Settings"));
    m_tabs.addTab(scrolling(m_diagnosticsPage), QStringLiteral("Diagnostics"));
    m_tabs.addTab(m_templatePage, QStringLiteral("HTML Template"));
    AssignHelpTexts();
}

void MainWindow::ConnectCommands()
{
    connect(&m_load, &QPushButton::clicked, this, &MainWindow::Load);
    connect(&m_save, &QPushButton::clicked, this, &MainWindow::Save);
    ResultsPage& results = *m_resultsPage;
    connect(&results.go, &QPushButton::clicked, this, &MainWindow::Go);
    connect(&m_searchPage->go, &QPushButton::clicked, this, &MainWindow::Go);
    connect(&results.deepScan, &QPushButton::clicked, this, &MainWindow::DeepScanCommand);
    connect(&results.clear, &QPushButton::clicked, this, &MainWindow::Clear);
    connect(&results.filter, &QPushButton::clicked, this, &MainWindow::Filter);
    connect(&results.outputCsv, &QPushButton::clicked, this, &MainWindow::OutputCsv);
    connect(&results.viewHtml, &QPushButton::clicked, this, &MainWindow::ViewHtml);
    connect(&results.list, &ResultListView::ViewRequested, this, &MainWindow::ViewSelectedAd);
    connect(&results.list, &ResultListView::DeleteRequested, this, &MainWindow::DeleteSelected);
    connect(&results.header(), &QHeaderView::sectionClicked, this, [this](int column) { SortByColumn(column + 1); });
    // The desktop's quit keys close the window as its close box does (with the same question).
    auto* quit = new QShortcut(QKeySequence::Quit, this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);

    // Edits on the settings page that were not applied are dropped when another page is chosen.
    connect(&m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (index != TrawlkitSettingsTab) {
            m_settingsPage->Fill(m_settings);
        }
    });
    connect(&m_settingsPage->apply, &QPushButton::clicked, this, &MainWindow::ApplySettings);
    connect(&m_settingsPage->cancel, &QPushButton::clicked, this, [this] { m_settingsPage->Fill(m_settings); });
    connect(&m_settingsPage->about, &QPushButton::clicked, this, &MainWindow::OpenAbout);
    connect(&m_templatePage->save, &QPushButton::clicked, this, &MainWindow::SaveTemplate);
    connect(&m_templatePage->cancel, &QPushButton::clicked, this, &MainWindow::RevertTemplate);
    connect(&m_templatePage->reset, &QPushButton::clicked, this, &MainWindow::ResetTemplate);

    // Context help: the caption's help button, or Shift+F1 where the desktop shows no such button.
    qApp->installEventFilter(&m_help);
    auto* help = new QShortcut(QKeySequence::WhatsThis, this);
    connect(help, &QShortcut::activated, this, [] { QWhatsThis::enterWhatsThisMode(); });
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    int W = m_units.unitsX(width()) + kFrameWidth;
    int H = m_units.unitsY(height()) + kFrameHeight;
    if (W < kMinWidth || H < kMinHeight) {
        W = std::max(W, kMinWidth);
        H = std::max(H, kMinHeight);
        resize(std::max(width(), m_units.x(W - kFrameWidth)), std::max(height(), m_units.y(H - kFrameHeight)));
    }
    m_settings.Width = W;
    m_settings.Height = H;
    LayFrame();
}

void MainWindow::LayFrame()
{
    const int W = m_settings.Width;
    const int H = m_settings.Height;
    Place(m_searchNameLabel, m_units, 2, 6, 50, 15);
    Place(m_searchName, m_units, 55, 5, 150, 15);
    Place(m_load, m_units, 210, 5, 50, 15);
    Place(m_save, m_units, 265, 5, 50, 15);
    m_tabs.setGeometry(m_units.rect(5, 30, W - 23, H - 80));
    m_progress.setGeometry(m_units.rect(5, H - 41, W - 23, 10));
}

void MainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) {
        return;
    }
    // The control that had the keyboard focus gets it back when the window is active again.
    if (!isActiveWindow()) {
        if (QWidget* focused = focusWidget()) {
            m_focusBeforeDeactivation = focused;
        }
    } else if (m_focusBeforeDeactivation != nullptr) {
        m_focusBeforeDeactivation->setFocus(Qt::ActiveWindowFocusReason);
    }
}

bool MainWindow::Idle() const
{
    return m_flags.SearchRunning.load() == 0 && m_flags.ScanRunning.load() == 0 && !m_rebuilding;
}

void MainWindow::UpdateCommandStates()
{
    const bool free = !m_rebuilding;
    const bool selectable = free && !m_searchControlsDisabled;
    m_load.setEnabled(selectable);
    m_searchName.setEnabled(selectable);
    m_searchPage->SetSelectionEnabled(selectable);
    m_settingsPage->SetRunning(m_searchControlsDisabled, m_holdDeepScanBox);
    m_save.setEnabled(free);
    ResultsPage& results = *m_resultsPage;
    for (QPushButton* button : {&results.clear, &results.filter, &results.outputCsv, &results.viewHtml,
                                &results.deepScan, &results.go, &m_searchPage->go}) {
        button->setEnabled(free);
    }
}

void MainWindow::Rebuild(std::function<void()> work, std::function<void()> then)
{
    m_rebuilding = true;
    m_model.SetFrozen(true);
    UpdateCommandStates();
    setCursor(Qt::BusyCursor);
    m_job.Start(std::move(work), [this, then = std::move(then)] {
        // What the work reported comes first (its own refill is passed over while frozen); then the
        // list shows the store as it is now, each Full Text cell worked out when its row is drawn.
        m_status.FlushNow();
        m_rebuilding = false;
        m_model.SetFrozen(false);
        m_model.Refill(m_store.Count());
        unsetCursor();
        UpdateCommandStates();
        if (then) {
            then();
        }
        StartWaitingWatch();
    });
}

void MainWindow::ShutDown()
{
    m_watch.reset(); // no watched run starts from here on
    if (m_services.boxes != nullptr) {
        m_services.boxes->Shutdown();
    }
    RaiseFlag(m_flags.StopSearchRequested);
    RaiseFlag(m_flags.StopScanRequested);
    RaiseFlag(m_closingFlag);
    m_job.Finish();
    // No worker waits for this thread any more (its boxes are answered), so waiting here cannot
    // deadlock. The scheduler goes first: it may still hand work to the scan.
    m_scheduler.reset();
    m_scan.reset();
    m_updateCheck.reset();
}

// --- What the workers report ---

void MainWindow::ShowCounters(std::int64_t total, std::int64_t newResults, std::int64_t bytes)
{
    m_diagnosticsPage->SetCounters(total, newResults, bytes);
}

void MainWindow::ShowSlot(SlotKind kind, int slot, const std::string& text, Light light, SiteIcon site)
{
    m_diagnosticsPage->SetSlot(kind, slot, text, light, site);
}

void MainWindow::ShowProgress(int permille)
{
    m_progress.setValue(std::clamp(permille, 0, 1000));
}

void MainWindow::ShowSlotView(SlotKind kind)
{
    m_diagnosticsPage->ShowSlotView(kind);
}

void MainWindow::ShowGoCaption(const std::string& caption)
{
    const QString text = ToQString(caption);
    m_resultsPage->go.setText(text);
    m_searchPage->go.setText(text);
}

void MainWindow::ShowDeepScanCaption(const std::string& caption)
{
    m_resultsPage->deepScan.setText(ToQString(caption));
    if (caption == "Deep Scan" && m_holdDeepScanBox) {
        // The scan has ended: its settings box can be used again.
        m_holdDeepScanBox = false;
        UpdateCommandStates();
    }
    if (caption == "Deep Scan") {
        if (std::exchange(m_tellWhenScanEnds, false)) {
            RunEnded();
        } else {
            StartWaitingWatch();
        }
    }
}

void MainWindow::ShowWindowTitle(const std::string& title)
{
    setWindowTitle(ToQString(title));
}

void MainWindow::ShowSiteReport(const std::string& report)
{
    // Said on the progress bar, the window's status strip, whatever page is shown: a run that found
    // "0 new ads" because a site blocked us or changed its pages must not pass for a quiet one.
    const QString text = ToQString(report);
    m_progress.setTextVisible(!text.isEmpty());
    m_progress.setFormat(QString(text).replace(QLatin1Char('\n'), QStringLiteral("   ")));
    m_progress.setToolTip(text);
}

void MainWindow::TellNewAds()
{
    const int added = m_store.Count() - m_countAtGo;
    m_countAtGo = m_store.Count();
    if (added <= 0 || isActiveWindow() || m_services.notifier == nullptr) {
        return;
    }
    const std::string name = ToBytes(m_searchName.text());
    m_services.notifier->Notify(
        "Trawlkit", "The search " + name + " found " + GroupDigits(added) + " new ad" + (added == 1 ? "" : "s") + ".",
        [this] {
            showNormal();
            raise();
            activateWindow();
        });
}

void MainWindow::ShowSearchIdle()
{
    m_searchControlsDisabled = false;
    m_holdDeepScanBox = m_flags.ScanRunning.load() != 0;
    ShowGoCaption("Go!");
    UpdateCommandStates();
    // The end of the run: now, or when the deep scan it started has fetched the ads' pages too.
    m_tellWhenScanEnds = m_holdDeepScanBox;
    if (!m_tellWhenScanEnds) {
        RunEnded();
    }
}

void MainWindow::RunEnded()
{
    if (!m_watch) {
        return; // the window is closing
    }
    TellNewAds();
    if (std::exchange(m_watchedRun, false)) {
        SaveAs(ToBytes(m_searchName.text())); // as a person would press Save after the run
    }
    m_watchWaiting = false; // the search has just run: the next one is planned from now
    PlanWatch();
}

void MainWindow::PlanWatch()
{
    if (!m_watch) {
        return;
    }
    if (m_settings.WatchMinutes <= 0) {
        m_watch->Disarm();
        m_diagnosticsPage->watchStatus.clear();
        return;
    }
    m_watch->Arm(m_settings.WatchMinutes);
    const TimeOfDay now = m_services.clock.Now();
    const int at = (now.hour * 60 + now.minute + m_settings.WatchMinutes) % (24 * 60);
    m_diagnosticsPage->watchStatus.setText(QStringLiteral("Watching %1: the next run starts at %2:%3.")
                                               .arg(m_searchName.text())
                                               .arg(at / 60, 2, 10, QLatin1Char('0'))
                                               .arg(at % 60, 2, 10, QLatin1Char('0')));
}

void MainWindow::WatchFired()
{
    if (m_watchFired.exchange(0) != 0) {
        WatchDue();
    }
}

void MainWindow::WatchDue()
{
    if (!m_watch) {
        return;
    }
    if (!Idle()) {
        m_watchWaiting = true; // a search, deep scan, load or sort is under way: the run waits for it
        return;
    }
    StartSearch(true);
}

void MainWindow::StartWaitingWatch()
{
    if (m_watch && m_watchWaiting && Idle()) {
        m_watchWaiting = false;
        StartSearch(true);
    }
}

void MainWindow::RowsAdded(const std::vector<RowChange>& rows)
{
    m_model.AddRows(rows);
}

void MainWindow::CellsMarked(const std::vector<RowChange>& rows)
{
    m_model.MarkCells(rows);
}

void MainWindow::RowsRefilled(int count)
{
    // A rebuild refills the list itself when it ends.
    if (!m_rebuilding) {
        m_model.Refill(count);
    }
}

} // namespace trawl::ui

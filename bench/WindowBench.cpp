// The window at scale, each figure beside the core doing the same work without a window:
// - opening a search file of a million records (rows shown) beside LoadSearch alone, and the heap the
//   window holds beyond the store's;
// - a header sort at a million records beside SortResults alone, and the longest the GUI thread went
//   without running its event loop meanwhile;
// - a 12-worker search at 50 ms latency beside the scheduler with a silent status view, in jobs per
//   second, and the event loop's delay (99th percentile and worst) while the window shows it.
// Runs on Qt's offscreen platform. Wall times: the work happens on other threads.

#include "BenchSupport.h"
#include "HarvestSetup.h"
#include "RecordGenerator.h"
#include "app/RunFlags.h"
#include "app/Settings.h"
#include "app/Shell.h"
#include "app/StatusView.h"
#include "harvest/SearchScheduler.h"
#include "net/ByteCounter.h"
#include "net/Connector.h"
#include "net/HttpClient.h"
#include "refdata/ReferenceTables.h"
#include "results/QuickFilter.h"
#include "results/ResultStore.h"
#include "results/SearchFile.h"
#include "results/Sort.h"
#include "sitesim/SampleSites.h"
#include "ui/FileChooser.h"
#include "ui/MainWindow.h"
#include "ui/QuickFilterDialog.h"
#include "ui/ResultsPage.h"
#include "ui/SearchSettingsPage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <malloc.h>
#include <memory>
#include <numeric>
#include <vector>

namespace trawl::bench {
namespace {

using Clock_ = std::chrono::steady_clock;

// The program fixes glibc's mmap threshold at start (main.cpp), so every large block is mapped
// afresh and its pages fault in; the window is measured under the same rule.
[[maybe_unused]] const int kProgramMmapThreshold = mallopt(M_MMAP_THRESHOLD, 128 * 1024);

double SecondsSince(Clock_::time_point start)
{
    return std::chrono::duration<double>(Clock_::now() - start).count();
}

// Bytes the heap hands out now (small blocks and mapped ones).
double HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

std::string BenchFolder()
{
    const char* dir = std::getenv("TRAWL_BENCH_DIR");
    return dir != nullptr ? std::string(dir) + "/" : std::string("/tmp/");
}

// The million-record search file, written once per run.
const std::string& MillionFile()
{
    static const std::string path = [] {
        const std::string file = BenchFolder() + "window-bench.trawl";
        NullStatusView view;
        SilentPrompts prompts;
        const int n = static_cast<int>(RecordCount());
        ResultStore store(n, view, prompts);
        FillStore(store, static_cast<std::size_t>(n), kSeed);
        SearchDefinition search;
        search.Name = "window-bench";
        if (!SaveSearch(file, search, store).ok()) {
            std::fprintf(stderr, "could not write %s\n", file.c_str());
            std::exit(1);
        }
        return file;
    }();
    return path;
}

class OneAnswerFiles final : public ui::FileChooser {
public:
    explicit OneAnswerFiles(std::string path) : m_path(std::move(path)) {}
    QString Choose(QWidget*, const ui::FileRequest&) override { return QString::fromStdString(m_path); }

private:
    std::string m_path;
};

class NoShell final : public Shell {
public:
    bool Open(const std::string&) override { return true; }
};

// Measures how late a 5 ms timer on the GUI thread fires: the time the event loop was held up.
class LoopDelay {
public:
    LoopDelay()
    {
        m_timer.setInterval(kTickMs);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            if (m_clock.isValid()) {
                m_lateness.push_back(std::max<qint64>(0, m_clock.nsecsElapsed() / 1000000 - kTickMs));
            }
            m_clock.restart();
        });
        m_timer.start();
    }
    double Percentile(double p)
    {
        if (m_lateness.empty()) {
            return 0;
        }
        std::sort(m_lateness.begin(), m_lateness.end());
        return static_cast<double>(m_lateness[static_cast<std::size_t>(p * (m_lateness.size() - 1))]);
    }
    double Worst()
    {
        return m_lateness.empty() ? 0 : static_cast<double>(*std::max_element(m_lateness.begin(), m_lateness.end()));
    }

private:
    static constexpr int kTickMs = 5;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::vector<qint64> m_lateness;
};

// Runs the event loop as the program's would (sleeping while there is nothing to do) until `done`;
// a 5 ms tick looks at `done` even when no event comes.
void RunEventsUntil(const std::function<bool()>& done)
{
    QTimer tick;
    tick.start(5);
    while (!done()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// A window over an empty program folder and these tables.
struct BenchWindow {
    explicit BenchWindow(const std::string& searchPath, const ReferenceTables& tables = {}, int maxThreads = 4,
                         Connector* connector = nullptr)
        : files(searchPath), tablesRef(tables)
    {
        settings.MaxResults = static_cast<int>(std::max<std::size_t>(RecordCount(), kMinMaxResults));
        settings.DiscardSearches = 0;
        settings.CheckForUpdates = 0;
        settings.CurrentSearchName = "no such search";
        settings.MaxThreads = maxThreads;
        Connector& reach = connector != nullptr ? *connector : noConnector;
        window = std::make_unique<ui::MainWindow>(ui::WindowServices(
            settings, BenchFolder(), tablesRef, ui::WindowSeams{prompts, shell, clock, reach, files, nullptr}));
        window->show();
        RunEventsUntil([&] { return !window->Rebuilding(); });
    }
    ~BenchWindow()
    {
        window->store().SetUnsavedResults(false);
        window->close();
    }
    Settings settings;
    SilentPrompts prompts;
    NoShell shell;
    SystemClock clock;
    SocketConnector noConnector;
    OneAnswerFiles files;
    const ReferenceTables& tablesRef;
    std::unique_ptr<ui::MainWindow> window;
};

double g_storeHeapPerRecord = 0;

void BM_LoadSearchAlone(benchmark::State& state)
{
    const std::string& path = MillionFile();
    NullStatusView view;
    SilentPrompts prompts;
    FixedClock clock;
    double best = 1e9;
    for (auto _ : state) {
        ResultStore store(static_cast<int>(RecordCount()), view, prompts);
        const double before = HeapInUse(); // the record table of the capacity is made with the store
        const auto start = Clock_::now();
        LoadSearch(path, true, false, clock, store, prompts);
        const double seconds = SecondsSince(start);
        state.SetIterationTime(seconds);
        best = std::min(best, seconds * 1000);
        g_storeHeapPerRecord = (HeapInUse() - before) / static_cast<double>(store.Count());
    }
    state.counters["heap_per_record"] = g_storeHeapPerRecord;
    state.counters["best_ms"] = best;
}

void BM_WindowOpen(benchmark::State& state)
{
    const std::string& path = MillionFile();
    double extra = 0;
    double rows = 0;
    double best = 1e9;
    for (auto _ : state) {
        BenchWindow bench(path);
        ui::MainWindow& window = *bench.window;
        const double before = HeapInUse();
        const auto start = Clock_::now();
        window.Load();
        RunEventsUntil([&] { return !window.Rebuilding(); });
        window.resultsPage().list.viewport()->repaint(); // the rows on screen
        const double seconds = SecondsSince(start);
        state.SetIterationTime(seconds);
        best = std::min(best, seconds * 1000);
        rows = window.model().rowCount();
        extra = (HeapInUse() - before) / rows - g_storeHeapPerRecord;
    }
    state.counters["rows"] = rows;
    state.counters["window_bytes_per_record"] = extra;
    state.counters["best_ms"] = best;
}

void BM_SortResultsAlone(benchmark::State& state)
{
    const std::string& path = MillionFile();
    NullStatusView view;
    SilentPrompts prompts;
    FixedClock clock;
    RunFlags flags;
    ResultStore store(static_cast<int>(RecordCount()), view, prompts);
    LoadSearch(path, true, false, clock, store, prompts);
    for (auto _ : state) {
        const auto start = Clock_::now();
        SortResults(store, SortColumn::Title, flags, prompts);
        state.SetIterationTime(SecondsSince(start));
        state.PauseTiming();
        SortResults(store, SortColumn::Date, flags, prompts); // out of title order again
        state.ResumeTiming();
    }
}

void BM_WindowSort(benchmark::State& state)
{
    BenchWindow bench(MillionFile());
    ui::MainWindow& window = *bench.window;
    window.Load();
    RunEventsUntil([&] { return !window.Rebuilding(); });
    double worst = 0;
    for (auto _ : state) {
        LoopDelay delay;
        const auto start = Clock_::now();
        window.SortByColumn(2); // a click on the Title header
        RunEventsUntil([&] { return !window.Rebuilding(); });
        window.resultsPage().list.viewport()->repaint();
        state.SetIterationTime(SecondsSince(start));
        worst = std::max(worst, delay.Worst());
        state.PauseTiming();
        window.SortByColumn(1);
        RunEventsUntil([&] { return !window.Rebuilding(); });
        state.ResumeTiming();
    }
    state.counters["loop_worst_ms"] = worst;
}

struct SampleServer {
    SampleServer() { StartHarvestServer(server); }
    sitesim::SampleSiteServer server;
};

void BM_SchedulerSearch(benchmark::State& state)
{
    const ReferenceTables tables = HarvestTables();
    double rate = 0;
    for (auto _ : state) {
        SampleServer sample;
        SocketConnector connector({{"*", 80, "127.0.0.1", sample.server.port()}});
        NullStatusView view;
        SilentPrompts prompts;
        ByteCounter counter(&view);
        HttpClient client(HttpOptions{"Bench/1.0"}, connector, counter);
        ResultStore store(25000, view, prompts);
        SystemClock clock;
        RunFlags flags;
        SearchScheduler scheduler(HarvestContext{client, store, view, prompts, clock, flags, tables}, nullptr);
        Settings settings;
        settings.MaxThreads = kWorkers;
        flags.SearchRunning.store(1);
        const auto start = Clock_::now();
        scheduler.Start(settings, {"bench", HarvestTerms(), kHarvestCities, kHarvestSections});
        scheduler.WaitFinished(std::chrono::minutes(5));
        const double seconds = SecondsSince(start);
        state.SetIterationTime(seconds);
        rate = sample.server.RequestCount() / seconds;
    }
    state.counters["jobs_per_s"] = rate;
}

void BM_WindowSearch(benchmark::State& state)
{
    const ReferenceTables tables = HarvestTables();
    double rate = 0;
    double p99 = 0;
    double worst = 0;
    for (auto _ : state) {
        SampleServer sample;
        SocketConnector connector({{"*", 80, "127.0.0.1", sample.server.port()}});
        BenchWindow bench("", tables, kWorkers, &connector);
        ui::MainWindow& window = *bench.window;
        window.searchName().setText(QStringLiteral("bench"));
        window.searchPage().terms.setText(QString::fromStdString(HarvestTerms()));
        window.searchPage().selection().ApplySelection("sfbay.craigslist.org,boston.craigslist.org", "bik,fur", "", "");
        window.tabs().setCurrentIndex(ui::MainWindow::DiagnosticsTab); // the busiest page to keep drawn
        LoopDelay delay;
        const auto start = Clock_::now();
        window.Go();
        RunEventsUntil([&] { return window.flags().SearchRunning.load() == 0; });
        const double seconds = SecondsSince(start);
        state.SetIterationTime(seconds);
        rate = sample.server.RequestCount() / seconds;
        p99 = delay.Percentile(0.99);
        worst = delay.Worst();
        if (sample.server.RequestCount() != static_cast<std::size_t>(kHarvestJobs)) {
            state.SkipWithError("the run did not make every request");
        }
    }
    state.counters["jobs_per_s"] = rate;
    state.counters["loop_p99_ms"] = p99;
    state.counters["loop_worst_ms"] = worst;
}

// Three runs each, compared by the best: the first also pays for fresh memory from the kernel.
// Typing "bike vintage" a key at a time into the quick filter at a million results: the time from each
// key to the newest filter's titles and count on display, and the event loop's delay meanwhile; beside
// it the one-thread filter the same keys would take without an index. The dialog's keys are typed once
// its index of the texts has caught up (the time that takes from opening is a figure of its own).
constexpr const char* kTyped = "bike vintage";

void BM_FilterTypingAlone(benchmark::State& state)
{
    const std::string& path = MillionFile();
    NullStatusView view;
    SilentPrompts prompts;
    FixedClock clock;
    ResultStore store(static_cast<int>(RecordCount()), view, prompts);
    LoadSearch(path, true, false, clock, store, prompts);
    std::vector<double> perKey;
    for (auto _ : state) {
        QuickFilterMemo memo;
        const std::string typed = kTyped;
        for (std::size_t n = 1; n <= typed.size(); ++n) {
            const auto start = Clock_::now();
            benchmark::DoNotOptimize(ApplyQuickFilter(store, typed.substr(0, n), memo));
            perKey.push_back(SecondsSince(start) * 1000);
        }
    }
    state.counters["per_key_mean_ms"] = std::accumulate(perKey.begin(), perKey.end(), 0.0) / perKey.size();
    state.counters["per_key_worst_ms"] = *std::max_element(perKey.begin(), perKey.end());
}

// Types kTyped into the dialog: each key as soon as the list shows the previous key's answer
// (`paceMs` 0), or at a typist's pace, a key every `paceMs` from the first (the filter thread's work
// between keys has that long).
void TypeIntoDialog(benchmark::State& state, int paceMs)
{
    BenchWindow bench(MillionFile());
    ui::MainWindow& window = *bench.window;
    window.Load();
    RunEventsUntil([&] { return !window.Rebuilding(); });
    std::vector<double> perKey;
    double p99 = 0;
    double worst = 0;
    double indexMs = 0;
    for (auto _ : state) {
        const auto opened = Clock_::now();
        ui::QuickFilterDialog dialog(
            window.store(), bench.prompts, bench.shell, false, [](OutputKind, const std::string&) {}, &window);
        dialog.show();
        RunEventsUntil([&] { return dialog.Answered() == dialog.runner().Requested(); });
        RunEventsUntil([&] { return dialog.runner().Indexed(); });
        indexMs = SecondsSince(opened) * 1000;
        LoopDelay delay;
        const QString typed = QString::fromLatin1(kTyped);
        const auto first = Clock_::now();
        for (int n = 1; n <= typed.size(); ++n) {
            const auto due = first + std::chrono::milliseconds(paceMs * (n - 1));
            RunEventsUntil([&] { return Clock_::now() >= due; });
            const auto start = Clock_::now();
            dialog.filter.setText(typed.left(n));
            RunEventsUntil([&] { return dialog.Answered() == dialog.runner().Requested(); });
            dialog.titles.viewport()->repaint();
            perKey.push_back(SecondsSince(start) * 1000);
        }
        p99 = delay.Percentile(0.99);
        worst = delay.Worst();
    }
    std::vector<double> sorted = perKey;
    std::sort(sorted.begin(), sorted.end());
    state.counters["per_key_mean_ms"] = std::accumulate(perKey.begin(), perKey.end(), 0.0) / perKey.size();
    state.counters["per_key_worst_ms"] = sorted.back();
    state.counters["loop_p99_ms"] = p99;
    state.counters["loop_worst_ms"] = worst;
    state.counters["index_ready_ms"] = indexMs;
}

void BM_FilterTypingInDialog(benchmark::State& state)
{
    TypeIntoDialog(state, 0);
}

// 100 words a minute.
void BM_FilterTypingAtPace(benchmark::State& state)
{
    TypeIntoDialog(state, 120);
}

BENCHMARK(BM_FilterTypingAlone)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FilterTypingInDialog)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FilterTypingAtPace)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LoadSearchAlone)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WindowOpen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortResultsAlone)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_WindowSort)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SchedulerSearch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_WindowSearch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
} // namespace trawl::bench

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    return trawl::bench::RunBenchmarks(argc, argv);
}

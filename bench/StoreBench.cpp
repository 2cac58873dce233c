// The store's hot paths at a million records, each beside the plain implementation of the same rule
// measured in the same run: the duplicate test of new links, loading and saving a search file, the
// CSV export, the quick filter per keystroke, and the memory the store and its index take.
//
//   bench_store [benchmark flags]     TRAWL_BENCH_RECORDS overrides the count; TRAWL_BENCH_DIR is where
//                                     the search file is written (and left, for the script to read)
//   bench_store --dump-text=PATH      write each record's Title and FullText as one line, for grep

#include "BenchSupport.h"
#include "RecordGenerator.h"
#include "app/AtomicFile.h"
#include "app/Clock.h"
#include "app/Prompts.h"
#include "app/StatusView.h"
#include "app/TextUtil.h"
#include "refdata/ReferenceTables.h"
#include "results/CsvExport.h"
#include "results/Escaping.h"
#include "results/QuickFilter.h"
#include "results/ResultStore.h"
#include "results/SearchFile.h"

#include <array>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace trawl::bench {
namespace {

NullStatusView g_view;
SilentPrompts g_prompts;

std::unique_ptr<ResultStore> MakeStore(std::size_t n)
{
    auto store = std::make_unique<ResultStore>(static_cast<int>(n), g_view, g_prompts);
    FillStore(*store, n, kSeed);
    return store;
}

ResultStore& BigStore()
{
    static std::unique_ptr<ResultStore> store = MakeStore(RecordCount());
    return *store;
}

ResultStore& SmallStore()
{
    static std::unique_ptr<ResultStore> store = MakeStore(std::min<std::size_t>(RecordCount(), 100000));
    return *store;
}

// User and system CPU seconds of this process so far.
std::pair<double, double> CpuSplit()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return {static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_utime.tv_usec) / 1e6,
            static_cast<double>(usage.ru_stime.tv_sec) + static_cast<double>(usage.ru_stime.tv_usec) / 1e6};
}

// Reports how the CPU time of the timed loop divides into user and kernel time (per iteration).
class CpuSplitCounter {
public:
    explicit CpuSplitCounter(benchmark::State& state) : m_state(state), m_start(CpuSplit()) {}
    ~CpuSplitCounter()
    {
        const auto end = CpuSplit();
        const double n = static_cast<double>(std::max<benchmark::IterationCount>(m_state.iterations(), 1));
        m_state.counters["user_ms"] = (end.first - m_start.first) * 1000 / n;
        m_state.counters["sys_ms"] = (end.second - m_start.second) * 1000 / n;
    }

private:
    benchmark::State& m_state;
    std::pair<double, double> m_start;
};

// Flushes a written file to the disk; returns the wall milliseconds it took.
double FsyncMs(const std::string& path)
{
    const auto start = std::chrono::steady_clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY);
    ::fsync(fd);
    ::close(fd);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// --- Duplicate test ---

// The plain rule: the first stored link that contains the new one, by std::string_view::find.
int PlainFindByLink(ResultStore::Locked& locked, std::string_view link)
{
    const int count = locked.Count();
    for (int n = 1; n <= count; ++n) {
        if (locked.Get(n, Field::URI).find(link) != std::string_view::npos) {
            return n;
        }
    }
    return 0;
}

// A link that is stored (the middle record's) or one made the same way that is not.
std::string TestLink(bool hit, std::size_t offset = 0)
{
    const std::size_t n = RecordCount();
    return RecordGenerator(kSeed).Record(hit ? n / 2 + offset : n + offset).URI;
}

std::vector<std::string> FeedPageLinks()
{
    std::vector<std::string> links;
    for (std::size_t k = 0; k < 100; ++k) {
        // Half the page already stored (spread over the store), half new.
        links.push_back(k % 2 == 0 ? TestLink(true, k * RecordCount() / 200) : TestLink(false, k));
    }
    return links;
}

void DuplicateTest(benchmark::State& state, bool hit, bool plain)
{
    ResultStore& store = BigStore();
    const std::string link = TestLink(hit);
    int found = 0;
    for (auto _ : state) {
        auto locked = store.Lock();
        found = plain ? PlainFindByLink(locked, link) : locked.FindResultByLink(link);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = found;
}

void DuplicateTestPage(benchmark::State& state, bool plain)
{
    ResultStore& store = BigStore();
    const std::vector<std::string> links = FeedPageLinks();
    int found = 0;
    for (auto _ : state) {
        found = 0;
        auto locked = store.Lock();
        for (const std::string& link : links) {
            found += (plain ? PlainFindByLink(locked, link) : locked.FindResultByLink(link)) != 0 ? 1 : 0;
        }
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = found;
}

// --- Search file ---

const SearchDefinition& Definition()
{
    static const SearchDefinition definition{"bench", "sfbay.craigslist.org", "bik", "bike", "", ""};
    return definition;
}

const std::string& SearchFile()
{
    static const std::string path = [] {
        std::string made = BenchFile("trawlkit-bench.trawl");
        const Status status = SaveSearch(made, Definition(), BigStore());
        if (!status.ok()) {
            std::fprintf(stderr, "could not write %s\n", made.c_str());
            std::exit(1);
        }
        // Large saves bypass the page cache; read the file once so every loader (and cat, which the
        // script also warms) starts from the same cached bytes.
        std::string bytes;
        ReadWholeFile(made, bytes);
        return made;
    }();
    return path;
}

ResultStore& LoadTarget()
{
    static ResultStore store(static_cast<int>(RecordCount()), g_view, g_prompts);
    return store;
}

void PutEscaped(std::ofstream& out, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' || c == '"') {
            out.put('\\');
            out.put(c);
        } else if (c == '\r' || c == '\n' || c == '\f') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            out.put('\\');
            out.put('n');
        } else {
            out.put(c);
        }
    }
}

void PutQuoted(std::ofstream& out, std::string_view text)
{
    out.put('"');
    PutEscaped(out, text);
    out.put('"');
}

// The plain writer: the same lines, one byte at a time through an ofstream (no flush to disk).
void PlainSave(const std::string& path, ResultStore& store)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const SearchDefinition& d = Definition();
    for (const std::string* header :
         {&d.Name, &d.CLCityKeys, &d.CLSectionKeys, &d.Terms, &d.KJCityKeys, &d.KJSectionKeys}) {
        for (char c : *header) {
            out.put(c);
        }
        out.put('\r');
        out.put('\n');
    }
    store.ForEach([&](int, const RecordView& record) {
        if (TrimSpaces(record.Title).empty() || record.Date == kExpiredDate) {
            return;
        }
        PutQuoted(out, record.Date);
        for (std::string_view field : {record.Title, record.City, record.Section, record.URI, record.FullText}) {
            out.put(',');
            PutQuoted(out, field);
        }
        out.put('\r');
        out.put('\n');
    });
}

void BM_SaveSearch(benchmark::State& state)
{
    ResultStore& store = BigStore();
    const std::string path = BenchFile("trawlkit-bench-save.trawl"); // left for the plain writer to overwrite
    {
        CpuSplitCounter split(state);
        for (auto _ : state) {
            benchmark::DoNotOptimize(SaveSearch(path, Definition(), store).ok());
        }
    }
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}

// Times a plain writer of `path`, its file flushed to the disk like ours (like with like), and reports
// that flush on its own; the file is removed afterwards.
void TimePlainWriter(benchmark::State& state, const std::string& path, const std::function<void()>& write)
{
    double fsyncMs = 0;
    {
        CpuSplitCounter split(state);
        for (auto _ : state) {
            write();
            fsyncMs = FsyncMs(path);
        }
    }
    state.counters["fsync_ms"] = fsyncMs;
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::filesystem::remove(path);
}

void BM_SavePlainCharByChar(benchmark::State& state)
{
    const std::string path = BenchFile("trawlkit-bench-save.trawl");
    TimePlainWriter(state, path, [&] { PlainSave(path, BigStore()); });
}

// Empties the load target outside the timing, so the next load starts as at program start.
void EmptyLoadTarget(benchmark::State& state, ResultStore& store)
{
    state.PauseTiming();
    store.Lock().Clear(static_cast<int>(RecordCount()));
    state.ResumeTiming();
}

// `replacing`: each load replaces the records of the one before (another search opened), instead of
// filling an empty store.
void LoadSearchBench(benchmark::State& state, bool replacing, int threads)
{
    SearchFileReading reading;
    reading.threads = threads;
    const std::string& path = SearchFile();
    ResultStore& store = LoadTarget();
    FixedClock clock;
    if (replacing) {
        LoadSearch(path, true, false, clock, store, g_prompts, reading);
    }
    for (auto _ : state) {
        if (!replacing) {
            EmptyLoadTarget(state, store);
        }
        benchmark::DoNotOptimize(LoadSearch(path, true, false, clock, store, g_prompts, reading).Found);
    }
    state.counters["records"] = store.Count();
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

// The plain loader: std::getline, each field read on its own, the same records kept.
void BM_LoadPlainGetline(benchmark::State& state)
{
    const std::string& path = SearchFile();
    ResultStore& store = LoadTarget();
    {
        for (auto _ : state) {
            EmptyLoadTarget(state, store);
            std::ifstream in(path, std::ios::binary);
            std::string line;
            for (int k = 0; k < 6 && std::getline(in, line); ++k) {
            }
            store.Lock().ResetForLoad();
            ResultRecord record;
            while (std::getline(in, line)) {
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                record.Date = ReadRecordField(line, 1);
                record.Title = ReadRecordField(line, 2);
                record.City = ReadRecordField(line, 3);
                record.Section = ReadRecordField(line, 4);
                record.URI = ReadRecordField(line, 5);
                record.FullText = ReadRecordField(line, 6);
                if (record.Title.empty() || record.Date < kExpiredDate) {
                    continue;
                }
                if (!store.Lock().AppendLoaded(record)) {
                    break;
                }
            }
            store.Lock().FinishLoad();
        }
    }
    state.counters["records"] = store.Count();
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

// --- CSV ---

void BM_ExportCsv(benchmark::State& state)
{
    ResultStore& store = BigStore();
    const ReferenceTables tables;
    const std::string path = BenchFile("trawlkit-bench.csv"); // left for the plain writer to overwrite
    {
        CpuSplitCounter split(state);
        for (auto _ : state) {
            benchmark::DoNotOptimize(ExportCsv(store, path, OutputScope::All, {}, {}, tables, g_prompts).count);
        }
    }
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}

void BM_CsvPlainCharByChar(benchmark::State& state)
{
    ResultStore& store = BigStore();
    const std::string path = BenchFile("trawlkit-bench.csv");
    TimePlainWriter(state, path, [&] {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (char c : CsvHeaderLine({})) {
            out.put(c);
        }
        store.ForEach([&](int, const RecordView& record) {
            for (std::string_view field : {record.Date, record.Title, record.City, record.Section, record.URI}) {
                PutQuoted(out, field);
                out.put(',');
            }
            PutQuoted(out, record.FullText);
            out.put('\r');
            out.put('\n');
        });
    });
}

// --- Quick filter ---

ResultStore& FilterStore(bool small)
{
    return small ? SmallStore() : BigStore();
}

void QuickFilterCold(benchmark::State& state, bool small)
{
    ResultStore& store = FilterStore(small);
    int matches = 0;
    for (auto _ : state) {
        matches = ApplyQuickFilter(store, kQuery).count;
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = matches;
}

// One keystroke per iteration while "bike vintage" is typed, over and over (the memo carries the
// previous keystroke's answer; the first letter of each round starts afresh).
void QuickFilterTyping(benchmark::State& state, bool small)
{
    ResultStore& store = FilterStore(small);
    QuickFilterMemo memo;
    std::size_t typed = 0;
    int matches = 0;
    for (auto _ : state) {
        typed = typed % kQuery.size() + 1;
        matches = ApplyQuickFilter(store, kQuery.substr(0, typed), memo).count;
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = matches;
}

// The plain rule: lower-case each record's title and text, then look for every term.
void FilterLowerCasing(benchmark::State& state, bool small)
{
    ResultStore& store = FilterStore(small);
    int matches = 0;
    for (auto _ : state) {
        matches = CountByLowerCasing(store, kQuery);
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = matches;
}

// --- Memory ---

std::size_t HeapInUse()
{
    return mallinfo2().uordblks + mallinfo2().hblkhd;
}

// Bytes per record beyond the raw field bytes: the store (heap and record arena) with its
// duplicate-test index, and records kept as seven std::string each.
void BM_Memory(benchmark::State& state)
{
    const std::size_t n = std::min<std::size_t>(RecordCount(), 200000);
    double storeOver = 0;
    double stringsOver = 0;
    double indexPerRecord = 0;
    for (auto _ : state) {
        std::size_t raw = 0;
        {
            const std::size_t before = HeapInUse();
            const auto store = MakeStore(n);
            const std::size_t after = HeapInUse() + store->Lock().ArenaBytes();
            store->ForEach([&](int, const RecordView& v) {
                raw += v.Date.size() + v.Title.size() + v.City.size() + v.Section.size() + v.URI.size() +
                       v.FullText.size() + v.NewMark.size();
            });
            storeOver = (static_cast<double>(after - before) - static_cast<double>(raw)) / static_cast<double>(n);
            indexPerRecord = static_cast<double>(store->Lock().IndexBytes()) / static_cast<double>(n);
        }
        {
            const std::size_t before = HeapInUse();
            std::vector<std::array<std::string, 7>> records(n);
            const RecordGenerator generator(kSeed);
            for (std::size_t i = 0; i < n; ++i) {
                ResultRecord r = generator.Record(i);
                records[i] = {r.Date, r.Title, r.City, r.Section, r.URI, r.FullText, r.NewMark};
            }
            const std::size_t after = HeapInUse();
            stringsOver = (static_cast<double>(after - before) - static_cast<double>(raw)) / static_cast<double>(n);
        }
    }
    state.counters["store_over_raw_per_record"] = storeOver;
    state.counters["index_per_record"] = indexPerRecord;
    state.counters["strings_over_raw_per_record"] = stringsOver;
    state.counters["records"] = static_cast<double>(n);
}

constexpr auto kMs = benchmark::kMillisecond;
constexpr auto kUs = benchmark::kMicrosecond;

BENCHMARK_CAPTURE(DuplicateTest, Miss, false, false)->Unit(kUs)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(DuplicateTest, Hit, true, false)->Unit(kUs)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(DuplicateTest, PlainMiss, false, true)->Unit(kUs)->Iterations(20);
BENCHMARK_CAPTURE(DuplicateTest, PlainHit, true, true)->Unit(kUs)->Iterations(20);
BENCHMARK_CAPTURE(DuplicateTestPage, Indexed, false)->Unit(kMs);
BENCHMARK_CAPTURE(DuplicateTestPage, Plain, true)->Unit(kMs)->Iterations(1);
// CPU time of the whole process: the loader parses on every core.
BENCHMARK_CAPTURE(LoadSearchBench, Fresh, false, 0)
    ->Name("BM_LoadSearch")
    ->Unit(kMs)
    ->Iterations(2)
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(LoadSearchBench, Replacing, true, 0)
    ->Name("BM_ReloadSearch")
    ->Unit(kMs)
    ->Iterations(2)
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(LoadSearchBench, OneThread, false, 1)->Name("BM_LoadSearchOneThread")->Unit(kMs)->Iterations(2);
BENCHMARK(BM_LoadPlainGetline)->Unit(kMs)->Iterations(1);
BENCHMARK(BM_SaveSearch)->Unit(kMs)->Iterations(2);
BENCHMARK(BM_SavePlainCharByChar)->Unit(kMs)->Iterations(1);
BENCHMARK(BM_ExportCsv)->Unit(kMs)->Iterations(2);
BENCHMARK(BM_CsvPlainCharByChar)->Unit(kMs)->Iterations(1);
BENCHMARK_CAPTURE(QuickFilterCold, Million, false)->Unit(kMs)->Iterations(3);
BENCHMARK_CAPTURE(QuickFilterTyping, Million, false)->Unit(kMs)->Iterations(static_cast<int>(2 * kQuery.size()));
BENCHMARK_CAPTURE(FilterLowerCasing, Million, false)->Unit(kMs)->Iterations(2);
BENCHMARK_CAPTURE(QuickFilterCold, HundredThousand, true)->Unit(kMs)->Iterations(10);
BENCHMARK_CAPTURE(QuickFilterTyping, HundredThousand, true)->Unit(kMs)->Iterations(static_cast<int>(4 * kQuery.size()));
BENCHMARK_CAPTURE(FilterLowerCasing, HundredThousand, true)->Unit(kMs)->Iterations(3);
BENCHMARK(BM_Memory)->Unit(kMs)->Iterations(1);

} // namespace
} // namespace trawl::bench

int main(int argc, char** argv)
{
    return trawl::bench::BenchmarkMain(argc, argv);
}

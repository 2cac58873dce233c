// The CSV export's state column at a million records with state tables of full size (hundreds of
// rows): the export with the column, beside the same export looking each link up row by row (the
// plain scan), and beside the export without the column.
//
//   bench_csvstate [benchmark flags]     TRAWL_BENCH_RECORDS overrides the count; TRAWL_BENCH_DIR is
//                                        where the files are written (and removed)

#include "BenchSupport.h"
#include "RecordGenerator.h"
#include "app/AtomicFile.h"
#include "app/StatusView.h"
#include "refdata/Geography.h"
#include "refdata/ReferenceTables.h"
#include "refdata/StateCodeIndex.h"
#include "results/CsvExport.h"
#include "results/Escaping.h"
#include "results/ResultStore.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace trawl::bench {
namespace {

SilentPrompts g_prompts;


// An invented city host of letters only, as real ones are ("bavorelli", "kastomar").
std::string InventedHost(int row)
{
    static constexpr std::string_view kSyllables[] = {"ba",   "vo",  "rel", "li", "kas", "to", "mar", "ne",
                                                      "quin", "dor", "pe",  "sa", "gu",  "wy", "fen", "hol"};
    std::string host;
    for (int n = row + 17; n > 0; n /= 16) {
        host += kSyllables[n % 16];
    }
    return host + "ville";
}

// Tables the size of the real lists: 420 Craigslist state rows and 160 Kijiji cities, with the cities
// the generated links use spread among invented ones (every tenth row), so some links are found
// early in a table, some late and some not at all.
const ReferenceTables& FullSizeTables()
{
    static const ReferenceTables tables = [] {
        ReferenceTables made;
        const auto hosts = GeneratedCityHosts();
        std::size_t next = 0;
        const auto name = [&](int row) {
            return row % 10 == 5 && next < hosts.size() ? std::string(hosts[next++]) : InventedHost(row);
        };
        for (int row = 0; row < 420; ++row) {
            made.CLStateTable.push_back(
                {"http://" + name(row) + ".craigslist.org", "A state", "S" + std::to_string(row % 60)});
        }
        next = hosts.size() / 2; // the Canadian half of the generated cities
        for (int row = 0; row < 160; ++row) {
            made.KJCityTable.push_back(
                {"Canada", row % 2 == 0 ? "Ontario" : "Quebec", "A city", "http://" + name(row) + ".kijiji.ca"});
        }
        return made;
    }();
    return tables;
}

// CPU seconds (user and system) of this process so far.
double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double ExportMs(bool stateColumn)
{
    const std::string path = BenchFile("trawlkit-bench-state.csv");
    const double start = CpuSeconds();
    benchmark::DoNotOptimize(
        ExportCsv(BigStore(), path, OutputScope::All, {}, CsvColumns{stateColumn, false}, FullSizeTables(), g_prompts)
            .count);
    const double ms = (CpuSeconds() - start) * 1000;
    std::filesystem::remove(path);
    return ms;
}

// The export with the column and without it, in turns, so both meet the same load on a shared machine;
// the best of each is reported (CPU time, user and system: both write the same bytes).
void BM_CsvStateColumnBesideWithout(benchmark::State& state)
{
    double with = 1e18;
    double without = 1e18;
    for (auto _ : state) {
        without = std::min(without, ExportMs(false));
        with = std::min(with, ExportMs(true));
    }
    state.counters["with_ms"] = with;
    state.counters["without_ms"] = without;
}

void AppendCell(std::string& line, std::string_view value)
{
    line += '"';
    AppendEscaped(line, value);
    line += "\",";
}

// The same file written the way the export did it before: StateCodeOfLink for every record, which
// searches the state table row by row.
void BM_CsvStateColumnPlainScan(benchmark::State& state)
{
    ResultStore& store = BigStore();
    const ReferenceTables& tables = FullSizeTables();
    const std::string path = BenchFile("trawlkit-bench-state.csv");
    std::string line;
    double ms = 0;
    for (auto _ : state) {
        const double start = CpuSeconds();
        AtomicFileWriter writer(path);
        writer.Write(CsvHeaderLine(CsvColumns{true, false}));
        store.ForEach([&](int, const RecordView& view) {
            line.clear();
            AppendCell(line, view.Date);
            AppendCell(line, view.Title);
            AppendCell(line, view.City);
            line += '"';
            line += StateCodeOfLink(view.URI, tables);
            line += "\",";
            AppendCell(line, view.Section);
            AppendCell(line, view.URI);
            line += '"';
            AppendEscaped(line, view.FullText);
            line += "\"\r\n";
            writer.Write(line);
        });
        benchmark::DoNotOptimize(writer.Commit().ok());
        ms = (CpuSeconds() - start) * 1000;
    }
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    state.counters["cpu_ms"] = ms;
    std::filesystem::remove(path);
}

// The lookups alone, over the links copied out of the store beforehand: the time a link.
void BM_StateCodesOnly(benchmark::State& state, bool indexed)
{
    static const std::vector<std::string> links = [] {
        std::vector<std::string> made;
        BigStore().ForEach([&](int, const RecordView& view) { made.emplace_back(view.URI); });
        return made;
    }();
    const ReferenceTables& tables = FullSizeTables();
    std::size_t coded = 0;
    for (auto _ : state) {
        coded = 0;
        if (indexed) {
            StateCodeIndex index(tables);
            for (const std::string& link : links) {
                coded += index.CodeOfLink(link) != "--" ? 1 : 0;
            }
        } else {
            for (const std::string& link : links) {
                coded += StateCodeOfLink(link, tables) != "--" ? 1 : 0;
            }
        }
    }
    state.counters["coded"] = static_cast<double>(coded);
    state.counters["seconds_per_link"] = benchmark::Counter(static_cast<double>(state.iterations() * links.size()),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

constexpr auto kMs = benchmark::kMillisecond;

BENCHMARK(BM_CsvStateColumnBesideWithout)->Unit(kMs)->Iterations(3);
BENCHMARK(BM_CsvStateColumnPlainScan)->Unit(kMs)->Iterations(1);
BENCHMARK_CAPTURE(BM_StateCodesOnly, Indexed, true)->Unit(kMs)->Iterations(5);
BENCHMARK_CAPTURE(BM_StateCodesOnly, Plain, false)->Unit(kMs)->Iterations(1);

} // namespace
} // namespace trawl::bench

int main(int argc, char** argv)
{
    return trawl::bench::BenchmarkMain(argc, argv);
}

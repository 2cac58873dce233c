// The result list's operations at a million records: sorting, the quick filter, and the two writers,
// each beside the plain approach it replaces.
//
//   bench_outputs [benchmark flags]        run the benchmarks (TRAWL_BENCH_RECORDS overrides the count)
//   bench_outputs --dump-text=PATH          write each record's Title and FullText as one line, for grep

#include "BenchSupport.h"
#include "RecordGenerator.h"
#include "app/Clock.h"
#include "app/DefaultTemplates.h"
#include "app/Prompts.h"
#include "app/RunFlags.h"
#include "app/StatusView.h"
#include "app/TextUtil.h"
#include "refdata/ReferenceTables.h"
#include "results/CsvExport.h"
#include "results/HtmlOutput.h"
#include "results/QuickFilter.h"
#include "results/ResultStore.h"
#include "results/Sort.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace trawl::bench {
namespace {

SilentPrompts g_prompts;


// Puts the records back in generated order, so every sort starts from the same shuffle.
void RestoreGeneratedOrder(ResultStore& store)
{
    std::vector<int> order(static_cast<std::size_t>(store.Count()));
    store.ForEach([&](int record, const RecordView& view) { order[GeneratedIndexOfLink(view.URI)] = record; });
    store.Lock().Reorder(order);
}

std::vector<std::string> LowerKeys(ResultStore& store, Field field)
{
    std::vector<std::string> keys;
    keys.reserve(static_cast<std::size_t>(store.Count()));
    store.ForEach([&](int, const RecordView& view) { keys.push_back(ToLowerAscii(view.Get(field))); });
    return keys;
}

void SortResultsBy(benchmark::State& state, SortColumn column)
{
    ResultStore& store = BigStore();
    RunFlags flags;
    for (auto _ : state) {
        state.PauseTiming();
        RestoreGeneratedOrder(store);
        state.ResumeTiming();
        benchmark::DoNotOptimize(SortResults(store, column, flags, g_prompts));
    }
    RestoreGeneratedOrder(store);
    state.SetItemsProcessed(state.iterations() * store.Count());
}

// The floor: std::sort over keys lower-cased in advance (no key extraction, no records moved).
void StdSortPrecomputedKeys(benchmark::State& state, Field field)
{
    const std::vector<std::string> keys = LowerKeys(BigStore(), field);
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string_view> views(keys.begin(), keys.end());
        state.ResumeTiming();
        std::sort(views.begin(), views.end());
        benchmark::DoNotOptimize(views.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(keys.size()));
}

// The list's own quicksort alone, over the same precomputed keys.
void QuicksortPrecomputedKeys(benchmark::State& state, Field field)
{
    const std::vector<std::string> keys = LowerKeys(BigStore(), field);
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string_view> views(keys.begin(), keys.end());
        state.ResumeTiming();
        benchmark::DoNotOptimize(QuicksortOrder(std::move(views), false));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(keys.size()));
}

// Moving the records into a new order (with the link index rebuilt), the part of a sort after the keys.
void BM_StoreReorder(benchmark::State& state)
{
    ResultStore& store = BigStore();
    std::vector<int> reversed(static_cast<std::size_t>(store.Count()));
    for (std::size_t k = 0; k < reversed.size(); ++k) {
        reversed[k] = static_cast<int>(reversed.size() - k);
    }
    for (auto _ : state) {
        store.Lock().Reorder(reversed);
    }
    RestoreGeneratedOrder(store);
    state.SetItemsProcessed(state.iterations() * store.Count());
}

void BM_ApplyQuickFilter(benchmark::State& state)
{
    ResultStore& store = BigStore();
    int matches = 0;
    for (auto _ : state) {
        matches = ApplyQuickFilter(store, kQuery).count;
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = matches;
    state.SetItemsProcessed(state.iterations() * store.Count());
}

// What a keystroke costs when every record's title and text are lower-cased to be searched.
void BM_FilterLowerCasingEveryRecord(benchmark::State& state)
{
    ResultStore& store = BigStore();
    int matches = 0;
    for (auto _ : state) {
        matches = CountByLowerCasing(store, kQuery);
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = matches;
    state.SetItemsProcessed(state.iterations() * store.Count());
}

std::string ScratchFile(const char* name)
{
    return (std::filesystem::temp_directory_path() / name).string();
}

void BM_ExportCsvAll(benchmark::State& state)
{
    ResultStore& store = BigStore();
    const ReferenceTables tables;
    const std::string path = ScratchFile("trawlkit-bench.csv");
    for (auto _ : state) {
        benchmark::DoNotOptimize(ExportCsv(store, path, OutputScope::All, {}, {}, tables, g_prompts).count);
    }
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::filesystem::remove(path);
    state.SetItemsProcessed(state.iterations() * store.Count());
}

void BM_WriteHtmlAll(benchmark::State& state)
{
    ResultStore& store = BigStore();
    FixedClock clock;
    const std::string header = DefaultTemplate(1);
    const std::string item = DefaultTemplate(2);
    const std::string path = ScratchFile("trawlkit-bench.html");
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            WriteHtml(store, path, OutputScope::All, {}, HtmlPageInputs{header, item, "bench"}, clock, g_prompts)
                .count);
    }
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::filesystem::remove(path);
    state.SetItemsProcessed(state.iterations() * store.Count());
}

BENCHMARK_CAPTURE(SortResultsBy, Title, SortColumn::Title)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(StdSortPrecomputedKeys, Title, Field::Title)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(QuicksortPrecomputedKeys, Title, Field::Title)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(SortResultsBy, Section, SortColumn::Section)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(StdSortPrecomputedKeys, Section, Field::Section)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(QuicksortPrecomputedKeys, Section, Field::Section)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StoreReorder)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ApplyQuickFilter)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FilterLowerCasingEveryRecord)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ExportCsvAll)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_WriteHtmlAll)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
} // namespace trawl::bench

int main(int argc, char** argv)
{
    return trawl::bench::BenchmarkMain(argc, argv);
}

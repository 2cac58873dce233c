// Deep-scan claims at a million records that all need a scan: claims per second over a whole scan and
// the longest hold of the store's lock by one claim, beside the claim that reads the store from
// record 1 every time (whose cost grows with the records already taken).
//
//   bench_deepscan [benchmark flags]     TRAWL_BENCH_RECORDS overrides the count

#include "BenchSupport.h"
#include "RecordGenerator.h"
#include "app/StatusView.h"
#include "harvest/DeepScanRecords.h"
#include "results/ResultStore.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>
#include <optional>

namespace trawl::bench {
namespace {

using SteadyClock = std::chrono::steady_clock;

NullStatusView g_view;
SilentPrompts g_prompts;

ResultStore& ScanStore()
{
    static std::unique_ptr<ResultStore> store = [] {
        const std::size_t n = RecordCount();
        auto made = std::make_unique<ResultStore>(static_cast<int>(n), g_view, g_prompts);
        FillStore(*made, n, kSeed, true);
        return made;
    }();
    return *store;
}

// Every record before `firstEmpty` taken ("Pending"), every other one waiting with an empty text.
void PrepareScan(ResultStore& store, int firstEmpty)
{
    auto locked = store.Lock();
    for (int n = 1; n <= locked.Count(); ++n) {
        const std::string_view wanted = n < firstEmpty ? "Pending" : "";
        if (locked.View(n).FullText != wanted) {
            locked.Set(n, Field::FullText, wanted);
        }
    }
}

// The claim as it was: under the lock, the first empty full text from record 1, marked "Pending".
std::optional<int> PlainClaim(ResultStore& store)
{
    auto locked = store.Lock();
    for (int n = 1; n <= locked.Count(); ++n) {
        if (locked.View(n).FullText.empty()) {
            locked.Set(n, Field::FullText, "Pending");
            return n;
        }
    }
    return std::nullopt;
}

double MicrosecondsSince(SteadyClock::time_point start)
{
    return std::chrono::duration<double, std::micro>(SteadyClock::now() - start).count();
}

// A whole scan: every record claimed once, in order. Each claim's time is the time it holds the lock.
void BM_ClaimWholeScan(benchmark::State& state)
{
    ResultStore& store = ScanStore();
    double claimsPerSecond = 0;
    double longestUs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PrepareScan(store, 1);
        state.ResumeTiming();
        int claims = 0;
        longestUs = 0;
        const auto start = SteadyClock::now();
        while (true) {
            const auto before = SteadyClock::now();
            const std::optional<ClaimedRecord> claim = ClaimNextRecord(store, false);
            longestUs = std::max(longestUs, MicrosecondsSince(before));
            if (!claim) {
                break;
            }
            ++claims;
        }
        claimsPerSecond = claims / (MicrosecondsSince(start) / 1e6);
        state.counters["claims"] = claims;
    }
    state.counters["claims_per_s"] = claimsPerSecond;
    state.counters["longest_hold_us"] = longestUs;
}

// The plain claim, where a whole scan averages: half the records taken already (its cost is linear in
// that number, so the mean over a scan of n records is the cost at n / 2). A whole scan of a million
// records this way would take half an hour.
void BM_PlainClaimMidScan(benchmark::State& state)
{
    ResultStore& store = ScanStore();
    constexpr int kClaims = 40;
    double claimsPerSecond = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PrepareScan(store, store.Count() / 2);
        state.ResumeTiming();
        const auto start = SteadyClock::now();
        for (int k = 0; k < kClaims; ++k) {
            benchmark::DoNotOptimize(PlainClaim(store));
        }
        claimsPerSecond = kClaims / (MicrosecondsSince(start) / 1e6);
    }
    state.counters["claims_per_s"] = claimsPerSecond;
}

// The plain claim's longest hold: the last record of the scan, found after reading all the others.
void BM_PlainClaimLast(benchmark::State& state)
{
    ResultStore& store = ScanStore();
    double longestUs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PrepareScan(store, store.Count());
        state.ResumeTiming();
        const auto before = SteadyClock::now();
        benchmark::DoNotOptimize(PlainClaim(store));
        longestUs = std::max(longestUs, MicrosecondsSince(before));
    }
    state.counters["longest_hold_us"] = longestUs;
}

constexpr auto kMs = benchmark::kMillisecond;

BENCHMARK(BM_ClaimWholeScan)->Unit(kMs)->Iterations(2);
BENCHMARK(BM_PlainClaimMidScan)->Unit(kMs)->Iterations(2);
BENCHMARK(BM_PlainClaimLast)->Unit(kMs)->Iterations(3);

} // namespace
} // namespace trawl::bench

int main(int argc, char** argv)
{
    return trawl::bench::BenchmarkMain(argc, argv);
}
